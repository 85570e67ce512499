// Byte-level builders for audio file fixtures (RIFF, Wave64, AIFF), shared by
// the reader and writer tests and the fuzzer's seed corpus.
#pragma once

#include "wavReader.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ravelin::fixtures {

using TBytes = std::vector<uint8_t>;

// Appends numbers and codes to a byte string.
class TBuilder {
public:
  TBuilder& Code(const std::string& code);
  TBuilder& LE(uint64_t value, int bytes);
  TBuilder& BE(uint64_t value, int bytes);
  TBuilder& Raw(const TBytes& bytes);
  TBytes Bytes;
};

// RIFF chunk: identifier, uint32 length, body and a pad byte for odd lengths.
TBytes Chunk(const std::string& id, const TBytes& body);
// "RIFF" size "WAVE" followed by the chunks; the size counts everything after it.
TBytes Riff(const std::vector<TBytes>& chunks);
// Body of a plain format chunk.
TBytes Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t blockAlign, uint16_t bits);
// Body of an extensible format chunk (sub-format type 1 PCM, 3 float).
TBytes FmtExtensible(uint16_t channels, uint32_t rate, uint16_t blockAlign, uint16_t bits, uint32_t mask,
                     uint8_t subtype);
// INFO list with the given sub-chunks (identifier, text; a zero byte is added).
TBytes InfoList(const std::vector<std::pair<std::string, std::string>>& texts);
// Sampler body: the header fields are zero except the loop count and the
// loop records given as (start, end).
TBytes SamplerBody(int32_t loopCount, const std::vector<std::pair<uint32_t, uint32_t>>& loops);

// Wave64 chunk: 16-byte identifier from a four-character code, 64-bit length
// counting the 24-byte header, body, then alignment to 8 bytes.
TBytes Wave64Chunk(const std::string& code, const TBytes& body);
TBytes Wave64(const std::vector<TBytes>& chunks);

// AIFF: "FORM" size form type chunks; a COMM chunk with the rate as extended.
TBytes AiffChunk(const std::string& id, const TBytes& body);
TBytes Aiff(const std::string& formType, const std::vector<TBytes>& chunks);
TBytes Comm(int16_t channels, uint32_t frames, int16_t bits, double rate,
            const std::string& compression = "");
TBytes Ssnd(uint32_t offset, const TBytes& sound);

// A minimal valid 16-bit stereo RIFF file with `frames` frames of a ramp.
TBytes SmallWav(int frames);

// A reader over the bytes (through a memory source).
std::unique_ptr<TWAVReader> Read(const TBytes& bytes);
// The message of the TRavelinError that opening the bytes raises ("" if none).
std::string OpenError(const TBytes& bytes);
// Reads all frames of a reader into planar buffers.
std::vector<std::vector<float>> ReadAll(TWAVReader& reader);

// Named fixtures covering every container and most paths (the fuzz seed corpus).
std::vector<std::pair<std::string, TBytes>> SeedFixtures();

// A fresh temporary folder, removed with its files when destroyed.
class TTempDir {
public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  std::string Path(const std::string& name) const { return FPath + "/" + name; }

private:
  std::string FPath;
};

void WriteFile(const std::string& path, const TBytes& bytes);
TBytes ReadFile(const std::string& path);

} // namespace ravelin::fixtures
