#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "engineTestSupport.h"
#include "sweep.h"
#include "wavReader.h"

namespace ravelin {
namespace {

using test::TChannels;

TChannels Generate(const test::TTempFolder& folder, const TSweepSettings& settings) {
  GenerateSweep(folder.Path() + "sweep.wav", settings);
  return test::ReadAudio(folder.Path() + "sweep.wav");
}

// Mean frequency of the stretch [from, to) from its count of sign changes.
double ZeroCrossingFrequency(const std::vector<float>& x, size_t from, size_t to, double rate) {
  int crossings = 0;
  for (size_t i = from + 1; i < to; ++i)
    crossings += (x[i - 1] < 0.0f) != (x[i] < 0.0f);
  return crossings * rate / (2.0 * static_cast<double>(to - from));
}

TEST(GenerateSweep, RunsFrom32HzToNyquistAtTheStatedLevelAndLength) {
  test::TTempFolder folder;
  TSweepSettings settings;
  settings.FloatOutput = true;
  const TChannels out = Generate(folder, settings);
  ASSERT_EQ(out.size(), 1u);
  ASSERT_EQ(out[0].size(), 132300u); // 32 blocks of 4096 and one of 1228
  EXPECT_EQ(out[0][0], 0.0f);
  float peak = 0.0f;
  for (const float s : out[0])
    peak = std::max(peak, std::fabs(s));
  EXPECT_LE(peak, 0.98f);
  EXPECT_GT(peak, 0.979f);
  // Equal time per octave: the first tenth stays near the bottom octaves.
  EXPECT_NEAR(ZeroCrossingFrequency(out[0], 0, 13230, 44100.0),
              32.0 * (std::pow(689.0, 0.1) - 1) / (0.1 * std::log(689.0)), 3.0);
  EXPECT_GT(ZeroCrossingFrequency(out[0], 131300, 132300, 44100.0), 19000.0);
}

TEST(GenerateSweep, FadesStartAtZeroAndShapeBothEnds) {
  test::TTempFolder folder;
  TSweepSettings settings;
  settings.FloatOutput = true;
  settings.Fades = true;
  const std::vector<float> out = Generate(folder, settings)[0];
  auto peakOf = [&](size_t from, size_t to) {
    float peak = 0.0f;
    for (size_t i = from; i < to; ++i)
      peak = std::max(peak, std::fabs(out[i]));
    return peak;
  };
  EXPECT_EQ(out[0], 0.0f);
  EXPECT_LT(peakOf(0, 400), 0.14f);         // raised cosine: 0.98 x 0.138 at 400
  EXPECT_GT(peakOf(1654, 3000), 0.97f);     // full level after it
  EXPECT_LT(peakOf(132200, 132300), 0.01f); // end of the fade-out
}

TEST(GenerateSweep, SilentSideCarriesDitherOnlyInIntegerFormats) {
  test::TTempFolder folder;
  TSweepSettings settings;
  settings.ChannelCount = 2;
  settings.RightOn = false;
  settings.Duration = 8192.0 / 44100.0; // a whole number of blocks
  settings.BitDepth = 16;
  TChannels out = Generate(folder, settings);
  ASSERT_EQ(out[1].size(), 8192u);
  bool noise = false;
  for (const float s : out[1]) {
    EXPECT_LE(std::fabs(s * 32768.0f), 1.0f);
    noise = noise || s != 0.0f;
  }
  EXPECT_TRUE(noise);
  settings.FloatOutput = true;
  out = Generate(folder, settings);
  EXPECT_TRUE(std::all_of(out[1].begin(), out[1].end(), [](float s) { return s == 0.0f; }));
  EXPECT_EQ(TWAVReader(folder.Path() + "sweep.wav").FormatKind(), 3);
}

TEST(GenerateSweep, ZeroLengthGivesAHeaderOnly) {
  test::TTempFolder folder;
  TSweepSettings settings;
  settings.Duration = 1e-6;
  GenerateSweep(folder.Path() + "sweep.wav", settings);
  EXPECT_EQ(TWAVReader(folder.Path() + "sweep.wav").FrameCount(), 0);
}

} // namespace
} // namespace ravelin
