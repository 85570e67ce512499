// A fixed team of worker threads for splitting one large job into parts:
// Run(count, part, context) calls part(context, i) once for every i in
// 0 .. count-1, on the calling thread and the workers, and returns when every
// part is done. The part is a plain function pointer so that code built for
// other instruction sets can hand work over without sharing any inline
// library code with the rest of the program.
//
// One job at a time: a Run that finds the team busy (another thread's job, or
// a part that calls Run again) does all its parts on its own thread, so
// concurrent users never wait for each other and never deadlock. Parts must
// not throw.
//
// A cap on the threads busy at once (SetLimit) and the seats of threads that
// carry a share of a larger job of their own (TSeat: the files of a parallel
// batch) decide how many workers a Run lends out: as many as the cap leaves
// beside the seated threads and the caller. So a batch told to use N threads
// never has more than N busy, and the team helps the files going only with
// the threads they leave idle. Who runs a part never changes its result.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace ravelin {

class TWorkerTeam {
public:
  // threads counts the caller: 1 (or less) makes a team without workers.
  using TPart = void (*)(void* context, int part);

  explicit TWorkerTeam(int threads);
  ~TWorkerTeam();
  TWorkerTeam(const TWorkerTeam&) = delete;
  TWorkerTeam& operator=(const TWorkerTeam&) = delete;

  // Threads that take part in a Run, the caller included.
  int Threads() const { return static_cast<int>(FWorkers.size()) + 1; }
  void Run(int count, TPart part, void* context);

  // Caps the threads busy at once (at least 1); returns the cap before.
  // Without a call the cap is Threads().
  int SetLimit(int threads);

  // Held by a thread while it works on a share of a larger job that runs on
  // several threads of its own: the cap counts it as busy.
  class TSeat {
  public:
    explicit TSeat(TWorkerTeam& team);
    ~TSeat();
    TSeat(const TSeat&) = delete;
    TSeat& operator=(const TSeat&) = delete;

  private:
    TWorkerTeam& FTeam;
  };

  // The process's team, one thread per core, made on first use.
  static TWorkerTeam& Shared();

private:
  void WorkerLoop();
  void TakeParts();
  // Workers a Run of count parts on the calling thread may have.
  int HelpersFor(int count) const;

  std::vector<std::thread> FWorkers;
  std::atomic<bool> FBusy{false};
  std::atomic<int> FLimit;
  std::atomic<int> FSeated{0};
  std::mutex FMutex;
  std::condition_variable FWake;
  std::condition_variable FDone;
  // The job of the moment, set under FMutex before FGeneration moves on.
  TPart FPart = nullptr;
  void* FContext = nullptr;
  int FCount = 0;
  std::atomic<int> FNext{0};
  size_t FOpen = 0;         // workers the job may still take on
  size_t FPending = 0;      // workers taken on and still inside the job
  uint64_t FGeneration = 0; // jobs started so far
  bool FStop = false;
};

} // namespace ravelin
