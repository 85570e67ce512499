// TWAVReader: construction, byte access, container recognition and the sample
// decoders. The chunk walkers live in riffReader.cpp and aiffReader.cpp.
#include "wavReader.h"

#include "byteOrder.h"
#include "errors.h"
#include "readerParser.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

namespace ravelin {

namespace {

// Bytes of one read step; a step never needs more.
constexpr int32_t kStepBytes = 65536;

// {66666972-912E-11CF-A5D6-28DB04C10000} as stored in a Wave64 file.
constexpr std::array<uint8_t, 16> kWave64Riff = {0x72, 0x69, 0x66, 0x66, 0x2E, 0x91, 0xCF, 0x11,
                                                 0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};

std::string Formatted(const char* format, int64_t value) {
  char text[64];
  std::snprintf(text, sizeof text, format, static_cast<long long>(value));
  return text;
}

// Sample decoders: one sample at p to a float in -1 .. +1 (floats pass as stored).
struct TUnsigned8 {
  static constexpr int Bytes = 1;
  static float Decode(const uint8_t* p) {
    return static_cast<float>(static_cast<int8_t>(p[0] ^ 0x80)) * 0x1p-7f;
  }
};
struct TSigned8 {
  static constexpr int Bytes = 1;
  static float Decode(const uint8_t* p) { return static_cast<float>(static_cast<int8_t>(p[0])) * 0x1p-7f; }
};
template <bool Big> struct TInt16 {
  static constexpr int Bytes = 2;
  static float Decode(const uint8_t* p) {
    const uint16_t u = Big ? byteorder::BE16(p) : byteorder::LE16(p);
    return static_cast<float>(static_cast<int16_t>(u)) * 0x1p-15f;
  }
};
template <bool Big> struct TInt24 {
  static constexpr int Bytes = 3;
  static float Decode(const uint8_t* p) {
    const uint32_t u = Big ? (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8)
                           : (uint32_t{p[2]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[0]} << 8);
    return static_cast<float>(static_cast<int32_t>(u) >> 8) * 0x1p-23f;
  }
};
template <bool Big> struct TInt32 {
  static constexpr int Bytes = 4;
  static float Decode(const uint8_t* p) {
    const uint32_t u = Big ? byteorder::BE32(p) : byteorder::LE32(p);
    return static_cast<float>(static_cast<int32_t>(u)) * 0x1p-31f;
  }
};
template <bool Big> struct TFloat32 {
  static constexpr int Bytes = 4;
  static float Decode(const uint8_t* p) {
    return std::bit_cast<float>(Big ? byteorder::BE32(p) : byteorder::LE32(p));
  }
};
template <bool Big> struct TFloat64 {
  static constexpr int Bytes = 8;
  static float Decode(const uint8_t* p) {
    return static_cast<float>(std::bit_cast<double>(Big ? byteorder::BE64(p) : byteorder::LE64(p)));
  }
};

// Decodes `frames` interleaved frames of `blockAlign` bytes into the planar
// buffers at index `done`; channel c starts c samples into each frame.
using TDecodeStep = void (*)(const uint8_t* src, int32_t frames, int32_t blockAlign, int32_t channels,
                             float* const* dest, int64_t done);

template <typename TSample>
void DecodeStep(const uint8_t* src, int32_t frames, int32_t blockAlign, int32_t channels, float* const* dest,
                int64_t done) {
  for (int32_t c = 0; c < channels; ++c) {
    const uint8_t* p = src + c * TSample::Bytes;
    float* out = dest[c] + done;
    for (int32_t f = 0; f < frames; ++f, p += blockAlign)
      out[f] = TSample::Decode(p);
  }
}

template <bool Big> TDecodeStep SelectWide(int32_t bits, int32_t kind) {
  switch (bits) {
  case 16: return DecodeStep<TInt16<Big>>;
  case 24: return DecodeStep<TInt24<Big>>;
  case 32: return kind == 3 ? DecodeStep<TFloat32<Big>> : DecodeStep<TInt32<Big>>;
  default: return DecodeStep<TFloat64<Big>>; // 64-bit IEEE double, the only other width accepted
  }
}

} // namespace

void ThrowReaderError(const char* message) {
  throw TRavelinError(message);
}
void ThrowUnsupportedTag(uint32_t tag) {
  throw TRavelinError(Formatted("003 - Unsupported tag %.4llXh", tag));
}
void ThrowChannelCount(int64_t channels) {
  throw TRavelinError(Formatted("004 - Unsupported channel count %lld", channels));
}
void ThrowFloatDepth(int64_t bits) {
  throw TRavelinError(Formatted("005 - Unsupported IEEE FP bitdepth %lld", bits));
}
void ThrowPcmDepth(int64_t bits) {
  throw TRavelinError(Formatted("006 - Unsupported PCM bitdepth %lld", bits));
}

TWAVReader::TWAVReader(const std::string& fileName) : FWorkBuffer(kStepBytes) {
  Open(fileName);
}

TWAVReader::TWAVReader(std::unique_ptr<TByteSource> source) : FWorkBuffer(kStepBytes) {
  if (!source)
    ThrowReaderError(kErrOpen);
  FSource = std::move(source);
  Parse();
}

TWAVReader::~TWAVReader() = default;

void TWAVReader::Open(const std::string& fileName) {
  Close();
  FFileName = fileName;
  FSource = OpenFileSource(fileName);
  if (!FSource)
    ThrowReaderError(kErrOpen);
  Parse();
}

void TWAVReader::Parse() {
  try {
    TParser(*this).Recognise();
  } catch (...) {
    Close();
    throw;
  }
}

void TWAVReader::Close() {
  FSource.reset();
}

void TWAVReader::ReadFrames(float* const* channels, int32_t frameCount) {
  if (frameCount <= 0)
    return;
  if (!FSource)
    ThrowReaderError(kErrRead);
  TDecodeStep decode;
  if (FBitsPerSample == 8)
    decode = FSignedBytes ? DecodeStep<TSigned8> : DecodeStep<TUnsigned8>;
  else
    decode = FBigEndian ? SelectWide<true>(FBitsPerSample, FFormatKind)
                        : SelectWide<false>(FBitsPerSample, FFormatKind);
  const int32_t framesPerStep = kStepBytes / FBlockAlign;
  TParser parser(*this);
  for (int64_t done = 0; done < frameCount;) {
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(framesPerStep, frameCount - done));
    parser.ReadBytes(FWorkBuffer.data(), int64_t{n} * FBlockAlign);
    decode(FWorkBuffer.data(), n, FBlockAlign, FChannels, channels, done);
    done += n;
  }
}

