// RIFF/WAVE and Wave64 chunk walk: format, data, LIST/INFO and sampler chunks.
#include "byteOrder.h"
#include "readerParser.h"

#include <algorithm>
#include <cstring>

namespace ravelin {

namespace {

// Sub-format GUIDs of an extensible header, as stored in the file.
constexpr std::array<uint8_t, 16> kSubtypePcm = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr std::array<uint8_t, 16> kSubtypeFloat = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                   0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

constexpr uint16_t kTagPcm = 1;
constexpr uint16_t kTagFloat = 3;
constexpr uint16_t kTagExtensible = 0xFFFE;

// Four-character code of a chunk identifier. Wave64 identifiers are reduced to
// their first four bytes, with the form and wave-type identifiers ("riff",
// "wave") mapped to their RIFF names.
std::array<char, 4> FourCC(const uint8_t* id, bool wide) {
  std::array<char, 4> code{};
  std::memcpy(code.data(), id, 4);
  if (wide && std::memcmp(id, "riff", 4) == 0)
    std::memcpy(code.data(), "RIFF", 4);
  else if (wide && std::memcmp(id, "wave", 4) == 0)
    std::memcpy(code.data(), "WAVE", 4);
  return code;
}

} // namespace

void TWAVReader::TParser::WalkRiff(int64_t size) {
  const int64_t typeBytes = R.FWideChunks ? 16 : 4;
  if (!Fits(typeBytes))
    return;
  std::array<uint8_t, 16> type{};
  ReadBytes(type.data(), typeBytes);
  if (FourCC(type.data(), R.FWideChunks) != std::array<char, 4>{'W', 'A', 'V', 'E'})
    return;
  size -= typeBytes;
  TChunk chunk;
  while (size > 0 && NextChunk(size, chunk)) {
    if (chunk.Is("fmt "))
      ParseFormat(chunk);
    else if (chunk.Is("data"))
      ParseData(chunk);
    else if (chunk.Is("LIST"))
      ParseList(chunk);
    else if (chunk.Is("smpl"))
      ParseSampler(chunk);
    SeekTo(chunk.Next);
  }
}

// Reads the next chunk header. False (the walk ends) when the header or the
// body does not fit in the file, or a Wave64 length is shorter than its header.
bool TWAVReader::TParser::NextChunk(int64_t& size, TChunk& chunk) {
  int64_t header, body, pad;
  if (R.FWideChunks) {
    if (!Fits(24))
      return false;
    const auto h = Read<24>();
    chunk.Id = FourCC(h.data(), true);
    const uint64_t length = byteorder::LE64(h.data() + 16);
    if (length < 24 || length - 24 > static_cast<uint64_t>(R.FRemaining))
      return false;
    header = 24;
    body = static_cast<int64_t>(length - 24);
    pad = static_cast<int64_t>((8 - length % 8) % 8);
  } else {
    if (!Fits(8))
      return false;
    const auto h = Read<8>();
    chunk.Id = FourCC(h.data(), false);
    body = byteorder::LE32(h.data() + 4);
    if (body > R.FRemaining)
      return false;
    header = 8;
    pad = body & 1;
  }
  chunk.BodyStart = R.FPosition;
  chunk.BodyLength = body;
  chunk.Next = chunk.BodyStart + body + pad;
  size -= header + body + pad;
  return true;
}

void TWAVReader::TParser::ParseFormat(const TChunk& chunk) {
  if (R.FFormatSeen || chunk.BodyLength < 14)
    ThrowReaderError(kErrMalformed);
  const auto h = Read<14>();
  const uint16_t tag = byteorder::LE16(h.data());
  const uint16_t channels = byteorder::LE16(h.data() + 2);
  const uint32_t rate = byteorder::LE32(h.data() + 4);
  const uint16_t blockAlign = byteorder::LE16(h.data() + 12);
  const auto checkChannels = [&] {
    if (channels == 0 || channels > MaxChannels)
      ThrowChannelCount(channels);
  };
  switch (tag) {
  case kTagPcm: {
    const uint16_t bits = byteorder::LE16(Read<2>().data());
    checkChannels(); // before the container width divides by it
    if (bits == 0 || bits > 32)
      ThrowPcmDepth(bits);
    R.FBitsPerSample = blockAlign * 8 / channels; // the container width, not the field
    R.FFormatKind = 1;
    R.FChannelMask = 0;
    break;
  }
  case kTagFloat: {
    const uint16_t bits = byteorder::LE16(Read<2>().data());
    if (bits != 32 && bits != 64)
      ThrowFloatDepth(bits);
    R.FBitsPerSample = bits;
    R.FFormatKind = 3;
    R.FChannelMask = 0;
    break;
  }
  case kTagExtensible: {
    const auto ext = Read<4>();
    if (byteorder::LE16(ext.data() + 2) != 22)
      ThrowReaderError(kErrExtensible);
    const auto x = Read<22>();
    if (std::equal(kSubtypePcm.begin(), kSubtypePcm.end(), x.begin() + 6))
      R.FFormatKind = 1;
    else if (std::equal(kSubtypeFloat.begin(), kSubtypeFloat.end(), x.begin() + 6))
      R.FFormatKind = 3;
    else
      ThrowReaderError(kErrExtensible);
    R.FBitsPerSample = byteorder::LE16(ext.data());
    R.FChannelMask = byteorder::LE32(x.data() + 2);
    break;
  }
  default: ThrowUnsupportedTag(tag);
  }
  checkChannels();
  CheckSampleRate(rate);
  R.FChannels = channels;
  R.FSampleRate = static_cast<int32_t>(rate);
  R.FBlockAlign = blockAlign;
  R.FFormatSeen = true;
}

void TWAVReader::TParser::ParseData(const TChunk& chunk) {
  if (R.FDataSeen)
    ThrowReaderError(kErrMalformed);
  R.FDataStart = chunk.BodyStart;
  R.FDataLength = std::min(chunk.BodyLength, R.FRemaining);
  R.FDataSeen = true;
}

void TWAVReader::TParser::ParseList(const TChunk& chunk) {
  if (!Fits(4) || std::memcmp(Read<4>().data(), "INFO", 4) != 0)
    return;
  int64_t size = chunk.BodyLength - 4;
  TChunk sub;
  while (size > 0 && NextChunk(size, sub)) {
    std::string* field = sub.Is("INAM")   ? &R.FInfoName
                         : sub.Is("ICOP") ? &R.FInfoCopyright
                         : sub.Is("IENG") ? &R.FInfoEngineer
                         : sub.Is("ICMT") ? &R.FInfoComment
                         : sub.Is("QRVT") ? &R.FProductTag
                                          : nullptr;
    // The final byte is the terminating zero; an empty sub-chunk has none.
    if (field)
      *field = ReadText(std::max<int64_t>(sub.BodyLength - 1, 0));
    SeekTo(sub.Next);
  }
}

void TWAVReader::TParser::ParseSampler(const TChunk& chunk) {
  constexpr int64_t kHeaderBytes = 36, kLoopBytes = 24;
  if (chunk.BodyLength < kHeaderBytes || !Fits(kHeaderBytes))
    return;
  const auto header = Read<kHeaderBytes>();
  const auto count = static_cast<int32_t>(byteorder::LE32(header.data() + 28));
  std::vector<TSamplerLoop> loops;
  if (count > 0) {
    // Bounded by the file: 24 bytes per loop must remain.
    if (!Fits(kLoopBytes * count))
      return;
    std::vector<uint8_t> raw(static_cast<std::size_t>(kLoopBytes * count));
    ReadBytes(raw.data(), kLoopBytes * count);
    loops.resize(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < loops.size(); ++i) {
      const uint8_t* p = raw.data() + i * kLoopBytes;
      loops[i] = {byteorder::LE32(p),      byteorder::LE32(p + 4),  byteorder::LE32(p + 8),
                  byteorder::LE32(p + 12), byteorder::LE32(p + 16), byteorder::LE32(p + 20)};
    }
  }
  R.FSamplerHeader = header;
  R.FSamplerLoops = std::move(loops);
  R.FHasSampler = true;
}

} // namespace ravelin
