// Re-entrant lock: the thread that holds it may enter it again and must
// leave it as often. Guards the block manager's free list and a filter
// response's change flag.
#pragma once

#include <mutex>

namespace ravelin {

class TSyncObject {
public:
  TSyncObject() = default;
  TSyncObject(const TSyncObject&) = delete;
  TSyncObject& operator=(const TSyncObject&) = delete;

  void Enter() { FMutex.lock(); }
  void Leave() { FMutex.unlock(); }

private:
  std::recursive_mutex FMutex;
};

// Scope guard: Enter on construction, Leave on destruction.
class TSyncLock {
public:
  explicit TSyncLock(TSyncObject& sync) : FSync(sync) { FSync.Enter(); }
  ~TSyncLock() { FSync.Leave(); }
  TSyncLock(const TSyncLock&) = delete;
  TSyncLock& operator=(const TSyncLock&) = delete;

private:
  TSyncObject& FSync;
};

} // namespace ravelin
