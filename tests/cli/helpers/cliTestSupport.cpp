#include "cliTestSupport.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace ravelin::test {

int RunCli(const std::string& dir, const std::string& arguments) {
  const std::string command =
      "cd '" + dir + "' && '" RAVELIN_CLI_PATH "' " + arguments + " >stdout.txt 2>stderr.txt";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadText(const std::string& path) {
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

TCsvRows SplitCsv(const std::string& text) {
  TCsvRows rows;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    rows.emplace_back();
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, ',');)
      rows.back().push_back(cell);
    if (line.ends_with(","))
      rows.back().push_back("");
  }
  return rows;
}

} // namespace ravelin::test
