#include "dither.h"
#include "errors.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <set>
#include <vector>

namespace ravelin {
namespace {

// Quantises the samples of one channel and returns the integer codes.
std::vector<int32_t> Quantise(TOutputDither& dither, std::vector<float> samples) {
  float* channels[] = {samples.data()};
  dither.Process(channels, 1, static_cast<int32_t>(samples.size()));
  std::vector<int32_t> codes(samples.size());
  std::memcpy(codes.data(), samples.data(), samples.size() * sizeof(int32_t));
  return codes;
}

std::set<int32_t> Outcomes(TOutputDither& dither, float sample, int count = 2000) {
  const std::vector<int32_t> codes =
      Quantise(dither, std::vector<float>(static_cast<std::size_t>(count), sample));
  return {codes.begin(), codes.end()};
}

TEST(OutputDither, FullScaleAndSilenceAtEveryWordLength) {
  TOutputDither dither(12345u);
  EXPECT_EQ(Outcomes(dither, 1.0f), (std::set<int32_t>{32767}));
  EXPECT_EQ(Outcomes(dither, -1.0f), (std::set<int32_t>{-32768, -32767}));
  EXPECT_EQ(Outcomes(dither, 0.0f), (std::set<int32_t>{-1, 0, 1}));

  dither.SetBits(24, 0);
  EXPECT_EQ(Outcomes(dither, 1.0f), (std::set<int32_t>{8388607}));
  EXPECT_EQ(Outcomes(dither, 0.0f), (std::set<int32_t>{-1, 0, 1}));

  dither.SetBits(30, 2);
  EXPECT_EQ(Outcomes(dither, 1.0f), (std::set<int32_t>{2147483644}));
  EXPECT_EQ(Outcomes(dither, -1.0f), (std::set<int32_t>{std::numeric_limits<int32_t>::min(), -2147483644}));
  EXPECT_EQ(Outcomes(dither, 0.0f), (std::set<int32_t>{-4, 0, 4}));
  for (const int32_t code : Outcomes(dither, 0.3f))
    EXPECT_EQ(code % 4, 0);
}

TEST(OutputDither, SaturatesBeyondFullScale) {
  TOutputDither dither(1u);
  EXPECT_EQ(Outcomes(dither, 100.0f), (std::set<int32_t>{32767}));
  EXPECT_EQ(Outcomes(dither, -100.0f), (std::set<int32_t>{-32768}));
  dither.SetBits(24, 0);
  EXPECT_EQ(Outcomes(dither, 1e12f), (std::set<int32_t>{8388607}));
  EXPECT_EQ(Outcomes(dither, -1e12f), (std::set<int32_t>{-8388608}));
  dither.SetBits(30, 2);
  EXPECT_EQ(Outcomes(dither, 3e38f), (std::set<int32_t>{2147483644}));
  EXPECT_EQ(Outcomes(dither, -3e38f), (std::set<int32_t>{std::numeric_limits<int32_t>::min()}));
}

// Non-finite samples never reach an integer conversion: NaN is treated as
// silence, infinities saturate.
TEST(OutputDither, NonFiniteSamplesSaturateOrBecomeSilence) {
  constexpr float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  TOutputDither dither(99u);
  EXPECT_EQ(Outcomes(dither, inf, 10), (std::set<int32_t>{32767}));
  EXPECT_EQ(Outcomes(dither, -inf, 10), (std::set<int32_t>{-32768}));
  EXPECT_EQ(Outcomes(dither, nan, 500), (std::set<int32_t>{-1, 0, 1}));
  dither.SetBits(30, 2);
  EXPECT_EQ(Outcomes(dither, inf, 10), (std::set<int32_t>{2147483644}));
  EXPECT_EQ(Outcomes(dither, -inf, 10), (std::set<int32_t>{std::numeric_limits<int32_t>::min()}));
  EXPECT_EQ(Outcomes(dither, -nan, 500), (std::set<int32_t>{-4, 0, 4}));
}

// Triangular noise of +-1 step: silence rounds to 0 with probability 3/4 and
// to -1 or +1 with 1/8 each; the mean stays at the signal.
TEST(OutputDither, NoiseIsTriangularOverOneStepEitherWay) {
  TOutputDither dither(777u);
  dither.SetBits(24, 0);
  constexpr int count = 200000;
  const std::vector<int32_t> codes = Quantise(dither, std::vector<float>(count, 0.0f));
  int counts[3] = {};
  for (const int32_t code : codes)
    ++counts[code + 1];
  EXPECT_NEAR(counts[0] / double{count}, 0.125, 0.005);
  EXPECT_NEAR(counts[1] / double{count}, 0.75, 0.005);
  EXPECT_NEAR(counts[2] / double{count}, 0.125, 0.005);

  // A value a quarter step above 10 averages to 10.25.
  const std::vector<int32_t> shifted = Quantise(dither, std::vector<float>(count, 10.25f / 8388608.0f));
  double sum = 0.0;
  for (const int32_t code : shifted)
    sum += code;
  EXPECT_NEAR(sum / count, 10.25, 0.01);
}

// The generator state advances twice per sample (seed * 30013 + 30011);
// from seed 0 the first noise value is (30011 + 11557706 - 2^24) / 2^24.
TEST(OutputDither, GeneratorSequenceAndTiesToEven) {
  TOutputDither dither(0u);
  EXPECT_EQ(Quantise(dither, {0.0f}), (std::vector<int32_t>{0}));
  EXPECT_EQ(dither.Seed(), 900750154u);

  const double firstNoise = (30011.0 + 11557706.0 - 16777216.0) / 16777216.0;
  // Samples that put x * 32768 + noise exactly on +-0.5: ties go to 0, the
  // even neighbour (rounding half away from zero would give +-1).
  for (const double target : {0.5, -0.5}) {
    TOutputDither fresh(0u);
    const auto sample = static_cast<float>((target - firstNoise) / 32768.0);
    ASSERT_EQ(static_cast<double>(sample) * 32768.0 + firstNoise, target);
    EXPECT_EQ(Quantise(fresh, {sample}), (std::vector<int32_t>{0}));
  }
}

TEST(OutputDither, SequenceContinuesAcrossCallsChannelsAndSetBits) {
  std::vector<float> signal(20);
  for (std::size_t i = 0; i < signal.size(); ++i)
    signal[i] = 0.01f * static_cast<float>(i) - 0.1f;

  TOutputDither whole(4242u);
  const std::vector<int32_t> joined = Quantise(whole, signal);

  TOutputDither split(4242u);
  std::vector<int32_t> pieces = Quantise(split, {signal.begin(), signal.begin() + 10});
  const std::vector<int32_t> second = Quantise(split, {signal.begin() + 10, signal.end()});
  pieces.insert(pieces.end(), second.begin(), second.end());
  EXPECT_EQ(pieces, joined);

  // Two channels of 10: channel 0 first, then channel 1, one sequence.
  TOutputDither twoChannels(4242u);
  std::vector<float> left(signal.begin(), signal.begin() + 10), right(signal.begin() + 10, signal.end());
  float* channels[] = {left.data(), right.data()};
  twoChannels.Process(channels, 2, 10);
  std::vector<int32_t> interleavedCodes(20);
  std::memcpy(interleavedCodes.data(), left.data(), 10 * sizeof(int32_t));
  std::memcpy(interleavedCodes.data() + 10, right.data(), 10 * sizeof(int32_t));
  EXPECT_EQ(interleavedCodes, joined);

  // SetBits changes the range but not the generator.
  TOutputDither reconfigured(4242u);
  Quantise(reconfigured, {signal.begin(), signal.begin() + 10});
  const uint32_t seed = reconfigured.Seed();
  reconfigured.SetBits(24, 0);
  EXPECT_EQ(reconfigured.Seed(), seed);
  EXPECT_EQ(reconfigured.Bits(), 24);
  TOutputDither continued(seed);
  continued.SetBits(24, 0);
  EXPECT_EQ(Quantise(reconfigured, signal), Quantise(continued, signal));
}

// The jump agrees with Process, which steps the generator twice per sample,
// and with stepping one number at a time for odd and long counts; the full
// period is 2^32, so a count beyond it wraps.
TEST(OutputDither, SkipMatchesSteppingTheGenerator) {
  for (const int32_t samples : {1, 5, 4096}) {
    TOutputDither stepped(777u);
    Quantise(stepped, std::vector<float>(static_cast<std::size_t>(samples), 0.25f));
    TOutputDither jumped(777u);
    jumped.Skip(2 * static_cast<uint64_t>(samples));
    EXPECT_EQ(jumped.Seed(), stepped.Seed()) << samples;
  }
  EXPECT_EQ(TOutputDither::Advance(99u, 0), 99u);
  uint32_t state = 99u;
  uint64_t count = 0;
  for (const uint64_t target :
       {uint64_t{1}, uint64_t{2}, uint64_t{3}, uint64_t{1000003}, uint64_t{5000000}}) {
    for (; count < target; ++count)
      state = state * 30013u + 30011u;
    EXPECT_EQ(TOutputDither::Advance(99u, count), state) << count;
  }
  EXPECT_EQ(TOutputDither::Advance(99u, (uint64_t{1} << 32) + 1000003), TOutputDither::Advance(99u, 1000003));
  EXPECT_NE(TOutputDither::Advance(99u, (uint64_t{1} << 31)), 99u);
}

TEST(OutputDither, RejectsWordLengthsBeyond32Bits) {
  TOutputDither dither(0u);
  EXPECT_THROW(dither.SetBits(31, 2), TRavelinError);
  EXPECT_THROW(dither.SetBits(33, 0), TRavelinError);
  EXPECT_THROW(dither.SetBits(1, 0), TRavelinError);
  EXPECT_THROW(dither.SetBits(16, -1), TRavelinError);
  EXPECT_EQ(dither.Bits(), 16);
  dither.SetBits(32, 0);
  EXPECT_EQ(Outcomes(dither, 1.0f, 10), (std::set<int32_t>{std::numeric_limits<int32_t>::max()}));
}

// Output depths: 32-bit codes carry 30 quantised bits in the top bits, so full
// scale is 0x7FFFFFFC; 16 and 24 bits use their own width.
TEST(OutputDither, OutputBitsOfEachDepth) {
  const struct {
    int32_t Depth, Bits, Shift, FullScale;
  } cases[] = {{16, 16, 0, 32767}, {24, 24, 0, 8388607}, {32, 30, 2, 0x7FFFFFFC}};
  for (const auto& c : cases) {
    TOutputDither dither(5u);
    dither.SetOutputBits(c.Depth);
    EXPECT_EQ(dither.Bits(), c.Bits) << c.Depth;
    EXPECT_EQ(dither.Shift(), c.Shift) << c.Depth;
    EXPECT_EQ(Outcomes(dither, 1.0f, 10), (std::set<int32_t>{c.FullScale})) << c.Depth;
  }
}

// The clock seed is the local time of day scaled to 0 .. 999999999
// (one second is about 11574 steps).
TEST(OutputDither, ClockSeedFollowsTheLocalTimeOfDay) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const double secondOfDay = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec;
  const TOutputDither dither;
  EXPECT_LT(dither.Seed(), 1000000000u);
  if (secondOfDay > 5.0 && secondOfDay < 86395.0) {
    EXPECT_NEAR(static_cast<double>(dither.Seed()), secondOfDay / 86400.0 * 1e9, 3.0 * 11574.0);
  }
  EXPECT_EQ(dither.Bits(), 16);
  EXPECT_EQ(dither.Shift(), 0);
}

} // namespace
} // namespace ravelin
