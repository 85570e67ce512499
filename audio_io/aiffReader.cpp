// AIFF and AIFF-C chunk walk: COMM, SSND and the text chunks, filling the same
// reader fields as the RIFF walk.
#include "byteOrder.h"
#include "readerParser.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ravelin {

namespace {

// The 80-bit extended sample rate (sign, 15-bit exponent, 64-bit mantissa with
// explicit integer bit) rounded to the nearest integer, ties to even. An
// infinity or NaN is malformed; a rate that rounds to one outside the
// supported range (zero or negative ones included) is refused.
int32_t ExtendedRate(const uint8_t* p) {
  const bool negative = (p[0] & 0x80) != 0;
  const int exponent = ((p[0] & 0x7F) << 8) | p[1];
  const uint64_t mantissa = byteorder::BE64(p + 2);
  if (exponent == 0x7FFF)
    ThrowReaderError(kErrMalformed);
  // Exponents this far out give 0 or overflow; clamping keeps ldexp finite.
  const int scale = std::clamp(exponent - 16383 - 63, -200, 200);
  long double rate = std::nearbyint(std::ldexp(static_cast<long double>(mantissa), scale));
  if (negative)
    rate = -rate;
  CheckSampleRate(rate);
  return static_cast<int32_t>(rate);
}

bool IsCode(const uint8_t* p, const char (&code)[5]) {
  return std::memcmp(p, code, 4) == 0;
}

} // namespace

void TWAVReader::TParser::ParseComm(int64_t length, bool aifc) {
  if (R.FFormatSeen || length < 18 || (aifc && length < 23))
    ThrowReaderError(kErrMalformed);
  const auto b = Read<18>();
  const auto channels = static_cast<int16_t>(byteorder::BE16(b.data()));
  const uint32_t frames = byteorder::BE32(b.data() + 2);
  const auto bits = static_cast<int16_t>(byteorder::BE16(b.data() + 6));
  if (channels < 1 || channels > MaxChannels)
    ThrowChannelCount(channels);
  if (bits < 1 || bits > 64)
    ThrowPcmDepth(bits);
  R.FBitsPerSample = (bits + 7) & ~7;
  R.FChannelMask = 0;
  R.FSampleRate = ExtendedRate(b.data() + 8);
  R.FChannels = channels;
  R.FBlockAlign = channels * R.FBitsPerSample / 8;
  R.FFormatKind = aifc ? ParseCompression() : 1;
  R.FDataLength = int64_t{frames} * R.FBlockAlign;
  R.FFormatSeen = true;
}

// Compression type of an AIFF-C COMM: the float types, or integer PCM in
// either byte order; compressed types are refused.
int32_t TWAVReader::TParser::ParseCompression() {
  const auto c = Read<5>();
  if (IsCode(c.data(), "fl32") || IsCode(c.data(), "FL32") || IsCode(c.data(), "fl64") ||
      IsCode(c.data(), "FL64"))
    return 3;
  if (IsCode(c.data(), "sowt")) {
    R.FBigEndian = false;
    return 1;
  }
  if (IsCode(c.data(), "NONE") || IsCode(c.data(), "twos"))
    return 1;
  ThrowReaderError(kErrNotRecognised);
}

int64_t TWAVReader::TParser::ParseSsnd(int64_t length) {
  if (R.FDataSeen || length < 8)
    ThrowReaderError(kErrMalformed);
  const int64_t offset = byteorder::BE32(Read<8>().data());
  R.FDataStart = R.FPosition + offset;
  R.FDataSeen = true;
  return std::max<int64_t>(std::min(length - 8 - offset, R.FRemaining - offset), 0);
}

void TWAVReader::TParser::WalkAiff(int64_t size) {
  const auto type = Read<4>();
  if (!IsCode(type.data(), "AIFF") && !IsCode(type.data(), "AIFC"))
    ThrowReaderError(kErrNotRecognised);
  const bool aifc = IsCode(type.data(), "AIFC");
  int64_t soundBytes = 0;
  size -= 4;
  while (size > 0 && Fits(8)) {
    const auto h = Read<8>();
    // Lengths of 2^31 and more would move the walk backwards: it ends there.
    const int64_t length = static_cast<int32_t>(byteorder::BE32(h.data() + 4));
    if (length < 0)
      break;
    const int64_t next = R.FPosition + length + (length & 1);
    size -= 8 + length + (length & 1);
    std::string* text = IsCode(h.data(), "NAME")   ? &R.FInfoName
                        : IsCode(h.data(), "(c) ") ? &R.FInfoCopyright
                        : IsCode(h.data(), "AUTH") ? &R.FInfoEngineer
                        : IsCode(h.data(), "ANNO") ? &R.FInfoComment
                                                   : nullptr;
    if (IsCode(h.data(), "COMM"))
      ParseComm(length, aifc);
    else if (IsCode(h.data(), "SSND"))
      soundBytes = ParseSsnd(length);
    else if (text && Fits(length))
      *text = ReadText(length);
    SeekTo(next);
  }
  // The sample data may not run past what the SSND chunk and the file hold,
  // whichever of COMM and SSND came first.
  if (R.FDataSeen)
    R.FDataLength = R.FFormatSeen ? std::min(R.FDataLength, soundBytes) : 0;
}

} // namespace ravelin
