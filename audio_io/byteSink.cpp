#include "byteSink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <utility>

#include "errors.h"

namespace ravelin {

namespace {

constexpr int kNameAttempts = 64;

std::string RandomPart() {
  static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937 generator{std::random_device{}()};
  std::uniform_int_distribution<size_t> pick(0, sizeof kAlphabet - 2);
  std::string part(6, ' ');
  for (char& c : part)
    c = kAlphabet[pick(generator)];
  return part;
}

// Makes a rename in folder durable; best effort, the file itself is synced.
void SyncFolder(const std::string& target) {
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return;
  ::fsync(fd);
  ::close(fd);
}

} // namespace

std::string TemporaryPrefix(const std::string& target) {
  const size_t slash = target.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  return target.substr(0, nameStart) + "." + target.substr(nameStart) + ".";
}

TFileSink::TFileSink(const std::string& target) : FTarget(target) {
  const std::string prefix = TemporaryPrefix(target);
  for (int attempt = 0; attempt < kNameAttempts && !FFile; ++attempt) {
    std::string name = prefix + RandomPart();
    // 0666 before the umask, as for a file made by fopen.
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST)
        continue;
      break;
    }
    FFile = ::fdopen(fd, "wb");
    if (!FFile) {
      ::close(fd);
      ::unlink(name.c_str());
      break;
    }
    FTemporary = std::move(name);
  }
  if (!FFile)
    throw TRavelinError("010 - File create error");
}

TFileSink::~TFileSink() {
  if (FFile)
    std::fclose(FFile);
  if (!FPublished)
    ::unlink(FTemporary.c_str());
}

bool TFileSink::Write(const void* data, size_t count) {
  return FFile && std::fwrite(data, 1, count, FFile) == count;
}

bool TFileSink::Seek(int64_t offset) {
  return FFile && ::fseeko(FFile, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool TFileSink::Finish() {
  if (!FFile)
    return false;
  bool ok = std::fflush(FFile) == 0;
  ok = ::fsync(::fileno(FFile)) == 0 && ok;
  ok = std::fclose(std::exchange(FFile, nullptr)) == 0 && ok;
  if (!ok || std::rename(FTemporary.c_str(), FTarget.c_str()) != 0)
    return false;
  FPublished = true;
  SyncFolder(FTarget);
  return true;
}

} // namespace ravelin
