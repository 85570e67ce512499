// Audio file reader: RIFF/WAVE (and Broadcast WAVE), Wave64, AIFF and AIFF-C.
// Recognises the container, validates the format, locates the sample data and
// delivers planar single-precision samples scaled to -1 .. +1. Keeps the INFO
// texts, the product tag and the sampler chunk for the WAV writer.
// Every failure throws TRavelinError with a numbered message
// ("001 - Not recognised as a supported file" .. "009 - ...").
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ravelin {

// Byte-source seam: the reader parses through it, so tests and the fuzzer can
// read from memory.
class TByteSource {
public:
  virtual ~TByteSource() = default;
  // Length in bytes; -1 when it cannot be measured.
  virtual int64_t Size() = 0;
  // False when the position cannot be set.
  virtual bool Seek(int64_t offset) = 0;
  // Reads up to count bytes; returns the number read (0 at the end, -1 on error).
  virtual int64_t Read(void* dest, int64_t count) = 0;
};

// Opens a file read-only; nullptr when it cannot be opened.
std::unique_ptr<TByteSource> OpenFileSource(const std::string& fileName);
// A source over a copy of the given bytes.
std::unique_ptr<TByteSource> MemorySource(std::vector<uint8_t> bytes);

// One loop record of a sampler chunk, six little-endian 32-bit fields.
struct TSamplerLoop {
  uint32_t CuePointId = 0;
  uint32_t Type = 0;
  uint32_t Start = 0;
  uint32_t End = 0;
  uint32_t Fraction = 0;
  uint32_t PlayCount = 0;
};

class TWAVReader {
public:
  static constexpr int32_t MaxChannels = 16;
  // Supported sample rates (Hz, inclusive) of every container; a file with a
  // rate outside them is refused with "001 - Not recognised as a supported file".
  static constexpr int32_t MinSampleRate = 1;
  static constexpr int32_t MaxSampleRate = 10000000;

  // Opens and parses the file ("007 - File open error" if it cannot be opened).
  explicit TWAVReader(const std::string& fileName);
  // Parses an already opened source (tests, fuzzer); FileName is empty.
  explicit TWAVReader(std::unique_ptr<TByteSource> source);
  ~TWAVReader();
  TWAVReader(const TWAVReader&) = delete;
  TWAVReader& operator=(const TWAVReader&) = delete;

  // Closes a file still open and parses a new one.
  void Open(const std::string& fileName);
  // Fills channels[c][0 .. frameCount-1] for every channel from the current
  // position and advances it. The caller must not ask for more than
  // FrameCount() frames in all. "008 - File read error" when the file ends.
  void ReadFrames(float* const* channels, int32_t frameCount);
  // Gives up the file; every field stays readable.
  void Close();

  const std::string& FileName() const { return FFileName; }
  bool IsOpen() const { return FSource != nullptr; }
  int32_t FormatKind() const { return FFormatKind; } // 1 PCM, 3 IEEE float
  int32_t Channels() const { return FChannels; }
  int32_t SampleRate() const { return FSampleRate; }
  int32_t BlockAlign() const { return FBlockAlign; }
  int32_t BitsPerSample() const { return FBitsPerSample; }
  uint32_t ChannelMask() const { return FChannelMask; }
  int64_t DataStart() const { return FDataStart; }
  int64_t DataLength() const { return FDataLength; }
  int64_t FrameCount() const { return FFrameCount; }
  bool BigEndian() const { return FBigEndian; }

  const std::string& InfoName() const { return FInfoName; }
  const std::string& InfoCopyright() const { return FInfoCopyright; }
  const std::string& InfoEngineer() const { return FInfoEngineer; }
  const std::string& InfoComment() const { return FInfoComment; }
  const std::string& ProductTag() const { return FProductTag; }
  void SetProductTag(std::string tag) { FProductTag = std::move(tag); }

  bool HasSampler() const { return FHasSampler; }
  // Fixed 36-byte part of the "smpl" chunk, byte for byte (nine LE int32:
  // manufacturer, product, sample period, unity note, pitch fraction, SMPTE
  // format, SMPTE offset, loop count (signed), sampler data size).
  const std::array<uint8_t, 36>& SamplerHeader() const { return FSamplerHeader; }
  const std::vector<TSamplerLoop>& SamplerLoops() const { return FSamplerLoops; }

private:
  // Implementation state; the parser lives in the .cpp files.
  struct TParser;
  friend struct TParser;

  // Recognises and walks FSource; on failure closes it and rethrows.
  void Parse();

  std::string FFileName;
  std::unique_ptr<TByteSource> FSource;
  int64_t FFileSize = 0;
  int64_t FPosition = 0;
  int64_t FRemaining = 0;
  int32_t FFormatKind = 0;
  int32_t FChannels = 0;
  int32_t FSampleRate = 0;
  int32_t FBlockAlign = 0;
  int32_t FBitsPerSample = 0;
  uint32_t FChannelMask = 0;
  int64_t FDataStart = 0;
  int64_t FDataLength = 0;
  int64_t FFrameCount = 0;
  bool FBigEndian = false;
  bool FSignedBytes = false; // 8-bit samples are signed (AIFF), else unsigned
  bool FWideChunks = false;
  bool FFormatSeen = false;
  bool FDataSeen = false;
  std::string FInfoName, FInfoCopyright, FInfoEngineer, FInfoComment, FProductTag;
  std::array<uint8_t, 36> FSamplerHeader{};
  std::vector<TSamplerLoop> FSamplerLoops;
  bool FHasSampler = false;
  std::vector<uint8_t> FWorkBuffer; // raw bytes of one read step
};

} // namespace ravelin
