// File and memory byte sources behind the reader's TByteSource seam.
#include "wavReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace ravelin {
namespace {

// A regular file opened read-only through POSIX descriptors (64-bit offsets).
class TFileSource final : public TByteSource {
public:
  explicit TFileSource(int fd) : FFd(fd) {}
  ~TFileSource() override { ::close(FFd); }
  TFileSource(const TFileSource&) = delete;
  TFileSource& operator=(const TFileSource&) = delete;

  int64_t Size() override {
    const off_t end = ::lseek(FFd, 0, SEEK_END);
    return end < 0 ? -1 : static_cast<int64_t>(end);
  }
  bool Seek(int64_t offset) override {
    return offset >= 0 && ::lseek(FFd, static_cast<off_t>(offset), SEEK_SET) == offset;
  }
  int64_t Read(void* dest, int64_t count) override {
    ssize_t got;
    do {
      got = ::read(FFd, dest, static_cast<size_t>(count));
    } while (got < 0 && errno == EINTR);
    return static_cast<int64_t>(got);
  }

private:
  int FFd;
};

class TMemorySource final : public TByteSource {
public:
  explicit TMemorySource(std::vector<uint8_t> bytes) : FBytes(std::move(bytes)) {}

  int64_t Size() override { return static_cast<int64_t>(FBytes.size()); }
  // Like a file, a position past the end may be set; reads there return 0.
  bool Seek(int64_t offset) override {
    if (offset < 0)
      return false;
    FPosition = offset;
    return true;
  }
  int64_t Read(void* dest, int64_t count) override {
    const int64_t size = Size();
    if (FPosition >= size || count <= 0)
      return 0;
    const int64_t n = std::min(count, size - FPosition);
    std::memcpy(dest, FBytes.data() + FPosition, static_cast<size_t>(n));
    FPosition += n;
    return n;
  }

private:
  std::vector<uint8_t> FBytes;
  int64_t FPosition = 0;
};

} // namespace

std::unique_ptr<TByteSource> OpenFileSource(const std::string& fileName) {
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<TFileSource>(fd);
}

std::unique_ptr<TByteSource> MemorySource(std::vector<uint8_t> bytes) {
  return std::make_unique<TMemorySource>(std::move(bytes));
}

} // namespace ravelin
