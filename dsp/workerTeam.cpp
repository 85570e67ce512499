#include "workerTeam.h"

#include <algorithm>

namespace ravelin {

namespace {

// Seats the calling thread holds (of any team; a thread works for one).
thread_local int tSeats = 0;

} // namespace

TWorkerTeam::TWorkerTeam(int threads) : FLimit(std::max(threads, 1)) {
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

int TWorkerTeam::SetLimit(int threads) {
  return FLimit.exchange(std::max(threads, 1));
}

TWorkerTeam::TSeat::TSeat(TWorkerTeam& team) : FTeam(team) {
  FTeam.FSeated.fetch_add(1);
  ++tSeats;
}

TWorkerTeam::TSeat::~TSeat() {
  --tSeats;
  FTeam.FSeated.fetch_sub(1);
}

int TWorkerTeam::HelpersFor(int count) const {
  const int busy = FSeated.load() + (tSeats > 0 ? 0 : 1);
  return std::clamp(std::min(FLimit.load() - busy, count - 1), 0, static_cast<int>(FWorkers.size()));
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
    if (FOpen == 0)
      continue;
    --FOpen;
    lock.unlock();
    TakeParts();
    lock.lock();
    if (--FPending == 0)
      FDone.notify_one();
  }
}

void TWorkerTeam::Run(int count, TPart part, void* context) {
  const int helpers = HelpersFor(count);
  bool idle = false;
  if (helpers == 0 || !FBusy.compare_exchange_strong(idle, true)) {
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
    FOpen = static_cast<size_t>(helpers);
    FPending = FOpen;
    ++FGeneration;
  }
  if (helpers == 1)
    FWake.notify_one();
  else
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
