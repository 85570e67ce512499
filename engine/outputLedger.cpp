#include "outputLedger.h"

#include <filesystem>
#include <system_error>
#include <utility>

namespace ravelin {

namespace fs = std::filesystem;

std::string PathKey(const std::string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  return (error ? fs::path(path) : absolute).lexically_normal().string();
}

TOutputLedger::TOutputLedger(TOutputLedger&& other) noexcept : FWritten(std::move(other.FWritten)) {}

TOutputLedger& TOutputLedger::operator=(TOutputLedger&& other) noexcept {
  if (this != &other)
    FWritten = std::move(other.FWritten);
  return *this;
}

void TOutputLedger::Record(const std::string& target, const std::string& recordingPath) {
  std::string key = PathKey(target);
  std::string recording = PathKey(recordingPath);
  const std::lock_guard lock(FMutex);
  FWritten[std::move(key)] = std::move(recording);
}

bool TOutputLedger::WrittenByOther(const std::string& target, const std::string& recordingPath) const {
  const std::string key = PathKey(target);
  const std::string recording = PathKey(recordingPath);
  const std::lock_guard lock(FMutex);
  const auto earlier = FWritten.find(key);
  return earlier != FWritten.end() && earlier->second != recording;
}

void TOutputLedger::Clear() {
  const std::lock_guard lock(FMutex);
  FWritten.clear();
}

} // namespace ravelin
