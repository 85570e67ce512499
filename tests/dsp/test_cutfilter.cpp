#include "cutfilter.h"
#include "errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

using namespace ravelin;

namespace {

// Magnitude (dB) of y at one frequency, by a direct single-bin DFT.
double LevelAt(const std::vector<double>& y, double frequency, int32_t sampleRate) {
  std::complex<double> sum = 0.0;
  for (size_t n = 0; n < y.size(); ++n)
    sum += y[n] * std::polar(1.0, -2.0 * std::numbers::pi * frequency * static_cast<double>(n) / sampleRate);
  return 20.0 * std::log10(std::abs(sum));
}

std::vector<double> FilteredImpulse(size_t count, int32_t sampleRate, double low, double high, int slope) {
  std::vector<double> y(count, 0.0);
  y[0] = 1.0;
  ApplyCutFilters(y.data(), static_cast<int32_t>(count), sampleRate, low, high, slope);
  return y;
}

std::vector<double> RandomSignal(size_t count, uint32_t seed) {
  std::mt19937 generator(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<double> x(count);
  for (double& v : x)
    v = dist(generator);
  return x;
}

} // namespace

TEST(CutFilter, KernelLengthsPartitionsAndLatencies) {
  struct TRow {
    int32_t Rate;
    uint32_t Length;
    int32_t Partition, Latency;
  };
  for (const TRow& row : {TRow{44100, 65000, 8192, 8704}, TRow{48000, 70748, 16384, 17408},
                          TRow{88200, 130000, 16384, 17408}, TRow{96000, 141496, 32768, 34816},
                          TRow{176400, 260000, 32768, 34816}, TRow{192000, 282992, 65536, 69632}}) {
    EXPECT_EQ(CutKernelLength(row.Rate), row.Length) << row.Rate;
    const TCutFilter filter(row.Rate, 100.0, 0.0, 0);
    EXPECT_EQ(filter.Kernel().size(), row.Length) << row.Rate;
    EXPECT_EQ(filter.PartitionLength(), row.Partition) << row.Rate;
    EXPECT_EQ(filter.Latency(), row.Latency) << row.Rate;
  }
}

TEST(CutFilter, MaxClearsTheBinsOutsideTheCorners) {
  constexpr uint32_t N = 65536;
  std::vector<double> w(N + 2, -1.0);
  CutMagnitudes(w.data(), N, 44100, 20.0, 0.0, CutSlopeMax);
  for (uint32_t k = 0; k <= 30; ++k)
    ASSERT_EQ(w[k], 0.0) << k;
  for (uint32_t k = 31; k <= N / 2; ++k)
    ASSERT_EQ(w[k], 1.0) << k;
  // A high cut at or above Nyquist clears only the Nyquist bin.
  CutMagnitudes(w.data(), N, 44100, 20.0, 30000.0, CutSlopeMax);
  EXPECT_EQ(w[N / 2], 0.0);
  EXPECT_EQ(w[N / 2 - 1], 1.0);
  // 10000 Hz: 10000 * 2 / 44100 * 32768 = 14860.8 -> bins 14861 .. 32768 cleared.
  CutMagnitudes(w.data(), N, 44100, 0.0, 10000.0, CutSlopeMax);
  EXPECT_EQ(w[0], 1.0);
  EXPECT_EQ(w[14860], 1.0);
  EXPECT_EQ(w[14861], 0.0);
}

TEST(CutFilter, LowCutAtTheCornerFollowsTheSlope) {
  // Broadband input (an impulse) filtered at 100 Hz, measured in the output.
  for (const auto& [slope, expected] : {std::pair{0, -3.0}, std::pair{7, -24.0}}) {
    const std::vector<double> y = FilteredImpulse(96000, 48000, 100.0, 0.0, slope);
    EXPECT_NEAR(LevelAt(y, 100.0, 48000), expected, 0.1) << slope;
    EXPECT_NEAR(LevelAt(y, 1000.0, 48000), 0.0, 0.05) << slope;
    // One octave below: -12.3 dB per unit of power.
    EXPECT_NEAR(LevelAt(y, 50.0, 48000), -12.3 * (slope + 1), 0.1 * (slope + 1)) << slope;
  }
}

TEST(CutFilter, HighCutAndBothTogether) {
  const std::vector<double> y = FilteredImpulse(60000, 44100, 50.0, 5000.0, 1);
  EXPECT_NEAR(LevelAt(y, 50.0, 44100), -6.0, 0.1);
  EXPECT_NEAR(LevelAt(y, 5000.0, 44100), -6.0, 0.1);
  EXPECT_NEAR(LevelAt(y, 700.0, 44100), 0.0, 0.05);
  EXPECT_NEAR(LevelAt(y, 10000.0, 44100), -24.6, 0.2);
  const std::vector<double> brick = FilteredImpulse(60000, 44100, 100.0, 4000.0, CutSlopeMax);
  EXPECT_NEAR(LevelAt(brick, 1000.0, 44100), 0.0, 0.05);
  // The stop bands hold what the kernel's Hann window leaves (measured -77.3
  // and -122.5 dB; a Hamming window gives -73.5 and -110, none -51 and -91).
  EXPECT_LT(LevelAt(brick, 60.0, 44100), -75.0);
  EXPECT_LT(LevelAt(brick, 6000.0, 44100), -115.0);
}

TEST(CutFilter, ImpulseReturnsTheKernelWithoutDelay) {
  const std::vector<float> kernel = DesignCutKernel(44100, 20.0, 0.0, 3);
  for (size_t length : {size_t{30000}, size_t{100}}) { // the second is shorter than the latency
    std::vector<double> y(length + 16, 12345.0);
    std::fill_n(y.begin(), length, 0.0);
    y[0] = 1.0;
    ApplyCutFilters(y.data(), static_cast<int32_t>(length), 44100, 20.0, 0.0, 3);
    for (size_t i = 0; i < length; ++i)
      ASSERT_NEAR(y[i], static_cast<double>(kernel[i]), 1e-6) << length << " " << i;
    for (size_t i = length; i < y.size(); ++i)
      ASSERT_EQ(y[i], 12345.0) << "past the end: " << i;
  }
  // Minimum phase: the kernel's energy sits at its start.
  double head = 0.0, total = 0.0;
  for (size_t i = 0; i < kernel.size(); ++i) {
    const double e = static_cast<double>(kernel[i]) * static_cast<double>(kernel[i]);
    total += e;
    head += i < kernel.size() / 16 ? e : 0.0;
  }
  EXPECT_GT(head, 0.99 * total);
}

TEST(CutFilter, MatchesDirectConvolutionWithTheKernel) {
  constexpr int32_t Rate = 8000;
  const std::vector<float> kernel = DesignCutKernel(Rate, 300.0, 2500.0, 2);
  const std::vector<double> x = RandomSignal(5000, 8);
  std::vector<double> y = x;
  ApplyCutFilters(y.data(), static_cast<int32_t>(y.size()), Rate, 300.0, 2500.0, 2);
  double worst = 0.0;
  for (size_t n = 0; n < x.size(); ++n) {
    double expected = 0.0;
    for (size_t k = 0; k <= n && k < kernel.size(); ++k)
      expected += static_cast<double>(kernel[k]) * x[n - k];
    worst = std::max(worst, std::abs(y[n] - expected));
  }
  EXPECT_LT(worst, 1e-5);
}

TEST(CutFilter, ReusedFilterGivesIdenticalResults) {
  const std::vector<double> a = RandomSignal(20000, 1), b = RandomSignal(9000, 2);
  std::vector<double> a1 = a, b1 = b, a2 = a, b2 = b;
  ApplyCutFilters(a1.data(), static_cast<int32_t>(a1.size()), 44100, 80.0, 12000.0, 4);
  ApplyCutFilters(b1.data(), static_cast<int32_t>(b1.size()), 44100, 80.0, 12000.0, 4);
  TCutFilter filter(44100, 80.0, 12000.0, 4);
  EXPECT_TRUE(filter.Matches(44100, 80.0, 12000.0, 4));
  EXPECT_FALSE(filter.Matches(44100, 80.0, 12000.0, 5));
  filter.Apply(a2.data(), static_cast<int32_t>(a2.size()));
  filter.Apply(b2.data(), static_cast<int32_t>(b2.size()));
  EXPECT_EQ(a1, a2);
  EXPECT_EQ(b1, b2);
}

TEST(CutFilter, FiltersOffOrNothingToDoLeaveTheSamples) {
  const std::vector<double> x = RandomSignal(500, 3);
  std::vector<double> y = x;
  ApplyCutFilters(y.data(), 500, 44100, 0.0, -1.0, 0);
  EXPECT_EQ(y, x);
  ApplyCutFilters(y.data(), 0, 44100, 100.0, 0.0, 0);
  EXPECT_EQ(y, x);
}

TEST(CutFilter, RefusesSettingsItCannotBuild) {
  std::vector<double> y(10, 0.0);
  EXPECT_THROW(ApplyCutFilters(y.data(), 10, 44100, 100.0, 0.0, 9), TRavelinError);
  EXPECT_THROW(ApplyCutFilters(y.data(), 10, 44100, 100.0, 0.0, -1), TRavelinError);
  EXPECT_THROW(ApplyCutFilters(y.data(), 10, 0, 100.0, 0.0, 0), TRavelinError);
  EXPECT_THROW(ApplyCutFilters(y.data(), 10, MinCutSampleRate - 1, 1.0, 0.0, 0), TRavelinError);
  EXPECT_NO_THROW(ApplyCutFilters(y.data(), 10, MinCutSampleRate, 1.0, 0.0, 0));
}

// Up to 10 MHz the sections keep their precision: a high cut above Nyquist
// passes every bin at 1 within 0.025 dB (0.2 dB at -96 dB/o), a low cut above
// it removes everything, one at 0.1 Hz stays finite and passes Nyquist.
TEST(CutFilter, SectionsStayPreciseAtHighSampleRates) {
  constexpr uint32_t N = 4096;
  std::vector<double> w(N + 2);
  for (const int32_t rate : {44100, 192000, 768000, 1000000, 2822400, 10000000}) {
    CutMagnitudes(w.data(), N, rate, 0.0, 3.4e38, 0);
    for (uint32_t k = 0; k <= N / 2; ++k)
      ASSERT_NEAR(w[k], 1.0, 0.003) << rate << " Hz, bin " << k;
    CutMagnitudes(w.data(), N, rate, 3.4e38, 0.0, 0);
    for (uint32_t k = 0; k <= N / 2; ++k)
      ASSERT_LT(w[k], 1e-12) << rate << " Hz, bin " << k;
    CutMagnitudes(w.data(), N, rate, 0.1, 0.0, 0);
    for (uint32_t k = 0; k <= N / 2; ++k)
      ASSERT_TRUE(w[k] >= 0.0 && w[k] <= 1.001) << rate << " Hz, bin " << k;
    EXPECT_NEAR(w[N / 2], 1.0, 1e-6) << rate;
  }
}

// The kernel length is bounded at every rate (no overflow of the design's
// sizes); at 10 MHz the kernel is finite and removes or passes as set.
TEST(CutFilter, KernelLengthIsBoundedAtHighSampleRates) {
  for (const auto& [rate, length] : {std::pair{1422836, 2097150u}, std::pair{1422837, 2097152u},
                                     std::pair{10000000, 2097152u}, std::pair{2147483647, 2097152u}})
    EXPECT_EQ(CutKernelLength(rate), length) << rate;
  EXPECT_THROW(CutKernelLength(MinCutSampleRate - 1), TRavelinError);
  for (const auto& [low, high, dcGain] : {std::tuple{0.0, 3.4e38, 1.0}, std::tuple{3.4e38, 0.0, 0.0}}) {
    const std::vector<float> kernel = DesignCutKernel(10000000, low, high, 7);
    double sum = 0.0;
    for (const float v : kernel) {
      ASSERT_TRUE(std::isfinite(v));
      sum += static_cast<double>(v);
    }
    EXPECT_NEAR(sum, dcGain, 0.03) << low << " " << high;
  }
}

TEST(CutFilterSink, DropsTheLatencyThenWritesOutputOrZeros) {
  std::vector<double> dest(6, -1.0);
  TCutFilterOutput out{dest.data(), 5};
  const double a[3] = {1, 2, 3}, b[4] = {4, 5, 6, 7};
  CutFilterSink(a, 3, &out);
  CutFilterSink(b, 4, &out);
  CutFilterSink(nullptr, 3, &out);
  EXPECT_EQ(dest, (std::vector<double>{6, 7, 0, 0, 0, -1}));
  EXPECT_EQ(out.WritePosition, dest.data() + 5);
  EXPECT_EQ(out.SkipCount, 0);
}
