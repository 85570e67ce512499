#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "batch.h"
#include "commands.h"
#include "consoleFrontEnd.h"
#include "errors.h"
#include "fileList.h"
#include "harmonics.h"
#include "paths.h"
#include "processOptions.h"
#include "resultExport.h"
#include "scan.h"

namespace ravelin {

namespace fs = std::filesystem;

namespace {

constexpr int MaxJobs = 1024;

// One file at a time per core.
int DefaultJobs() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(std::min(cores, unsigned{MaxJobs}));
}

struct TDeconvolveArgs {
  TOptionControls Controls;
  std::string OutDir; // empty: beside each recording
  bool Recurse = false;
  bool StopOnError = false;
  bool Help = false;
  bool Quiet = false;
  bool Trim = false;
  int Harmonics = 0; // 0: off
  bool HarmonicFiles = false;
  int Jobs = DefaultJobs();
  std::optional<uint32_t> DitherSeed; // none: from the clock
  TExportOptions Export;
  TListSeparator ListSeparator = TListSeparator::Newline;
  std::vector<std::string> FileLists; // --files-from, in order
  std::vector<std::string> Inputs;
};

// Recordings found in one place, and that place (the root of their relative
// output paths).
struct TFileGroup {
  std::string Root; // ends with '/' or is empty
  std::vector<std::string> Files;
};

int BitDepthIndex(const std::string& text) {
  if (text == "16")
    return 0;
  if (text == "24")
    return 1;
  if (text == "32")
    return 2;
  if (text == "float")
    return BitDepthIndexFloat;
  throw TUsageError("invalid value '" + text + "' for --bits");
}

// A whole decimal number from 0 to 2^32 - 1.
uint32_t ParseSeed(const std::string& option, const std::string& text) {
  uint32_t seed = 0;
  const char* end = text.data() + text.size();
  const auto [last, error] = std::from_chars(text.data(), end, seed);
  if (text.empty() || error != std::errc() || last != end)
    throw TUsageError("invalid value '" + text + "' for " + option);
  return seed;
}

int SlopeIndex(const std::string& text) {
  if (text == "max")
    return 8;
  const int decibels = ParseIntegerOption("--slope", text, 12, 96);
  if (decibels % 12 != 0)
    throw TUsageError("invalid value '" + text + "' for --slope");
  return decibels / 12 - 1;
}

// Sets a check box and its text from an option's value.
void SetChecked(bool& box, std::string& text, const std::string& value) {
  box = true;
  text = value;
}

// Handles one option; false when the name is not an option of this command.
bool ParseOption(const std::string& name, TArgumentList& list, TDeconvolveArgs& args) {
  TOptionControls& c = args.Controls;
  if (ParseExportOption(name, list, args.Export))
    return true;
  if (name == "--tone")
    c.TestTone = list.Value(name);
  else if (name == "--out")
    args.OutDir = list.Value(name);
  else if (name == "--bits")
    c.BitDepthIndex = BitDepthIndex(list.Value(name));
  else if (name == "--volume")
    SetChecked(c.Volume, c.VolumeText, list.Value(name));
  else if (name == "--silence")
    SetChecked(c.PreSilence, c.PreSilenceText, list.Value(name));
  else if (name == "--low-cut")
    SetChecked(c.LowCut, c.LowCutText, list.Value(name));
  else if (name == "--high-cut")
    SetChecked(c.HighCut, c.HighCutText, list.Value(name));
  else if (name == "--slope")
    c.CutSlopeIndex = SlopeIndex(list.Value(name));
  else if (name == "--tone-channel")
    c.ToneChannel = ParseIntegerOption(name, list.Value(name), 1, 16);
  else if (name == "--harmonics")
    args.Harmonics = ParseIntegerOption(name, list.Value(name), MinHarmonicOrder, MaxHarmonicOrder);
  else if (name == "--jobs")
    args.Jobs = ParseIntegerOption(name, list.Value(name), 1, MaxJobs);
  else if (name == "--dither-seed")
    args.DitherSeed = ParseSeed(name, list.Value(name));
  else if (name == "--files-from")
    args.FileLists.push_back(list.Value(name));
  else {
    list.NoValue(name);
    if (name == "--reversed")
      c.Reversed = true;
    else if (name == "--min-phase")
      c.MinPhase = true;
    else if (name == "--normalize")
      c.Normalize = true;
    else if (name == "--no-suffix")
      c.NoRename = true;
    else if (name == "--reprocess")
      c.Ignore = false;
    else if (name == "--recurse")
      args.Recurse = true;
    else if (name == "--stop-on-error")
      args.StopOnError = true;
    else if (name == "--null")
      args.ListSeparator = TListSeparator::Nul;
    else if (name == "--quiet")
      args.Quiet = true;
    else if (name == "--trim")
      args.Trim = true;
    else if (name == "--harmonic-files")
      args.HarmonicFiles = true;
    else if (name == "--help" || name == "-h")
      args.Help = true;
    else
      return false;
  }
  return true;
}

// The orders' levels assume the plain division of the recording by the tone.
void CheckHarmonicOptions(TDeconvolveArgs& args) {
  if (args.Harmonics > 0 && (args.Controls.Reversed || args.Controls.MinPhase))
    throw TUsageError("--harmonics excludes --reversed and --min-phase");
  if (args.HarmonicFiles && args.Harmonics == 0)
    throw TUsageError("--harmonic-files needs --harmonics");
  args.Export.Harmonics = args.Harmonics > 0;
}

TDeconvolveArgs ParseArguments(TArgumentList& list) {
  TDeconvolveArgs args;
  while (!list.AtEnd()) {
    const std::string argument = list.Next();
    if (argument.starts_with("-") && argument.size() > 1) {
      if (!ParseOption(argument, list, args))
        throw TUsageError("unknown option '" + argument + "'");
    } else {
      args.Inputs.push_back(argument);
    }
  }
  if (args.Help)
    return args;
  if (args.Controls.Volume && args.Controls.Normalize)
    throw TUsageError("--volume and --normalize exclude each other");
  CheckHarmonicOptions(args);
  if (args.Inputs.empty() && args.FileLists.empty())
    throw TUsageError("no INPUT given");
  // The lists are read only now, so that --help never waits on standard input.
  for (const std::string& listPath : args.FileLists)
    AppendFileList(listPath, args.ListSeparator, args.Inputs);
  return args;
}

// A folder input is scanned; a file input counts as found in its own folder.
TFileGroup GatherInput(const std::string& input, bool recurse, TConsoleFrontEnd& console) {
  std::error_code error;
  const fs::file_status status = fs::status(input, error);
  if (fs::is_directory(status)) {
    TFileGroup group{WithSlash(input), {}};
    if (!ScanFolder(group.Root, group.Files, console, recurse))
      throw TUsageError("cannot scan folder '" + input + "'");
    SortFileList(group.Files);
    return group;
  }
  if (!fs::exists(status))
    throw TUsageError("no such file or folder '" + input + "'");
  return TFileGroup{FolderOf(input), {input}};
}

int CountFiles(const std::vector<TFileGroup>& groups) {
  size_t count = 0;
  for (const TFileGroup& group : groups)
    count += group.Files.size();
  return static_cast<int>(count);
}

int Deconvolve(const TDeconvolveArgs& args) {
  TConsoleFrontEnd scanConsole(0, args.StopOnError);
  std::vector<TFileGroup> groups;
  for (const std::string& input : args.Inputs)
    groups.push_back(GatherInput(input, args.Recurse, scanConsole));

  TOptionControls controls = args.Controls;
  controls.FileListEmpty = CountFiles(groups) == 0;
  TProcessOptions options;
  const TValidationResult validation = ValidateOptions(controls, options);
  if (!validation.Ok) {
    std::fprintf(stderr, "ravelin-cli: %s\n", ConsoleText(validation.Message).c_str());
    return 2;
  }
  options.Trim = args.Trim;
  options.Harmonics = args.Harmonics;
  options.HarmonicSmoothing = args.Export.Smoothing;
  options.HarmonicFiles = args.HarmonicFiles;
  options.Jobs = args.Jobs;
  if (args.DitherSeed)
    options.Dither = std::make_unique<TOutputDither>(*args.DitherSeed);
  TConsoleFrontEnd console(CountFiles(groups), args.StopOnError, args.Quiet);
  TResultExport results(console, args.Export);
  TProcessWorkspace workspace;
  const TCancelToken never; // a command runs to its end (or its first failure with --stop-on-error)
  if (!LoadTestTone(workspace, options, results))
    return 2;
  for (const TFileGroup& group : groups) {
    options.ScanFolder = group.Root;
    options.OutFolder = args.OutDir.empty() ? group.Root : WithSlash(args.OutDir);
    RunBatch(group.Files, options, workspace, results, never);
    if (console.Stopped())
      break;
  }
  results.Finish();
  console.PrintSummary();
  return console.Failed() > 0 ? 1 : 0;
}

} // namespace

int RunDeconvolveCommand(TArgumentList& arguments) {
  const TDeconvolveArgs args = ParseArguments(arguments);
  if (args.Help) {
    PrintHelp();
    return 0;
  }
  return Deconvolve(args);
}

} // namespace ravelin
