// Where the WAV writer's bytes go. The file sink writes a hidden temporary
// beside the target and renames it onto the target only when every byte has
// been written, flushed to storage and closed, so a failure (full disk, file
// size limit, crash, kill) never leaves a truncated file under the target's
// name. Tests give the writer sinks of their own to make any step fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace ravelin {

class TByteSink {
public:
  virtual ~TByteSink() = default;
  // Each returns false on failure; the writer then throws its numbered error.
  virtual bool Write(const void* data, size_t count) = 0;
  virtual bool Seek(int64_t offset) = 0;
  // Makes the bytes written the complete file: flush, close and publish.
  // A sink that is destroyed without a successful Finish leaves nothing behind.
  virtual bool Finish() = 0;
};

class TFileSink : public TByteSink {
public:
  // Creates the temporary "." + name + "." + 6 random characters in the
  // target's folder (permissions as for any new file); throws TRavelinError
  // "010 - File create error" when it cannot.
  explicit TFileSink(const std::string& target);
  ~TFileSink() override; // removes the temporary unless published
  TFileSink(const TFileSink&) = delete;
  TFileSink& operator=(const TFileSink&) = delete;

  bool Write(const void* data, size_t count) override;
  bool Seek(int64_t offset) override;
  // Flush, fsync and checked close of the temporary, then one rename onto the
  // target (replacing a file of that name in one step).
  bool Finish() override;

  const std::string& TemporaryName() const { return FTemporary; }

private:
  std::string FTarget;
  std::string FTemporary;
  std::FILE* FFile = nullptr;
  bool FPublished = false;
};

// The name a sink's temporary takes for target, before its random part:
// folder + "." + file name + ".". Folder scans never match it (it starts
// with a dot and does not end in an audio extension).
std::string TemporaryPrefix(const std::string& target);

} // namespace ravelin
