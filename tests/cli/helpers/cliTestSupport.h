// Shared pieces of the command-line tests: running the real ravelin-cli in a
// folder and reading back what it wrote.
#pragma once

#include <string>
#include <vector>

namespace ravelin::test {

using TCsvRows = std::vector<std::vector<std::string>>;

// Runs ravelin-cli with arguments in folder dir, stdout and stderr into
// dir's stdout.txt and stderr.txt; returns the exit status (-1 when killed).
int RunCli(const std::string& dir, const std::string& arguments);
std::string ReadText(const std::string& path);
// Records split at commas (for texts that hold none); a trailing comma gives
// an empty last cell.
TCsvRows SplitCsv(const std::string& text);

} // namespace ravelin::test
