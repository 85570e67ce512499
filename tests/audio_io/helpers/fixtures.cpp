#include "fixtures.h"

#include "errors.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace ravelin::fixtures {

TBuilder& TBuilder::Code(const std::string& code) {
  Bytes.insert(Bytes.end(), code.begin(), code.end());
  return *this;
}
TBuilder& TBuilder::LE(uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    Bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
  return *this;
}
TBuilder& TBuilder::BE(uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i)
    Bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
  return *this;
}
TBuilder& TBuilder::Raw(const TBytes& bytes) {
  Bytes.insert(Bytes.end(), bytes.begin(), bytes.end());
  return *this;
}

TBytes Chunk(const std::string& id, const TBytes& body) {
  TBuilder b;
  b.Code(id).LE(body.size(), 4).Raw(body);
  if (body.size() & 1)
    b.LE(0, 1);
  return b.Bytes;
}

TBytes Riff(const std::vector<TBytes>& chunks) {
  TBuilder body;
  body.Code("WAVE");
  for (const TBytes& c : chunks)
    body.Raw(c);
  TBuilder b;
  b.Code("RIFF").LE(body.Bytes.size(), 4).Raw(body.Bytes);
  return b.Bytes;
}

TBytes Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t blockAlign, uint16_t bits) {
  TBuilder b;
  b.LE(tag, 2).LE(channels, 2).LE(rate, 4).LE(uint64_t{rate} * blockAlign, 4).LE(blockAlign, 2).LE(bits, 2);
  return b.Bytes;
}

TBytes FmtExtensible(uint16_t channels, uint32_t rate, uint16_t blockAlign, uint16_t bits, uint32_t mask,
                     uint8_t subtype) {
  TBuilder b;
  b.Raw(Fmt(0xFFFE, channels, rate, blockAlign, bits)).LE(22, 2).LE(bits, 2).LE(mask, 4);
  b.Raw({subtype, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71});
  return b.Bytes;
}

TBytes InfoList(const std::vector<std::pair<std::string, std::string>>& texts) {
  TBuilder body;
  body.Code("INFO");
  for (const auto& [id, text] : texts) {
    TBytes t(text.begin(), text.end());
    t.push_back(0);
    body.Raw(Chunk(id, t));
  }
  return Chunk("LIST", body.Bytes);
}

TBytes SamplerBody(int32_t loopCount, const std::vector<std::pair<uint32_t, uint32_t>>& loops) {
  TBuilder b;
  b.LE(0x11, 4).LE(0x22, 4).LE(22675, 4).LE(60, 4).LE(0, 4).LE(0, 4).LE(0, 4);
  b.LE(static_cast<uint32_t>(loopCount), 4).LE(0, 4);
  uint32_t id = 0;
  for (const auto& [start, end] : loops)
    b.LE(id++, 4).LE(0, 4).LE(start, 4).LE(end, 4).LE(0, 4).LE(3, 4);
  return b.Bytes;
}

TBytes Wave64Chunk(const std::string& code, const TBytes& body) {
  TBuilder b;
  // The tail of the Wave64 identifiers: the code, then the common 12 bytes.
  b.Code(code).Raw({0xF3, 0xAC, 0xD3, 0x11, 0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A});
  b.LE(body.size() + 24, 8).Raw(body);
  while (b.Bytes.size() % 8)
    b.LE(0, 1);
  return b.Bytes;
}

TBytes Wave64(const std::vector<TBytes>& chunks) {
  TBuilder body;
  body.Code("wave").Raw({0xF3, 0xAC, 0xD3, 0x11, 0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A});
  for (const TBytes& c : chunks)
    body.Raw(c);
  TBuilder b;
  b.Raw({0x72, 0x69, 0x66, 0x66, 0x2E, 0x91, 0xCF, 0x11, 0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00});
  b.LE(body.Bytes.size() + 24, 8).Raw(body.Bytes);
  return b.Bytes;
}

TBytes AiffChunk(const std::string& id, const TBytes& body) {
  TBuilder b;
  b.Code(id).BE(body.size(), 4).Raw(body);
  if (body.size() & 1)
    b.LE(0, 1);
  return b.Bytes;
}

TBytes Aiff(const std::string& formType, const std::vector<TBytes>& chunks) {
  TBuilder body;
  body.Code(formType);
  for (const TBytes& c : chunks)
    body.Raw(c);
  TBuilder b;
  b.Code("FORM").BE(body.Bytes.size(), 4).Raw(body.Bytes);
  return b.Bytes;
}

