#include "parallelBatch.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <fstream>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <sstream>
#include <system_error>
#include <thread>
#include <utility>

#include <unistd.h>

#include "outputLedger.h"
#include "outputStage.h"
#include "paths.h"
#include "processFile.h"
#include "workerTeam.h"

namespace ravelin {

namespace {

constexpr size_t NoFile = std::numeric_limits<size_t>::max();

// The kB figure of one /proc/meminfo line ("MemAvailable:  123456 kB").
std::optional<uint64_t> MemInfoKilobytes(const std::string& name) {
  std::ifstream file("/proc/meminfo");
  std::string line;
  while (std::getline(file, line)) {
    std::istringstream fields(line);
    std::string key;
    uint64_t kilobytes = 0;
    if (fields >> key >> kilobytes && key == name + ":")
      return kilobytes;
  }
  return std::nullopt;
}

uint64_t FreePhysicalBytes() {
  const long pages = sysconf(_SC_AVPHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0)
    return 0;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

// One file of the run. The coordinating thread fills it and hands it to a
// slot; the slot's thread owns Dither while it runs the file and leaves
// Result, then Finished (under the run's mutex).
struct TFileJob {
  bool Prepared = false;
  std::string OutputPath;
  std::vector<std::string> Keys; // PathKey of its FilePaths
  TFilePlan Plan;
  std::optional<TOutputDither> Dither; // integer output: from the file's reservation
  bool Finished = false;
  std::optional<TFileResult> Result; // none: given up
  bool OutOfMemory = false;          // not even the failure could be kept
  bool Reported = false;             // FileDone went out and the run went on
};

// A thread and the workspace its files run in.
struct TSlot {
  std::unique_ptr<TProcessWorkspace> Workspace; // none until used, or given up for memory
  uint64_t SpectrumBytes = 0;                   // the workspace's blocks as its files have grown them
  uint64_t RecordBytes = 0;
  size_t File = NoFile; // the file it runs (under the run's mutex)
  // Held while the thread works on its file, not while it waits for its
  // turn: the team then lends the idle core to the files still working.
  std::optional<TWorkerTeam::TSeat> Seat;
  std::thread Thread;
};

class TParallelRun {
public:
  TParallelRun(const std::vector<std::string>& files, TProcessOptions& options,
               const TProcessWorkspace& workspace, TBatchFrontEnd& frontEnd, const TCancelToken& cancel,
               int jobs, uint64_t memoryBudget) :
      FFiles(files),
      FOptions(options), FWorkspace(workspace), FFrontEnd(frontEnd), FCancel(cancel),
      FMaxSlots(static_cast<size_t>(std::max(jobs, 1))), FBudget(memoryBudget), FJobs(files.size()) {
    FToneBytes = static_cast<uint64_t>(workspace.TestToneChannels) *
                 static_cast<uint64_t>(workspace.TestToneLength) * sizeof(float);
    if (!options.FloatOutput)
      FCursor = *options.Dither;
    FSlots.reserve(FMaxSlots);
  }

  // Has the files still going give up and waits for every thread.
  ~TParallelRun() {
    {
      const std::lock_guard lock(FMutex);
      FShutdown = true;
      FStopped = true;
    }
    FWork.notify_all();
    FTurn.notify_all();
    for (const std::unique_ptr<TSlot>& slot : FSlots)
      slot->Thread.join();
  }

  TParallelRun(const TParallelRun&) = delete;
  TParallelRun& operator=(const TParallelRun&) = delete;

  std::vector<std::string> Run();

private:
  void Work(TSlot& slot);
  // Starts files in list order while the slots, the memory and the paths of
  // the files going allow.
  void StartFiles(std::unique_lock<std::mutex>& lock);
  void Prepare(size_t index, std::unique_lock<std::mutex>& lock);
  bool SharesPathWithGoing(const TFileJob& job) const;
  // The slot to run a file of this plan in, or none while it would not fit.
  TSlot* ChooseSlot(const TFilePlan& plan);
  uint64_t Footprint(const TSlot& slot) const;
  uint64_t Growth(const TSlot& slot, const TFilePlan& plan) const;
  // A new slot with its thread; none when one cannot be had.
  TSlot* AddSlot();
  // The file at the head of the list's order, once it has finished.
  void ReportHead(std::unique_lock<std::mutex>& lock);
  // ShowProgress of file index, once.
  void ShowProgress(size_t index, std::unique_lock<std::mutex>& lock);
  void Stop();
  bool AwaitWriteTurn(size_t index);
  size_t Going() const;

  const std::vector<std::string>& FFiles;
  TProcessOptions& FOptions; // the threads change only its Written, which guards itself
  const TProcessWorkspace& FWorkspace;
  TBatchFrontEnd& FFrontEnd;
  const TCancelToken& FCancel;
  const size_t FMaxSlots;
  const uint64_t FBudget; // bytes for the workspaces
  uint64_t FToneBytes = 0;
  std::optional<TOutputDither> FCursor; // the run's generator at the next file's reservation

  std::mutex FMutex;
  std::condition_variable FWork; // a slot has a file, or the run ends
  std::condition_variable FDone; // a file has finished
  std::condition_variable FTurn; // the write turn has moved on, or the run has stopped
  std::vector<TFileJob> FJobs;
  std::vector<std::unique_ptr<TSlot>> FSlots;
  bool FShutdown = false;
  size_t FNext = 0;                 // the next file to start
  size_t FShown = 0;                // files whose ShowProgress went out
  size_t FReported = 0;             // the next file to report
  size_t FWriteTurn = NoFile;       // the one file that may write its outputs
  bool FStopped = false;            // no file starts or writes any more
  std::exception_ptr FPrepareError; // file FNext's, from MakeOutputName
};

std::vector<std::string> TParallelRun::Run() {
  std::unique_lock lock(FMutex);
  while (FReported < FFiles.size() && !FStopped) {
    StartFiles(lock);
    ShowProgress(FReported, lock);
    if (FCancel.Requested()) {
      Stop();
    } else if (FReported == FNext) {
      // Nothing going: file FNext could not be prepared (its output folder).
      if (FPrepareError)
        std::rethrow_exception(FPrepareError);
      continue;
    } else {
      FWriteTurn = FReported;
      FTurn.notify_all();
    }
    ReportHead(lock);
  }
  // Files going give up where they stand; the threads end with this object.
  Stop();
  lock.unlock();
  if (FCursor)
    *FOptions.Dither = *FCursor;
  std::vector<std::string> list = FOptions.Retained;
  for (size_t i = 0; i < FFiles.size(); ++i)
    if (!FJobs[i].Reported)
      list.push_back(FFiles[i]);
  return list;
}

void TParallelRun::ReportHead(std::unique_lock<std::mutex>& lock) {
  const size_t index = FReported;
  if (index >= FNext)
    return; // never started
  TFileJob& job = FJobs[index];
  for (;;) {
    StartFiles(lock); // into the slots that have come free
    if (job.Finished)
      break;
    FDone.wait(lock);
  }
  ++FReported;
  if (FStopped)
    return; // given up, or done without writing: not processed
  if (job.OutOfMemory)
    job.Result = TFileResult{FFiles[index], TFileOutcome::Failed, {}, "Not enough memory!", {}, {}, {}};
  lock.unlock();
  const bool goOn = ReportFile(*job.Result, FOptions, FFrontEnd);
  lock.lock();
  job.Result.reset();
  job.Reported = goOn;
  if (!goOn)
    Stop();
}

void TParallelRun::ShowProgress(size_t index, std::unique_lock<std::mutex>& lock) {
  if (index < FShown)
    return;
  FShown = index + 1;
  lock.unlock();
  FFrontEnd.ShowProgress(FileNameOf(FFiles[index]), static_cast<int>(index), static_cast<int>(FFiles.size()));
  lock.lock();
}

void TParallelRun::Stop() {
  FStopped = true;
  FTurn.notify_all();
}

bool TParallelRun::AwaitWriteTurn(size_t index) {
  std::unique_lock lock(FMutex);
  FTurn.wait(lock, [&] { return FStopped || FWriteTurn == index; });
  return !FStopped;
}

void TParallelRun::StartFiles(std::unique_lock<std::mutex>& lock) {
  // After cancel no file starts; the run stops at the next ShowProgress.
  while (!FStopped && !FPrepareError && FNext < FFiles.size() && !FCancel.Requested()) {
    TFileJob& job = FJobs[FNext];
    if (!job.Prepared)
      Prepare(FNext, lock);
    if (FPrepareError || SharesPathWithGoing(job))
      return;
    TSlot* slot = ChooseSlot(job.Plan);
    if (slot == nullptr)
      return;
    if (FCursor) {
      job.Dither = *FCursor;
      FCursor->Skip(job.Plan.DitherCount);
    }
    slot->SpectrumBytes = std::max(slot->SpectrumBytes, job.Plan.SpectrumBytes);
    slot->RecordBytes = std::max(slot->RecordBytes, job.Plan.RecordBytes);
    slot->File = FNext++;
    FWork.notify_all();
  }
}

void TParallelRun::Prepare(size_t index, std::unique_lock<std::mutex>& lock) {
  // The file system work goes without the lock; only this thread touches a
  // file's job before it starts.
  lock.unlock();
  TFileJob& job = FJobs[index];
  std::exception_ptr folderError;
  try {
    job.OutputPath = MakeOutputName(FFiles[index], FOptions);
    for (const std::string& path : FilePaths(FFiles[index], job.OutputPath, FOptions))
      job.Keys.push_back(PathKey(path));
    job.Plan = PlanFile(FFiles[index], FOptions, FWorkspace.TestToneLength);
  } catch (...) {
    folderError = std::current_exception();
  }
  lock.lock();
  job.Prepared = true;
  FPrepareError = folderError;
}

bool TParallelRun::SharesPathWithGoing(const TFileJob& job) const {
  for (const std::unique_ptr<TSlot>& slot : FSlots) {
    if (slot->File == NoFile)
      continue;
    const std::vector<std::string>& going = FJobs[slot->File].Keys;
    for (const std::string& key : job.Keys)
      if (std::find(going.begin(), going.end(), key) != going.end())
        return true;
  }
  return false;
}

uint64_t TParallelRun::Footprint(const TSlot& slot) const {
  return slot.Workspace ? FToneBytes + slot.SpectrumBytes + slot.RecordBytes : 0;
}

uint64_t TParallelRun::Growth(const TSlot& slot, const TFilePlan& plan) const {
  const auto more = [](uint64_t held, uint64_t wanted) { return wanted > held ? wanted - held : 0; };
  if (!slot.Workspace)
    return FToneBytes + plan.SpectrumBytes + plan.RecordBytes;
  return more(slot.SpectrumBytes, plan.SpectrumBytes) + more(slot.RecordBytes, plan.RecordBytes);
}

size_t TParallelRun::Going() const {
  return static_cast<size_t>(std::count_if(
      FSlots.begin(), FSlots.end(), [](const std::unique_ptr<TSlot>& slot) { return slot->File != NoFile; }));
}

TSlot* TParallelRun::ChooseSlot(const TFilePlan& plan) {
  // The idle slot whose workspace grows least; a new slot only when none is
  // idle (it grows by a whole workspace).
  TSlot* best = nullptr;
  uint64_t total = 0;
  for (const std::unique_ptr<TSlot>& slot : FSlots) {
    total += Footprint(*slot);
    if (slot->File == NoFile && (best == nullptr || Growth(*slot, plan) < Growth(*best, plan)))
      best = slot.get();
  }
  const size_t going = Going();
  if (best == nullptr && FSlots.size() == FMaxSlots)
    return nullptr;
  const uint64_t growth =
      best != nullptr ? Growth(*best, plan) : FToneBytes + plan.SpectrumBytes + plan.RecordBytes;
  if (total + growth > FBudget) {
    // The other idle workspaces are given up first; past that the file waits
    // for one going, unless none is.
    for (const std::unique_ptr<TSlot>& slot : FSlots)
      if (slot.get() != best && slot->File == NoFile && slot->Workspace) {
        total -= Footprint(*slot);
        slot->Workspace.reset();
        slot->SpectrumBytes = 0;
        slot->RecordBytes = 0;
      }
    if (total + growth > FBudget && going > 0)
      return nullptr;
  }
  if (best == nullptr)
    best = AddSlot();
  if (best != nullptr && !best->Workspace) {
    try {
      auto workspace = std::make_unique<TProcessWorkspace>();
      workspace->CopyTestTone(FWorkspace);
      best->Workspace = std::move(workspace);
    } catch (const std::bad_alloc&) {
      if (going == 0)
        throw;
      return nullptr; // retried when a file going has finished
    }
  }
  return best;
}

TSlot* TParallelRun::AddSlot() {
  auto slot = std::make_unique<TSlot>();
  try {
    slot->Thread = std::thread([this, &state = *slot] { Work(state); });
  } catch (const std::system_error&) {
    if (FSlots.empty())
      throw;
    return nullptr;
  }
  FSlots.push_back(std::move(slot));
  return FSlots.back().get();
}

void TParallelRun::Work(TSlot& slot) {
  std::unique_lock lock(FMutex);
  for (;;) {
    FWork.wait(lock, [&] { return slot.File != NoFile || FShutdown; });
    if (slot.File == NoFile)
      return;
    const size_t index = slot.File;
    TFileJob& job = FJobs[index];
    TProcessWorkspace& workspace = *slot.Workspace;
    lock.unlock();
    const TFileRun run{job.Dither ? &*job.Dither : nullptr,
                       [this] {
                         const std::lock_guard guard(FMutex);
                         return !FStopped;
                       },
                       [this, index, &slot] {
                         slot.Seat.reset();
                         const bool turn = AwaitWriteTurn(index);
                         slot.Seat.emplace(TWorkerTeam::Shared());
                         return turn;
                       }};
    std::optional<TFileResult> result;
    slot.Seat.emplace(TWorkerTeam::Shared());
    try {
      result = ProcessRecording(FFiles[index], job.OutputPath, FOptions, workspace, run);
    } catch (const std::bad_alloc&) {
      job.OutOfMemory = true; // even the failure's text could not be made
    }
    slot.Seat.reset();
    lock.lock();
    job.Result = std::move(result);
    job.Finished = true;
    slot.File = NoFile;
    FDone.notify_all();
  }
}

} // namespace

uint64_t AvailableMemory() {
  const std::optional<uint64_t> kilobytes = MemInfoKilobytes("MemAvailable");
  const uint64_t bytes = kilobytes ? *kilobytes * 1024 : FreePhysicalBytes();
  return bytes / 4 * 3;
}

std::vector<std::string> RunParallelBatch(const std::vector<std::string>& files, TProcessOptions& options,
                                          const TProcessWorkspace& workspace, TBatchFrontEnd& frontEnd,
                                          const TCancelToken& cancel, int jobs, uint64_t memoryBudget) {
  TParallelRun run(files, options, workspace, frontEnd, cancel, jobs, memoryBudget);
  return run.Run();
}

} // namespace ravelin
