// WAV writer: RIFF/WAVE with 16/24/32-bit integer or 32-bit float samples from
// planar 32-bit channel arrays, the source's sampler chunk and INFO list
// (including the "QRVT" product tag). Sizes are patched on Close, and only a
// successful Close makes the file appear under its name (see byteSink.h).
// Failures throw TRavelinError: "010 - File create error", "011 - File write error".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "byteSink.h"

namespace ravelin {

class TWAVReader;

class TWAVWriter {
public:
  TWAVWriter();
  // A file still open is abandoned: nothing appears under its name. Only
  // Close completes a file.
  ~TWAVWriter();
  TWAVWriter(const TWAVWriter&) = delete;
  TWAVWriter& operator=(const TWAVWriter&) = delete;

  // Set by the caller before Open; the writer never derives one from another.
  int32_t FormatKind = 0; // 1 PCM, 3 IEEE float
  int32_t Channels = 0;
  int32_t SampleRate = 0;
  int32_t BitsPerSample = 0; // 16, 24 or 32 (32 for float)
  int32_t BlockAlign = 0;    // Channels * BitsPerSample / 8
  // Metadata source, not owned; must stay alive (it may be closed) until Close.
  const TWAVReader* Source = nullptr;

  // Starts the file (a temporary until Close) and writes the header. A file
  // of that name is replaced only by a successful Close. A file still open is
  // closed first. The bytes go to sink when one is given (tests make its
  // steps fail), else to a TFileSink for fileName.
  void Open(const std::string& fileName, std::unique_ptr<TByteSink> sink = nullptr);
  // Writes frames 0 .. frameCount-1 of every channel. Each element is a 32-bit
  // word: a right-aligned signed integer code for PCM (low 16/24/32 bits taken
  // as they are), or an IEEE single copied bit for bit for float.
  bool WriteFrames(const float* const* channels, int32_t frameCount);
  // Pad byte, sampler chunk, INFO list, size patches, then the sink's Finish
  // (flush, close, rename into place). No-op when closed. On failure the file
  // is abandoned and "011 - File write error" thrown.
  void Close();

  const std::string& FileName() const { return FFileName; }
  bool IsOpen() const { return FSink != nullptr; }
  int64_t FramesWritten() const { return FFramesWritten; }

private:
  std::string FFileName;
  std::unique_ptr<TByteSink> FSink;
  int64_t FPosition = 0;
  int64_t FDataHeaderPos = 0;
  int64_t FFramesWritten = 0;
  std::vector<uint8_t> FWorkBuffer; // interleaved bytes of one write step
  int64_t FTrailerBytes = 0;        // sampler and INFO bytes Close will append

  void CheckFormat() const;
  void WriteHeader();
  void WriteDataHeader();
  // The sampler chunk and INFO list taken from Source (empty without one).
  std::vector<uint8_t> Trailer() const;
  void SeekTo(int64_t offset);
  void WriteBytes(const void* source, int64_t count);
  void CompleteFile();
  // Gives the file up (nothing appears under its name) and throws the write error.
  [[noreturn]] void Abandon();
};

} // namespace ravelin
