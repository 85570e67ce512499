#include "workerTeam.h"

#include <algorithm>

namespace ravelin {

TWorkerTeam::TWorkerTeam(int threads) {
  for (int i = 1; i < threads; ++i)
    FWorkers.emplace_back([this] { WorkerLoop(); });
}

TWorkerTeam::~TWorkerTeam() {
  {
    const std::lock_guard lock(FMutex);
    FStop = true;
  }
  FWake.notify_all();
  for (std::thread& worker : FWorkers)
    worker.join();
}

TWorkerTeam& TWorkerTeam::Shared() {
  static TWorkerTeam team(static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
  return team;
}

void TWorkerTeam::TakeParts() {
  for (int i = FNext.fetch_add(1); i < FCount; i = FNext.fetch_add(1))
    FPart(FContext, i);
}

void TWorkerTeam::WorkerLoop() {
  uint64_t seen = 0;
  std::unique_lock lock(FMutex);
  for (;;) {
    FWake.wait(lock, [&] { return FStop || FGeneration != seen; });
    if (FStop)
      return;
    seen = FGeneration;
    lock.unlock();
    TakeParts();
    lock.lock();
    if (--FPending == 0)
      FDone.notify_one();
  }
}

void TWorkerTeam::Run(int count, TPart part, void* context) {
  bool idle = false;
  if (FWorkers.empty() || count <= 1 || !FBusy.compare_exchange_strong(idle, true)) {
    for (int i = 0; i < count; ++i)
      part(context, i);
    return;
  }
  {
    const std::lock_guard lock(FMutex);
    FPart = part;
    FContext = context;
    FCount = count;
    FNext.store(0);
    FPending = FWorkers.size();
    ++FGeneration;
  }
  FWake.notify_all();
  TakeParts();
  {
    std::unique_lock lock(FMutex);
    FDone.wait(lock, [&] { return FPending == 0; });
    FPart = nullptr;
    FContext = nullptr;
  }
  FBusy.store(false);
}

} // namespace ravelin
