// The reader's parsing state and chunk walkers, shared by the RIFF/Wave64 and
// AIFF units. Internal to audio_io.
#pragma once

#include "wavReader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace ravelin {

[[noreturn]] void ThrowReaderError(const char* message);

inline constexpr const char* kErrNotRecognised = "001 - Not recognised as a supported file";
inline constexpr const char* kErrMalformed = "002 - File is formed incorrectly";
inline constexpr const char* kErrOpen = "007 - File open error";
inline constexpr const char* kErrRead = "008 - File read error";
inline constexpr const char* kErrExtensible = "009 - Unsupported extensible wave format";
[[noreturn]] void ThrowUnsupportedTag(uint32_t tag);
[[noreturn]] void ThrowChannelCount(int64_t channels);
[[noreturn]] void ThrowFloatDepth(int64_t bits);
[[noreturn]] void ThrowPcmDepth(int64_t bits);

// Refuses a sample rate (a NaN too) outside the supported range.
inline void CheckSampleRate(long double rate) {
  if (!(rate >= TWAVReader::MinSampleRate && rate <= TWAVReader::MaxSampleRate))
    ThrowReaderError(kErrNotRecognised);
}

// A chunk found by a walk: identifier (four characters), body offset and length.
struct TChunk {
  std::array<char, 4> Id{};
  int64_t BodyStart = 0;
  int64_t BodyLength = 0;
  int64_t Next = 0; // offset of the following chunk (padding included)

  bool Is(const char (&id)[5]) const { return std::equal(Id.begin(), Id.end(), id); }
};

struct TWAVReader::TParser {
  TWAVReader& R;

  explicit TParser(TWAVReader& reader) : R(reader) {}

  // Byte access: every read and seek keeps Position and Remaining current.
  void MeasureSize();
  void SeekTo(int64_t offset);
  void ReadBytes(void* dest, int64_t count);
  template <std::size_t N> std::array<uint8_t, N> Read() {
    std::array<uint8_t, N> bytes{};
    ReadBytes(bytes.data(), N);
    return bytes;
  }
  bool Fits(int64_t count) const { return R.FRemaining >= count; }
  std::string ReadText(int64_t count);

  void Recognise();
  void CheckFormat() const;

  // RIFF and Wave64 (wide chunks).
  void WalkRiff(int64_t size);
  bool NextChunk(int64_t& size, TChunk& chunk);
  void ParseFormat(const TChunk& chunk);
  void ParseData(const TChunk& chunk);
  void ParseList(const TChunk& chunk);
  void ParseSampler(const TChunk& chunk);

  // AIFF and AIFF-C.
  void WalkAiff(int64_t size);
  void ParseComm(int64_t length, bool aifc);
  int32_t ParseCompression();
  // Returns how many bytes of sound data the chunk and the file hold.
  int64_t ParseSsnd(int64_t length);
};

} // namespace ravelin
