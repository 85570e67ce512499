#include "batch.h"

#include <limits>
#include <memory>
#include <optional>

#include "errors.h"
#include "outputStage.h"
#include "parallelBatch.h"
#include "paths.h"
#include "processFile.h"
#include "sweepEstimate.h"
#include "toneChannels.h"
#include "wavReader.h"
#include "workerTeam.h"

namespace ravelin {

namespace {

// Brackets a run with the front end's RunStarted/RunEnded on every path.
class TRunScope {
public:
  TRunScope(TBatchFrontEnd& frontEnd, int count) : FFrontEnd(frontEnd) { FFrontEnd.RunStarted(count); }
  ~TRunScope() { FFrontEnd.RunEnded(); }
  TRunScope(const TRunScope&) = delete;
  TRunScope& operator=(const TRunScope&) = delete;

private:
  TBatchFrontEnd& FFrontEnd;
};

// Holds the process's worker team to the run's number of threads.
class TThreadCap {
public:
  explicit TThreadCap(int threads) : FBefore(TWorkerTeam::Shared().SetLimit(threads)) {}
  ~TThreadCap() { TWorkerTeam::Shared().SetLimit(FBefore); }
  TThreadCap(const TThreadCap&) = delete;
  TThreadCap& operator=(const TThreadCap&) = delete;

private:
  int FBefore;
};

// Reads the test tone and maps its channels; returns the mapping's notice.
std::string ReadTestTone(TProcessWorkspace& workspace, const TProcessOptions& options) {
  TWAVReader reader(options.TestTone);
  const int64_t frames = reader.FrameCount();
  if (frames > std::numeric_limits<int32_t>::max())
    throw TRavelinError("Test tone file is too long!");
  if (frames == 0 || reader.Channels() == 0)
    throw TRavelinError("Test tone file cannot be empty!");
  const auto length = static_cast<int32_t>(frames);
  workspace.PrepareTestTone(reader.Channels(), length);
  workspace.TestToneRate = reader.SampleRate();
  reader.ReadFrames(workspace.TestTone.data(), length);
  std::string notice = MapToneChannels(workspace, options.ToneChannel);
  // The sweep that recording channel 1 is divided by stands for every channel.
  workspace.Sweep = options.Harmonics > 0
                        ? EstimateSweep(workspace.TestTone[static_cast<size_t>(workspace.ToneChannelFor[0])],
                                        length, workspace.TestToneRate)
                        : TSweepParameters{};
  return notice;
}

// One generator serves every file of a run (and the runs after it).
void PrepareDither(TProcessOptions& options) {
  if (options.FloatOutput)
    return;
  if (!options.Dither)
    options.Dither = std::make_unique<TOutputDither>();
  options.Dither->SetOutputBits(options.OutBits);
}

} // namespace

bool LoadTestTone(TProcessWorkspace& workspace, const TProcessOptions& options, TBatchFrontEnd& frontEnd) {
  std::string notice;
  try {
    notice = ReadTestTone(workspace, options);
  } catch (const std::exception& error) {
    frontEnd.ShowMessage("Error occured while trying to load test tone file\r\r" + DescribeError(error));
    return false;
  }
  if (!notice.empty())
    frontEnd.ShowNotice(notice);
  return true;
}

std::vector<std::string> RunBatch(const std::vector<std::string>& files, TProcessOptions& options,
                                  TProcessWorkspace& workspace, TBatchFrontEnd& frontEnd,
                                  const TCancelToken& cancel) {
  PrepareDither(options);
  options.Retained.clear();
  const TThreadCap cap(options.Jobs);
  const int count = static_cast<int>(files.size());
  // A single file runs in the caller's workspace, which keeps its buffers
  // and the tone's spectrum for the next run.
  if (options.Jobs > 1 && files.size() > 1) {
    const TRunScope scope(frontEnd, count);
    return RunParallelBatch(files, options, workspace, frontEnd, cancel, options.Jobs, AvailableMemory());
  }
  size_t done = 0;
  {
    const TRunScope scope(frontEnd, count);
    for (size_t i = 0; i < files.size(); ++i) {
      frontEnd.ShowProgress(FileNameOf(files[i]), static_cast<int>(i), count);
      if (cancel.Requested())
        break;
      const std::string outputPath = MakeOutputName(files[i], options);
      // The file takes its reserved stretch of the sequence from a copy; the
      // run's generator moves to the reservation's end, whatever the file used.
      std::optional<TOutputDither> dither;
      if (!options.FloatOutput) {
        dither = *options.Dither;
        options.Dither->Skip(PlanFile(files[i], options, workspace.TestToneLength).DitherCount);
      }
      const TFileRun run{dither ? &*dither : nullptr, {}, {}};
      if (!ReportFile(*ProcessRecording(files[i], outputPath, options, workspace, run), options, frontEnd))
        break;
      done = i + 1;
    }
  }
  std::vector<std::string> list = options.Retained;
  list.insert(list.end(), files.begin() + static_cast<std::ptrdiff_t>(done), files.end());
  return list;
}

} // namespace ravelin
