#include "errors.h"
#include "fft.h"
#include "minphase.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <limits>
#include <random>
#include <vector>

namespace ravelin {
namespace {

// Runs MinimumPhaseImpulse on the first values of an n-sample signal.
std::vector<double> MinimumPhaseOf(const std::vector<double>& head, int order) {
  const TFastFourierTransform fft(order);
  std::vector<double> x(static_cast<std::size_t>(fft.Size()), 0.0);
  std::copy(head.begin(), head.end(), x.begin());
  std::vector<double> work(x.size() / 2 + 1);
  MinimumPhaseImpulse(x.data(), fft.Size(), fft, work.data());
  return x;
}

void ExpectStartsWith(const std::vector<double>& x, const std::vector<double>& head, double tolerance) {
  for (std::size_t j = 0; j < x.size(); ++j)
    EXPECT_NEAR(x[j], j < head.size() ? head[j] : 0.0, tolerance) << "sample " << j;
}

// Runs both MinimumPhaseImpulse paths on x and returns the largest difference
// between them relative to the largest output value.
double HalfSizePathDeviation(const std::vector<double>& x, int order) {
  const TFastFourierTransform fft(order), half(order - 1);
  std::vector<double> full = x, fast = x, work(x.size() / 2 + 1);
  MinimumPhaseImpulse(full.data(), fft.Size(), fft, work.data());
  MinimumPhaseImpulse(fast.data(), fft.Size(), fft, half, work.data());
  double peak = 0.0, deviation = 0.0;
  for (std::size_t j = 0; j < x.size(); ++j) {
    peak = std::max(peak, std::fabs(full[j]));
    deviation = std::max(deviation, std::fabs(full[j] - fast[j]));
  }
  return deviation / peak;
}

// White noise over the whole signal, and a windowed band-pass kernel in the
// first half (the cut-filter design's case: steep skirts, stop bands down at
// the rounding level), at every size from the smallest the half-size path
// takes. The band pass's bound is loose on purpose: its stop-band logarithms
// carry rounding errors of about 1e-4 (the full path alone moves by that much
// of the peak when the input is delayed by one sample); the paths differ by
// at most 2e-12 of the peak.
TEST(MinimumPhase, HalfSizePathMatchesTheFullSizeOne) {
  std::mt19937 generator(7);
  std::normal_distribution<double> noise;
  for (int order = 3; order <= 18; ++order) {
    const std::size_t n = std::size_t{1} << order;
    std::vector<double> x(n);
    for (double& v : x)
      v = noise(generator);
    EXPECT_LT(HalfSizePathDeviation(x, order), 1e-13) << "noise, order " << order;

    std::fill(x.begin(), x.end(), 0.0);
    const double centre = static_cast<double>(n / 4), pi = 3.14159265358979323846;
    for (std::size_t j = 0; j < n / 2; ++j) {
      const double t = static_cast<double>(j) - centre;
      const double window = 0.5 + 0.5 * std::cos(pi * t / centre);
      const double lowPass = t == 0.0 ? 0.4 : std::sin(0.4 * pi * t) / (pi * t);
      const double highPass = t == 0.0 ? 0.01 : std::sin(0.01 * pi * t) / (pi * t);
      x[j] = window * (lowPass - highPass);
    }
    EXPECT_LT(HalfSizePathDeviation(x, order), 1e-11) << "band pass, order " << order;
  }
}

TEST(MinimumPhase, HalfSizePathSpreadsNonFiniteValuesAndChecksTheSizes) {
  const TFastFourierTransform fft(6), half(5), other(4);
  std::vector<double> x(64, 0.0), work(33);
  x[3] = std::numeric_limits<double>::infinity();
  MinimumPhaseImpulse(x.data(), 64, fft, half, work.data());
  EXPECT_FALSE(std::isfinite(x[20]));
  EXPECT_THROW(MinimumPhaseImpulse(x.data(), 64, fft, other, work.data()), TRavelinError);
}

// The remaining error is the cepstral aliasing of a zero at radius 0.5,
// about 0.5^(N/2) / (N/2).
TEST(MinimumPhase, ReflectsZerosOutsideTheUnitCircleInward) {
  ExpectStartsWith(MinimumPhaseOf({0.5, 1.0}, 5), {1.0, 0.5}, 1e-5);
  ExpectStartsWith(MinimumPhaseOf({1.0, 0.5}, 5), {1.0, 0.5}, 1e-5);
  // (1 - 2/z)(1 - 0.5/z) has the same magnitude as (2 - 1/z)(1 - 0.5/z).
  ExpectStartsWith(MinimumPhaseOf({1.0, -2.5, 1.0}, 6), {2.0, -2.0, 0.5}, 1e-8);
}

// (1 - 0.9/z)^7 and its time reverse, which has the same magnitudes: the
// phases sweep several turns either way, so the rebuild meets every quadrant
// with both signs. The bound is the rounding of the 1e-7 dip at 0 Hz.
TEST(MinimumPhase, HighOrderResponseKeepsItsPhaseOverSeveralTurns) {
  std::vector<double> h{1.0};
  for (int m = 0; m < 7; ++m) {
    h.push_back(0.0);
    for (std::size_t j = h.size() - 1; j > 0; --j)
      h[j] -= 0.9 * h[j - 1];
  }
  ExpectStartsWith(MinimumPhaseOf(h, 10), h, 1e-8);
  ExpectStartsWith(MinimumPhaseOf(std::vector<double>(h.rbegin(), h.rend()), 10), h, 1e-8);
  // Far from 1 in level the logarithms' exponents change, not the result.
  for (const double level : {1e-150, 1e150}) {
    std::vector<double> scaled = h;
    for (double& v : scaled)
      v *= level;
    const std::vector<double> x = MinimumPhaseOf(scaled, 10);
    for (std::size_t j = 0; j < x.size(); ++j)
      ASSERT_NEAR(x[j] / level, j < h.size() ? h[j] : 0.0, 1e-8) << level << " sample " << j;
  }
}

// Non-finite input must give a non-finite result, never finite numbers.
TEST(MinimumPhase, NonFiniteBinSpreadsIntoTheResult) {
  for (const double bad :
       {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
    constexpr int32_t n = 64;
    const TFastFourierTransform fft(6);
    std::vector<double> x(n, 1.0);
    x[10] = bad;
    std::vector<double> work(n / 2 + 1);
    MinimumPhaseSpectrum(x.data(), n, fft, work.data());
    EXPECT_FALSE(std::isfinite(x[20])) << bad;
  }
}

TEST(MinimumPhase, DelayedImpulseMovesToTheStart) {
  ExpectStartsWith(MinimumPhaseOf({0.0, 0.0, 0.0, 1.0}, 5), {1.0}, 1e-14);
}

TEST(MinimumPhase, SpectrumKeepsEveryMagnitudeAndReportsThemInWork) {
  constexpr int32_t n = 64;
  const TFastFourierTransform fft(6);
  std::vector<double> x(n, 0.0);
  const double head[] = {0.3, -1.2, 0.8, 0.1, -0.4, 0.05};
  std::copy(std::begin(head), std::end(head), x.begin());
  fft.Forward(x.data());
  x[0] = -2.0; // a negative value at 0 Hz comes back as its magnitude
  const std::vector<double> spectrum = x;
  std::vector<double> work(n / 2 + 1);
  MinimumPhaseSpectrum(x.data(), n, fft, work.data());

  EXPECT_EQ(x[0], 2.0);
  EXPECT_EQ(work[0], 2.0);
  EXPECT_EQ(x[1], std::fabs(spectrum[1]));
  EXPECT_EQ(work[1], std::fabs(spectrum[1]));
  for (std::size_t k = 1; k < n / 2; ++k) {
    const double before = std::hypot(spectrum[2 * k], spectrum[2 * k + 1]);
    EXPECT_NEAR(work[k + 1], before, 1e-15 * before) << k;
    EXPECT_NEAR(std::hypot(x[2 * k], x[2 * k + 1]), before, 1e-14 * before) << k;
  }
}

TEST(MinimumPhase, FlatSpectrumBecomesRealWithZeroPhase) {
  constexpr int32_t n = 32;
  const TFastFourierTransform fft(5);
  std::vector<double> x(n);
  x[0] = 3.0;
  x[1] = -3.0;
  for (std::size_t k = 1; k < n / 2; ++k) { // magnitude 3, phase varying
    x[2 * k] = 3.0 * std::cos(0.7 * static_cast<double>(k));
    x[2 * k + 1] = 3.0 * std::sin(0.7 * static_cast<double>(k));
  }
  std::vector<double> work(n / 2 + 1);
  MinimumPhaseSpectrum(x.data(), n, fft, work.data());
  for (std::size_t j = 0; j < n; ++j)
    EXPECT_NEAR(x[j], (j < 2 || j % 2 == 0) ? 3.0 : 0.0, 1e-14) << j;
}

// A zero magnitude must not make the result non-finite: silence stays silence,
// and an exact zero among other bins stays zero while the rest stays finite.
TEST(MinimumPhase, ZeroMagnitudesGiveFiniteResults) {
  const std::vector<double> silence = MinimumPhaseOf({}, 5);
  for (const double v : silence)
    EXPECT_EQ(v, 0.0);

  constexpr int32_t n = 32;
  const TFastFourierTransform fft(5);
  std::vector<double> x(n, 1.0);
  x[1] = 0.0;        // Nyquist
  x[6] = x[7] = 0.0; // bin 3
  std::vector<double> work(n / 2 + 1);
  MinimumPhaseSpectrum(x.data(), n, fft, work.data());
  for (const double v : x)
    EXPECT_TRUE(std::isfinite(v));
  EXPECT_EQ(x[1], 0.0);
  EXPECT_EQ(x[6], 0.0);
  EXPECT_EQ(std::fabs(x[7]), 0.0);
  EXPECT_NEAR(std::hypot(x[4], x[5]), std::sqrt(2.0), 1e-14);
}

} // namespace
} // namespace ravelin
