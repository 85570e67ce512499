#include "processFile.h"

#include <new>
#include <utility>

#include "deconvolve.h"
#include "outputStage.h"
#include "trim.h"
#include "wavReader.h"

namespace ravelin {

namespace {

// The figures of every output channel, judged with the file's own warnings.
std::vector<TChannelFigures> AnalyzeOutput(const TWAVReader& reader, const TDeconvolutionResult& result,
                                           const TProcessOptions& options,
                                           const TProcessWorkspace& workspace) {
  const TAnalysisSetup setup{reader.SampleRate(), result.PreSilence,
                             options.FloatOutput ? 0 : options.OutBits};
  const std::vector<std::string> fileWarnings =
      FileWarnings({reader.SampleRate(), workspace.TestToneRate, result.Length});
  std::vector<TChannelFigures> figures;
  for (int32_t c = 0; c < workspace.RecordChannels; ++c) {
    TChannelFigures channel = AnalyzeResponse(workspace.Record[static_cast<size_t>(c)], result.Length, setup);
    std::vector<std::string> warnings;
    if (result.Recording[static_cast<size_t>(c)].ClippedSamples > 0)
      warnings.emplace_back(ClippedWarning);
    warnings.insert(warnings.end(), channel.Warnings.begin(), channel.Warnings.end());
    warnings.insert(warnings.end(), fileWarnings.begin(), fileWarnings.end());
    channel.Warnings = std::move(warnings);
    figures.push_back(std::move(channel));
  }
  return figures;
}

// The harmonics' warnings (orders that overlap) join their channel's.
void AddHarmonicWarnings(const std::vector<TChannelHarmonics>& harmonics,
                         std::vector<TChannelFigures>& figures) {
  for (size_t c = 0; c < harmonics.size() && c < figures.size(); ++c)
    figures[c].Warnings.insert(figures[c].Warnings.end(), harmonics[c].Curves.Warnings.begin(),
                               harmonics[c].Curves.Warnings.end());
}

// Cuts every channel to the range that carries the response (the trim
// option); returns the new length. The figures then count from its start.
int32_t TrimOutput(std::vector<TChannelFigures>& figures, const TDeconvolutionResult& result,
                   int32_t sampleRate, const TProcessOptions& options, TProcessWorkspace& workspace) {
  const TTrimRange range =
      TrimRange(figures, result.Length, sampleRate, result.PreSilence, options.TrimMarginMs);
  for (int32_t c = 0; c < workspace.RecordChannels; ++c)
    ApplyTrim(workspace.Record[static_cast<size_t>(c)], range);
  for (TChannelFigures& channel : figures)
    TrimFigures(channel, range, sampleRate);
  return range.Count;
}

// Thrown where a file's run has it give up.
struct TAbandoned {};

void GoOnOrAbandon(const std::function<bool()>& ask) {
  if (ask && !ask())
    throw TAbandoned{};
}

bool SkippedAsProcessed(const TWAVReader& reader, const TProcessOptions& options) {
  return options.IgnoreProcessed && reader.ProductTag() == ProductName;
}

// Runs the file's steps; a recording skipped as already processed gives the
// outcome Skipped. The target is checked before the work, so a refused file
// costs nothing.
TFileResult RunSteps(const std::string& recordingPath, const std::string& outputPath,
                     TProcessOptions& options, TProcessWorkspace& workspace, const TFileRun& run) {
  TFileResult file{recordingPath, TFileOutcome::Skipped, {}, {}, {}, {}, {}};
  GoOnOrAbandon(run.MayStart);
  TWAVReader reader(recordingPath);
  if (SkippedAsProcessed(reader, options))
    return file;
  const std::string target = OutputTarget(recordingPath, outputPath, options);
  CheckTarget(target, recordingPath, options);
  CheckHarmonicTargets(target, recordingPath, options);
  TDeconvolutionResult result = DeconvolveRecording(reader, options, workspace);
  ApplyOutputGain(result.Peak, result.Length, options, workspace);
  file.Channels = AnalyzeOutput(reader, result, options, workspace);
  AddHarmonicWarnings(result.Harmonics, file.Channels);
  const int32_t length = options.Trim
                             ? TrimOutput(file.Channels, result, reader.SampleRate(), options, workspace)
                             : result.Length;
  // The dither needs only the file's own generator, so it goes before the
  // wait for the turn to write.
  DitherOutput(length, run.Dither, options, workspace);
  GoOnOrAbandon(run.AwaitWriteTurn); // nothing has been written yet
  reader.SetProductTag(ProductName);
  WriteHarmonicFiles(result.Harmonics, OutputGain(result.Peak, options), target, reader, options);
  WriteOutput(reader, length, target, options, workspace);
  file.Outcome = TFileOutcome::Processed;
  file.OutputPath = target;
  file.Recording = result.Recording;
  for (TChannelHarmonics& channel : result.Harmonics)
    channel.Orders.clear(); // written; the front end gets the levels
  file.Harmonics = std::move(result.Harmonics);
  return file;
}

} // namespace

std::string DescribeError(const std::exception& error) {
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr)
    return "Not enough memory!";
  return error.what();
}

