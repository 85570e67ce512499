#include <vector>

#include "commands.h"
#include "errors.h"
#include "figures.h"
#include "paths.h"
#include "processFile.h"
#include "resultExport.h"

namespace ravelin {

namespace {

struct TAnalyzeArgs {
  TExportOptions Export;
  bool Quiet = false;
  bool Help = false;
  std::vector<std::string> Files;
};

TAnalyzeArgs ParseArguments(TArgumentList& list) {
  TAnalyzeArgs args;
  while (!list.AtEnd()) {
    const std::string argument = list.Next();
    if (!argument.starts_with("-") || argument.size() == 1)
      args.Files.push_back(argument);
    else if (ParseExportOption(argument, list, args.Export))
      continue;
    else if (argument == "--quiet" || argument == "--help" || argument == "-h") {
      list.NoValue(argument);
      (argument == "--quiet" ? args.Quiet : args.Help) = true;
    } else {
      throw TUsageError("unknown option '" + argument + "'");
    }
  }
  if (!args.Help && args.Files.empty())
    throw TUsageError("no IR given");
  return args;
}

// The figures of an existing response: no pre-silence is known, and its noise
// is measured as the file holds it.
TFileResult AnalyzeFile(const std::string& path) {
  try {
    int32_t sampleRate = 0;
    const std::vector<std::vector<float>> channels = ReadResponse(path, sampleRate);
    TFileResult result{path, TFileOutcome::Processed, path, {}, {}, {}, {}};
    const auto length = static_cast<int32_t>(channels.front().size());
    const std::vector<std::string> fileWarnings = FileWarnings({sampleRate, 0, length});
    for (const std::vector<float>& channel : channels) {
      result.Channels.push_back(AnalyzeResponse(channel.data(), length, {sampleRate, 0, 0}));
      std::vector<std::string>& warnings = result.Channels.back().Warnings;
      warnings.insert(warnings.end(), fileWarnings.begin(), fileWarnings.end());
    }
    return result;
  } catch (const std::exception& error) {
    return {path, TFileOutcome::Failed, {}, DescribeError(error), {}, {}, {}};
  }
}

} // namespace

int RunAnalyzeCommand(TArgumentList& arguments) {
  const TAnalyzeArgs args = ParseArguments(arguments);
  if (args.Help) {
    PrintHelp();
    return 0;
  }
  const int count = static_cast<int>(args.Files.size());
  TConsoleFrontEnd console(count, false, args.Quiet);
  TResultExport results(console, args.Export);
  for (int i = 0; i < count; ++i) {
    const std::string& path = args.Files[static_cast<size_t>(i)];
    results.ShowProgress(FileNameOf(path), i, count);
    results.FileDone(AnalyzeFile(path));
  }
  results.RunEnded();
  results.Finish();
  console.PrintSummary();
  return console.Failed() > 0 ? 1 : 0;
}

} // namespace ravelin