TBytes Comm(int16_t channels, uint32_t frames, int16_t bits, double rate, const std::string& compression) {
  TBuilder b;
  b.BE(static_cast<uint16_t>(channels), 2).BE(frames, 4).BE(static_cast<uint16_t>(bits), 2);
  int exponent = 0;
  const double mantissa = std::frexp(rate, &exponent); // rate = mantissa * 2^exponent, 0.5 <= m < 1
  const auto m = static_cast<uint64_t>(std::ldexp(mantissa, 64));
  b.BE(rate == 0.0 ? 0 : static_cast<uint64_t>(16383 + exponent - 1), 2).BE(rate == 0.0 ? 0 : m, 8);
  if (!compression.empty())
    b.Code(compression).LE(0, 2); // type, then an empty name (count byte and pad)
  return AiffChunk("COMM", b.Bytes);
}

TBytes Ssnd(uint32_t offset, const TBytes& sound) {
  TBuilder b;
  b.BE(offset, 4).BE(0, 4).Raw(TBytes(offset, 0)).Raw(sound);
  return AiffChunk("SSND", b.Bytes);
}

TBytes SmallWav(int frames) {
  TBuilder data;
  for (int i = 0; i < 2 * frames; ++i)
    data.LE(static_cast<uint16_t>(i * 997), 2);
  return Riff({Chunk("fmt ", Fmt(1, 2, 44100, 4, 16)), Chunk("data", data.Bytes)});
}

std::unique_ptr<TWAVReader> Read(const TBytes& bytes) {
  return std::make_unique<TWAVReader>(MemorySource(bytes));
}

std::string OpenError(const TBytes& bytes) {
  try {
    Read(bytes);
  } catch (const TRavelinError& e) {
    return e.what();
  }
  return "";
}

std::vector<std::vector<float>> ReadAll(TWAVReader& reader) {
  std::vector<std::vector<float>> planes(static_cast<std::size_t>(reader.Channels()),
                                         std::vector<float>(static_cast<std::size_t>(reader.FrameCount())));
  std::vector<float*> pointers;
  for (auto& p : planes)
    pointers.push_back(p.data());
  reader.ReadFrames(pointers.data(), static_cast<int32_t>(reader.FrameCount()));
  return planes;
}

std::vector<std::pair<std::string, TBytes>> SeedFixtures() {
  TBytes pcm24(6 * 5, 0x5A);
  return {
      {"riff16.wav", SmallWav(40)},
      {"riff24_meta.wav", Riff({Chunk("data", pcm24), Chunk("fmt ", Fmt(1, 2, 48000, 6, 24)),
                                InfoList({{"INAM", "name"}, {"ICMT", "odd"}, {"QRVT", "Ravelin"}}),
                                Chunk("smpl", SamplerBody(2, {{1, 3}, {0, 4}}))})},
      {"riff_float.wav", Riff({Chunk("fmt ", Fmt(3, 1, 44100, 8, 64)), Chunk("data", TBytes(64, 0x3F))})},
      {"riff_ext.wav",
       Riff({Chunk("fmt ", FmtExtensible(2, 44100, 8, 32, 3, 3)), Chunk("data", TBytes(33, 1))})},
      {"riff_u8.wav", Riff({Chunk("fmt ", Fmt(1, 1, 8000, 1, 8)), Chunk("data", TBytes{0, 0x80, 0xFF})})},
      {"wave64.w64", Wave64({Wave64Chunk("fmt ", Fmt(1, 1, 44100, 2, 16)), Wave64Chunk("data", TBytes(10, 7)),
                             Wave64Chunk("smpl", SamplerBody(0, {}))})},
      {"aiff16.aiff", Aiff("AIFF", {Comm(2, 3, 16, 44100.0), Ssnd(0, TBytes(12, 0x81)),
                                    AiffChunk("NAME", {'a', 'b', 'c'})})},
      {"aifc_fl32.aifc", Aiff("AIFC", {Comm(1, 2, 32, 96000.0, "fl32"), Ssnd(4, TBytes(8, 0x40))})},
      {"aifc_sowt.aifc", Aiff("AIFC", {Ssnd(0, TBytes(6, 0x12)), Comm(1, 2, 24, 22050.0, "sowt")})},
  };
}

TTempDir::TTempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "ravelin-XXXXXX").string();
  if (!mkdtemp(pattern.data()))
    throw std::runtime_error("cannot create a temporary folder");
  FPath = pattern;
}

TTempDir::~TTempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(FPath, ignored);
}

void WriteFile(const std::string& path, const TBytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TBytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return TBytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace ravelin::fixtures
