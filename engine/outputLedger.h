// The outputs written so far by a run (or by all runs of one command) and the
// recording of each. Files that run at the same time record into it from their
// own threads, so it guards itself.
#pragma once

#include <map>
#include <mutex>
#include <string>

namespace ravelin {

// One spelling per file: the absolute, lexically normal path (the path as
// given, normalised, when it cannot be made absolute).
std::string PathKey(const std::string& path);

class TOutputLedger {
public:
  TOutputLedger() = default;
  // Moves the records; neither ledger may be in use by another thread.
  TOutputLedger(TOutputLedger&& other) noexcept;
  TOutputLedger& operator=(TOutputLedger&& other) noexcept;
  TOutputLedger(const TOutputLedger&) = delete;
  TOutputLedger& operator=(const TOutputLedger&) = delete;

  // Records target as written from recordingPath (replacing an earlier record).
  void Record(const std::string& target, const std::string& recordingPath);
  // True when target has been written from a recording other than recordingPath.
  bool WrittenByOther(const std::string& target, const std::string& recordingPath) const;
  void Clear();

private:
  mutable std::mutex FMutex;
  std::map<std::string, std::string> FWritten; // output key -> recording key
};

} // namespace ravelin