std::optional<TFileResult> ProcessRecording(const std::string& recordingPath, const std::string& outputPath,
                                            TProcessOptions& options, TProcessWorkspace& workspace,
                                            const TFileRun& run) {
  try {
    return RunSteps(recordingPath, outputPath, options, workspace, run);
  } catch (const TAbandoned&) {
    return std::nullopt;
  } catch (const std::exception& error) {
    return TFileResult{recordingPath, TFileOutcome::Failed, {}, DescribeError(error), {}, {}, {}};
  }
}

bool ReportFile(const TFileResult& result, TProcessOptions& options, TBatchFrontEnd& frontEnd) {
  frontEnd.FileDone(result);
  if (result.Outcome != TFileOutcome::Failed)
    return true;
  const bool goOn =
      frontEnd.AskYesNo("Error occured while processing file\r" + result.RecordingPath + "\r\r" +
                        result.Message + "\r\r" + "Do you wish to continue processing the remaining files?");
  if (goOn)
    options.Retained.push_back(result.RecordingPath);
  return goOn;
}

bool ProcessFile(const std::string& recordingPath, const std::string& outputPath, TProcessOptions& options,
                 TProcessWorkspace& workspace, TBatchFrontEnd& frontEnd) {
  const TFileRun run{options.FloatOutput ? nullptr : options.Dither.get(), {}, {}};
  return ReportFile(*ProcessRecording(recordingPath, outputPath, options, workspace, run), options, frontEnd);
}

TFilePlan PlanFile(const std::string& recordingPath, const TProcessOptions& options, int32_t testToneLength) {
  TFilePlan plan;
  try {
    const TWAVReader reader(recordingPath);
    if (SkippedAsProcessed(reader, options))
      return plan;
    const TDeconvolutionSizes sizes =
        ComputeSizes(reader.FrameCount(), testToneLength, options.PreSilence, reader.SampleRate());
    const auto channels = static_cast<uint64_t>(reader.Channels());
    if (!options.FloatOutput)
      plan.DitherCount = 2 * channels * static_cast<uint64_t>(sizes.OutputLength);
    plan.SpectrumBytes = 2 * (uint64_t{1} << sizes.Order) * sizeof(double);
    plan.RecordBytes = channels * static_cast<uint64_t>(sizes.Stride) * sizeof(float);
  } catch (const std::exception&) {
    return TFilePlan{}; // the file fails at once when it runs
  }
  return plan;
}

std::vector<std::string> FilePaths(const std::string& recordingPath, const std::string& outputPath,
                                   const TProcessOptions& options) {
  const std::string target = OutputTarget(recordingPath, outputPath, options);
  std::vector<std::string> paths{recordingPath, target};
  for (int k = MinHarmonicOrder; options.HarmonicFiles && k <= options.Harmonics; ++k)
    paths.push_back(HarmonicFilePath(target, k));
  return paths;
}

} // namespace ravelin
