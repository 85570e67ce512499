// ravelin-cli: the engine without a window, for scripts and servers.
#include <csignal>
#include <cstdio>
#include <exception>

#include "buffers.h"
#include "commands.h"
#include "consoleFrontEnd.h"
#include "version.h"

namespace {

int Run(ravelin::TArgumentList& arguments) {
  if (arguments.AtEnd())
    throw ravelin::TUsageError("missing command");
  const std::string command = arguments.Next();
  if (command == "--help" || command == "-h" || command == "help") {
    ravelin::PrintHelp();
    return 0;
  }
  if (command == "--version") {
    std::printf("ravelin-cli %s\n", ravelin::VersionText);
    return 0;
  }
  if (command == "deconvolve")
    return ravelin::RunDeconvolveCommand(arguments);
  if (command == "analyze")
    return ravelin::RunAnalyzeCommand(arguments);
  if (command == "sweep")
    return ravelin::RunSweepCommand(arguments);
  throw ravelin::TUsageError("unknown command '" + command + "'");
}

} // namespace

int main(int argc, char** argv) {
  // Floating-point exceptions stay masked for the whole run.
  const ravelin::TFPUModeGuard fpuMode;
  // Past a file size limit a write then fails with an error that the file's
  // message reports, instead of the signal ending the process.
  std::signal(SIGXFSZ, SIG_IGN);
  ravelin::TArgumentList arguments(std::vector<std::string>(argv + 1, argv + argc));
  try {
    return Run(arguments);
  } catch (const ravelin::TUsageError& error) {
    std::fprintf(stderr, "ravelin-cli: %s\nTry 'ravelin-cli --help'.\n", error.what());
    return 2;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "ravelin-cli: %s\n", ravelin::ConsoleText(error.what()).c_str());
    return 1;
  }
}
