// TWAVWriter: header, interleaved sample packing, trailer chunks (sampler, INFO
// list) and the size patches.
#include "wavWriter32.h"

#include "byteOrder.h"
#include "errors.h"
#include "wavReader.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <utility>

namespace ravelin {

namespace {

constexpr int32_t kStepBytes = 65536;
constexpr const char* kErrCreate = "010 - File create error";
constexpr const char* kErrWrite = "011 - File write error";
// RIFF and data sizes are 32-bit: a file may end no later than this offset.
constexpr int64_t kMaxFileEnd = int64_t{UINT32_MAX} + 8;

constexpr uint8_t kSubtypeTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                      0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Growing little-endian byte block for headers and trailer chunks.
class TBytes {
public:
  void Text(const char* code, std::size_t n) { FBytes.insert(FBytes.end(), code, code + n); }
  void Code(const char (&code)[5]) { Text(code, 4); }
  void U16(uint32_t v) { Put<2>(v); }
  void U32(uint32_t v) { Put<4>(v); }
  void Zeros(std::size_t n) { FBytes.insert(FBytes.end(), n, 0); }
  const std::vector<uint8_t>& Bytes() const { return FBytes; }
  std::size_t Size() const { return FBytes.size(); }

private:
  template <int N> void Put(uint32_t v) {
    for (int i = 0; i < N; ++i)
      FBytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  std::vector<uint8_t> FBytes;
};

// Packs frames [done, done+n) of every channel into interleaved little-endian
// samples of `Bytes` bytes, the low bytes of each 32-bit word.
template <int Bytes>
void Pack(const float* const* channels, int32_t channelCount, int32_t blockAlign, int64_t done, int32_t n,
          uint8_t* out) {
  for (int32_t c = 0; c < channelCount; ++c) {
    const float* src = channels[c] + done;
    uint8_t* p = out + c * Bytes;
    for (int32_t f = 0; f < n; ++f, p += blockAlign) {
      uint32_t word;
      std::memcpy(&word, src + f, sizeof word);
      if constexpr (Bytes == 2)
        byteorder::PutLE16(p, word);
      else if constexpr (Bytes == 3)
        byteorder::PutLE24(p, word);
      else
        byteorder::PutLE32(p, word);
    }
  }
}

// A loop point rescaled from the source's rate to the output's, rounded to
// the nearest frame (ties to even) and kept inside the written frames.
uint32_t RescaledLoopPoint(uint32_t stored, int32_t rate, int32_t sourceRate, int64_t framesWritten) {
  long double value = static_cast<int32_t>(stored);
  if (sourceRate != 0) // a rate of 0 gives no scale: the point is kept
    value = std::nearbyint(value * rate / sourceRate);
  value = std::clamp<long double>(value, INT32_MIN, INT32_MAX);
  int64_t point = static_cast<int64_t>(value);
  if (point >= framesWritten)
    point = framesWritten - 1;
  return static_cast<uint32_t>(point);
}

void AppendSampler(TBytes& out, const TWAVReader& source, int32_t rate, int64_t framesWritten) {
  // The loop count written is the number of loop records kept, so a negative
  // count in the source yields a consistent chunk without loops.
  const auto& loops = source.SamplerLoops();
  std::array<uint8_t, 36> header = source.SamplerHeader();
  byteorder::PutLE32(header.data() + 28, static_cast<uint32_t>(loops.size()));
  out.Code("smpl");
  out.U32(static_cast<uint32_t>(36 + 24 * loops.size()));
  out.Text(reinterpret_cast<const char*>(header.data()), header.size());
  for (const TSamplerLoop& loop : loops) {
    out.U32(loop.CuePointId);
    out.U32(loop.Type);
    out.U32(RescaledLoopPoint(loop.Start, rate, source.SampleRate(), framesWritten));
    out.U32(RescaledLoopPoint(loop.End, rate, source.SampleRate(), framesWritten));
    out.U32(loop.Fraction);
    out.U32(loop.PlayCount);
  }
}

void AppendInfo(TBytes& out, const TWAVReader& source) {
  TBytes subs;
  const std::pair<const char*, const std::string*> texts[] = {{"INAM", &source.InfoName()},
                                                              {"ICOP", &source.InfoCopyright()},
                                                              {"IENG", &source.InfoEngineer()},
                                                              {"ICMT", &source.InfoComment()},
                                                              {"QRVT", &source.ProductTag()}};
  for (const auto& [code, text] : texts) {
    if (text->empty())
      continue;
    const std::size_t length = text->size() + 1;
    subs.Text(code, 4);
    subs.U32(static_cast<uint32_t>(length));
    subs.Text(text->data(), text->size());
    subs.Zeros(1 + (length & 1));
  }
  if (subs.Size() == 0)
    return;
  out.Code("LIST");
  out.U32(static_cast<uint32_t>(4 + subs.Size()));
  out.Code("INFO");
  out.Text(reinterpret_cast<const char*>(subs.Bytes().data()), subs.Size());
}

} // namespace

TWAVWriter::TWAVWriter() : FWorkBuffer(kStepBytes) {}

TWAVWriter::~TWAVWriter() = default;

void TWAVWriter::Open(const std::string& fileName, std::unique_ptr<TByteSink> sink) {
  Close();
  CheckFormat();
  FSink = sink ? std::move(sink) : std::make_unique<TFileSink>(fileName);
  FFileName = fileName;
  FPosition = 0;
  FFramesWritten = 0;
  FTrailerBytes = static_cast<int64_t>(Trailer().size());
  try {
    WriteHeader();
  } catch (...) {
    FSink.reset();
    throw;
  }
}

void TWAVWriter::CheckFormat() const {
  const bool valid =
      (FormatKind == 1 && (BitsPerSample == 16 || BitsPerSample == 24 || BitsPerSample == 32)) ||
      (FormatKind == 3 && BitsPerSample == 32);
  if (!valid || Channels < 1 || Channels > 16 || BlockAlign != Channels * BitsPerSample / 8)
    throw TRavelinError(kErrCreate);
}

void TWAVWriter::WriteHeader() {
  const bool extensible = Source && Source->ChannelMask() != 0;
  TBytes h;
  h.Code("RIFF");
  h.U32(0); // patched by Close
  h.Code("WAVE");
  h.Code("fmt ");
  h.U32(extensible ? 40 : 16);
  h.U16(extensible ? 0xFFFE : static_cast<uint32_t>(FormatKind));
  h.U16(static_cast<uint32_t>(Channels));
  h.U32(static_cast<uint32_t>(SampleRate));
  h.U32(static_cast<uint32_t>(BlockAlign) * static_cast<uint32_t>(SampleRate));
  h.U16(static_cast<uint32_t>(BlockAlign));
  h.U16(static_cast<uint32_t>(BitsPerSample));
  if (extensible) {
    h.U16(22);
    h.U16(static_cast<uint32_t>(BitsPerSample));
    h.U32(Source->ChannelMask());
    h.U16(static_cast<uint32_t>(FormatKind)); // sub-format GUID: type, then the fixed tail
    h.Text(reinterpret_cast<const char*>(kSubtypeTail), sizeof kSubtypeTail);
  }
  WriteBytes(h.Bytes().data(), static_cast<int64_t>(h.Size()));
  FDataHeaderPos = FPosition;
  WriteDataHeader();
}

void TWAVWriter::WriteDataHeader() {
  uint8_t h[8] = {'d', 'a', 't', 'a'};
  byteorder::PutLE32(h + 4, static_cast<uint32_t>(FFramesWritten * BlockAlign));
  WriteBytes(h, sizeof h);
}

bool TWAVWriter::WriteFrames(const float* const* channels, int32_t frameCount) {
  if (frameCount <= 0)
    return true;
  if (!FSink)
    throw TRavelinError(kErrWrite);
  // Refuse what would pass the 32-bit sizes before writing any of it.
  const int64_t dataBytes = (FFramesWritten + frameCount) * BlockAlign;
  if (FDataHeaderPos + 8 + dataBytes + (dataBytes & 1) + FTrailerBytes > kMaxFileEnd)
    throw TRavelinError(kErrWrite);
  const int32_t framesPerStep = kStepBytes / BlockAlign;
  for (int64_t done = 0; done < frameCount;) {
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(framesPerStep, frameCount - done));
    switch (BitsPerSample) {
    case 16: Pack<2>(channels, Channels, BlockAlign, done, n, FWorkBuffer.data()); break;
    case 24: Pack<3>(channels, Channels, BlockAlign, done, n, FWorkBuffer.data()); break;
    default: Pack<4>(channels, Channels, BlockAlign, done, n, FWorkBuffer.data()); break;
    }
    WriteBytes(FWorkBuffer.data(), int64_t{n} * BlockAlign);
    FFramesWritten += n;
    done += n;
  }
  return true;
}

std::vector<uint8_t> TWAVWriter::Trailer() const {
  TBytes out;
  if (Source && Source->HasSampler())
    AppendSampler(out, *Source, SampleRate, FFramesWritten);
  if (Source)
    AppendInfo(out, *Source);
  return out.Bytes();
}

void TWAVWriter::Close() {
  if (!FSink)
    return;
  CompleteFile();
  const bool finished = FSink->Finish();
  FSink.reset();
  if (!finished)
    throw TRavelinError(kErrWrite);
}

void TWAVWriter::CompleteFile() {
  if ((FFramesWritten * BlockAlign) & 1) {
    const uint8_t pad = 0;
    WriteBytes(&pad, 1);
  }
  const std::vector<uint8_t> trailer = Trailer();
  if (FPosition + static_cast<int64_t>(trailer.size()) > kMaxFileEnd)
    Abandon();
  WriteBytes(trailer.data(), static_cast<int64_t>(trailer.size()));
  const int64_t end = FPosition;
  SeekTo(0);
  uint8_t riff[8] = {'R', 'I', 'F', 'F'};
  byteorder::PutLE32(riff + 4, static_cast<uint32_t>(end - 8));
  WriteBytes(riff, sizeof riff);
  SeekTo(FDataHeaderPos);
  WriteDataHeader();
}

void TWAVWriter::Abandon() {
  FSink.reset();
  throw TRavelinError(kErrWrite);
}

void TWAVWriter::SeekTo(int64_t offset) {
  if (!FSink->Seek(offset))
    Abandon();
  FPosition = offset;
}

void TWAVWriter::WriteBytes(const void* source, int64_t count) {
  if (count == 0)
    return;
  if (!FSink->Write(source, static_cast<std::size_t>(count)))
    Abandon();
  FPosition += count;
}

} // namespace ravelin
