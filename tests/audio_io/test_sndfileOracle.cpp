// Cross-checks with libsndfile: files it writes are read sample for sample as
// it decodes them, and files the writer produces are read back by it.
#include "fixtures.h"
#include "wavReader.h"
#include "wavWriter32.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <random>

using namespace ravelin;
using namespace ravelin::fixtures;

namespace {

constexpr int kFrames = 20000; // spans several read steps for every width

struct TCase {
  int Format;
  int Kind;
  int Bits;
};

std::vector<double> TestSignal(int channels) {
  std::mt19937 random(1234);
  std::uniform_real_distribution<double> spread(-1.0, 1.0);
  std::vector<double> interleaved(static_cast<size_t>(kFrames * channels));
  for (double& v : interleaved)
    v = spread(random);
  interleaved[0] = -1.0; // full-scale codes at both ends
  interleaved[1] = 0.99999;
  return interleaved;
}

// Writes a file with libsndfile and returns what libsndfile decodes from it.
std::vector<float> WriteWithSndfile(const std::string& path, int format, int channels) {
  SF_INFO info{};
  info.samplerate = 48000;
  info.channels = channels;
  info.format = format;
  SNDFILE* out = sf_open(path.c_str(), SFM_WRITE, &info);
  EXPECT_NE(out, nullptr) << sf_strerror(nullptr);
  const std::vector<double> signal = TestSignal(channels);
  sf_writef_double(out, signal.data(), kFrames);
  sf_close(out);

  SF_INFO readInfo{};
  SNDFILE* in = sf_open(path.c_str(), SFM_READ, &readInfo);
  std::vector<float> decoded(static_cast<size_t>(kFrames * channels));
  EXPECT_EQ(sf_readf_float(in, decoded.data(), kFrames), kFrames);
  sf_close(in);
  return decoded;
}

} // namespace

TEST(SndfileOracle, ReaderDecodesEveryFormatAsLibsndfileDoes) {
  const TCase cases[] = {
      {SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1, 8},    {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 16},
      {SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1, 24},   {SF_FORMAT_WAV | SF_FORMAT_PCM_32, 1, 32},
      {SF_FORMAT_WAV | SF_FORMAT_FLOAT, 3, 32},    {SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 3, 64},
      {SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 1, 16}, {SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, 1, 24},
      {SF_FORMAT_WAVEX | SF_FORMAT_FLOAT, 3, 32},  {SF_FORMAT_W64 | SF_FORMAT_PCM_16, 1, 16},
      {SF_FORMAT_W64 | SF_FORMAT_PCM_24, 1, 24},   {SF_FORMAT_W64 | SF_FORMAT_FLOAT, 3, 32},
      {SF_FORMAT_AIFF | SF_FORMAT_PCM_S8, 1, 8},   {SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 1, 16},
      {SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 1, 24},  {SF_FORMAT_AIFF | SF_FORMAT_PCM_32, 1, 32},
      {SF_FORMAT_AIFF | SF_FORMAT_FLOAT, 3, 32},   {SF_FORMAT_AIFF | SF_FORMAT_DOUBLE, 3, 64},
  };
  TTempDir dir;
  for (const TCase& c : cases) {
    for (const int channels : {1, 2, 6}) {
      SCOPED_TRACE(testing::Message() << std::hex << c.Format << std::dec << " x" << channels);
      const std::string path = dir.Path("oracle");
      const std::vector<float> expected = WriteWithSndfile(path, c.Format, channels);
      TWAVReader reader(path);
      ASSERT_EQ(reader.FrameCount(), kFrames);
      EXPECT_EQ(reader.Channels(), channels);
      EXPECT_EQ(reader.SampleRate(), 48000);
      EXPECT_EQ(reader.FormatKind(), c.Kind);
      EXPECT_EQ(reader.BitsPerSample(), c.Bits);
      if ((c.Format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAVEX) {
        EXPECT_NE(reader.ChannelMask(), 0u);
      }
      const auto planes = ReadAll(reader);
      for (int f = 0; f < kFrames; ++f)
        for (int ch = 0; ch < channels; ++ch)
          ASSERT_EQ(planes[static_cast<size_t>(ch)][static_cast<size_t>(f)],
                    expected[static_cast<size_t>(f * channels + ch)])
              << "frame " << f << " channel " << ch;
    }
  }
}

TEST(SndfileOracle, WriterOutputReadsBackInLibsndfile) {
  TTempDir dir;
  std::mt19937 random(99);
  for (const auto& [kind, bits] : {std::pair{1, 16}, std::pair{1, 24}, std::pair{1, 32}, std::pair{3, 32}}) {
    for (const int channels : {1, 2, 6}) {
      SCOPED_TRACE(testing::Message() << kind << "/" << bits << " x" << channels);
      // Right-aligned integer codes of `bits` bits, or floats.
      std::vector<std::vector<uint32_t>> words(static_cast<size_t>(channels), std::vector<uint32_t>(kFrames));
      for (auto& plane : words)
        for (uint32_t& w : plane) {
          w = static_cast<uint32_t>(random());
          if (kind == 3)
            w = std::bit_cast<uint32_t>(static_cast<float>(static_cast<int32_t>(w)) * 0x1p-31f);
          else if (bits < 32)
            w = static_cast<uint32_t>(static_cast<int32_t>(w << (32 - bits)) >> (32 - bits));
        }
      TWAVWriter writer;
      writer.FormatKind = kind;
      writer.Channels = channels;
      writer.SampleRate = 44100;
      writer.BitsPerSample = bits;
      writer.BlockAlign = channels * bits / 8;
      const std::string path = dir.Path("written.wav");
      writer.Open(path);
      std::vector<const float*> pointers;
      for (const auto& plane : words)
        pointers.push_back(reinterpret_cast<const float*>(plane.data()));
      // Uneven calls, as the callers make them.
      writer.WriteFrames(pointers.data(), 4096);
      for (auto& p : pointers)
        p += 4096;
      writer.WriteFrames(pointers.data(), kFrames - 4096);
      writer.Close();

      SF_INFO info{};
      SNDFILE* in = sf_open(path.c_str(), SFM_READ, &info);
      ASSERT_NE(in, nullptr) << sf_strerror(nullptr);
      EXPECT_EQ(info.channels, channels);
      EXPECT_EQ(info.samplerate, 44100);
      EXPECT_EQ(info.frames, kFrames);
      const int subtype = kind == 3    ? SF_FORMAT_FLOAT
                          : bits == 16 ? SF_FORMAT_PCM_16
                          : bits == 24 ? SF_FORMAT_PCM_24
                                       : SF_FORMAT_PCM_32;
      EXPECT_EQ(info.format, SF_FORMAT_WAV | subtype);
      std::vector<int32_t> ints(static_cast<size_t>(kFrames * channels));
      std::vector<float> floats(ints.size());
      if (kind == 3)
        EXPECT_EQ(sf_readf_float(in, floats.data(), kFrames), kFrames);
      else
        EXPECT_EQ(sf_readf_int(in, ints.data(), kFrames), kFrames);
      sf_close(in);
      for (int f = 0; f < kFrames; ++f)
        for (int ch = 0; ch < channels; ++ch) {
          const uint32_t w = words[static_cast<size_t>(ch)][static_cast<size_t>(f)];
          const size_t i = static_cast<size_t>(f * channels + ch);
          if (kind == 3)
            ASSERT_EQ(std::bit_cast<uint32_t>(floats[i]), w);
          else
            ASSERT_EQ(ints[i], static_cast<int32_t>(w << (32 - bits))) << f;
        }
    }
  }
}