// ---- byte access -------------------------------------------------------------

void TWAVReader::TParser::MeasureSize() {
  R.FFileSize = R.FSource->Size();
  if (R.FFileSize < 0)
    ThrowReaderError(kErrRead);
}

void TWAVReader::TParser::SeekTo(int64_t offset) {
  if (!R.FSource->Seek(offset))
    ThrowReaderError(kErrRead);
  R.FPosition = offset;
  R.FRemaining = R.FFileSize - offset;
}

void TWAVReader::TParser::ReadBytes(void* dest, int64_t count) {
  auto* out = static_cast<uint8_t*>(dest);
  for (int64_t done = 0; done < count;) {
    const int64_t got = R.FSource ? R.FSource->Read(out + done, count - done) : -1;
    if (got <= 0)
      ThrowReaderError(kErrRead);
    done += got;
    R.FPosition += got;
    R.FRemaining -= got;
  }
}

std::string TWAVReader::TParser::ReadText(int64_t count) {
  std::string text(static_cast<std::size_t>(count), '\0');
  ReadBytes(text.data(), count);
  return text;
}

// ---- recognition -------------------------------------------------------------

void TWAVReader::TParser::Recognise() {
  R.FHasSampler = false;
  R.FSamplerHeader = {};
  R.FSamplerLoops.clear();
  R.FFormatSeen = R.FDataSeen = false;
  for (std::string* text :
       {&R.FInfoName, &R.FInfoCopyright, &R.FInfoEngineer, &R.FInfoComment, &R.FProductTag})
    text->clear();
  R.FWideChunks = R.FBigEndian = R.FSignedBytes = false;
  R.FChannelMask = 0;
  R.FDataStart = R.FDataLength = R.FFrameCount = 0;

  MeasureSize();
  SeekTo(0);
  const auto head = Read<8>();
  if (std::memcmp(head.data(), "RIFF", 4) == 0) {
    WalkRiff(byteorder::LE32(head.data() + 4));
  } else if (std::memcmp(head.data(), "FORM", 4) == 0) {
    R.FBigEndian = R.FSignedBytes = true;
    WalkAiff(byteorder::BE32(head.data() + 4));
  } else if (std::memcmp(head.data(), "riff", 4) == 0) {
    SeekTo(0);
    const auto wide = Read<24>();
    if (std::equal(kWave64Riff.begin(), kWave64Riff.end(), wide.begin())) {
      R.FWideChunks = true;
      // The size counts the 24-byte header; sizes beyond int64 are as good as unbounded.
      const uint64_t size = std::min<uint64_t>(byteorder::LE64(wide.data() + 16), INT64_MAX);
      WalkRiff(static_cast<int64_t>(size) - 24);
    }
  } else {
    ThrowReaderError(kErrNotRecognised);
  }
  if (!R.FFormatSeen || !R.FDataSeen)
    ThrowReaderError(kErrMalformed);
  CheckFormat();
  R.FFrameCount = R.FDataLength / R.FBlockAlign;
  SeekTo(R.FDataStart);
}

// Refuses widths without a decoder (they would leave the caller's buffers
// stale) and frames too small for their samples (0 included).
void TWAVReader::TParser::CheckFormat() const {
  const int32_t bits = R.FBitsPerSample;
  if (R.FBlockAlign == 0)
    ThrowReaderError(kErrMalformed);
  if (R.FFormatKind == 3) {
    if (bits != 32 && bits != 64)
      ThrowFloatDepth(bits);
  } else if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    ThrowPcmDepth(bits);
  }
  if (R.FBlockAlign < R.FChannels * (bits / 8))
    ThrowReaderError(kErrMalformed);
}

} // namespace ravelin
