#include "errors.h"
#include "fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace ravelin {
namespace {

constexpr double Eps = std::numeric_limits<double>::epsilon();

std::vector<double> RandomSignal(std::size_t n, unsigned seed) {
  std::mt19937_64 generator(seed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<double> x(n);
  for (double& v : x)
    v = uniform(generator);
  return x;
}

// cos and sin of 2*pi*m/N for 0 <= m < N, in long double.
struct TRootTable {
  explicit TRootTable(std::size_t n) : Cos(n), Sin(n) {
    for (std::size_t m = 0; m < n; ++m) {
      const long double angle =
          2 * std::numbers::pi_v<long double> * static_cast<long double>(m) / static_cast<long double>(n);
      Cos[m] = std::cos(angle);
      Sin[m] = std::sin(angle);
    }
  }
  std::vector<long double> Cos, Sin;
};

// Packed spectrum of x with the positive exponent, by the plain DFT sum.
std::vector<long double> ReferenceForward(const std::vector<double>& x) {
  const std::size_t n = x.size();
  const TRootTable roots(n);
  std::vector<long double> packed(n);
  for (std::size_t k = 0; k <= n / 2; ++k) {
    long double re = 0, im = 0;
    for (std::size_t j = 0; j < n; ++j) {
      const std::size_t m = (j * k) % n;
      const auto value = static_cast<long double>(x[j]);
      re += value * roots.Cos[m];
      im += value * roots.Sin[m];
    }
    if (k == 0)
      packed[0] = re;
    else if (k == n / 2)
      packed[1] = re;
    else {
      packed[2 * k] = re;
      packed[2 * k + 1] = im;
    }
  }
  return packed;
}

// N/2 times the signal whose packed spectrum is given.
std::vector<long double> ReferenceInverse(const std::vector<double>& packed) {
  const std::size_t n = packed.size();
  const TRootTable roots(n);
  std::vector<long double> x(n);
  for (std::size_t j = 0; j < n; ++j) {
    long double sum = static_cast<long double>(packed[0] + ((j % 2 == 0) ? packed[1] : -packed[1])) / 2;
    for (std::size_t k = 1; k < n / 2; ++k) {
      const std::size_t m = (j * k) % n;
      sum += static_cast<long double>(packed[2 * k]) * roots.Cos[m] +
             static_cast<long double>(packed[2 * k + 1]) * roots.Sin[m];
    }
    x[j] = sum;
  }
  return x;
}

// ||result - reference||_2 / ||reference||_2.
double RelativeError(const std::vector<double>& result, const std::vector<long double>& reference) {
  long double error = 0, norm = 0;
  for (std::size_t i = 0; i < result.size(); ++i) {
    const long double d = static_cast<long double>(result[i]) - reference[i];
    error += d * d;
    norm += reference[i] * reference[i];
  }
  return static_cast<double>(std::sqrt(error / norm));
}

// Rounding errors of a radix-2/4 transform with correctly rounded twiddles
// grow at most linearly with the number of stages, a fraction of eps per stage
// relative to the L2 norm (in the mean only ~sqrt(log2 N) eps: measured 1.4 eps
// at N = 4096). log2(N) eps leaves a margin of 4 to 8 times the measured errors
// at every order and fails for any wrong twiddle, sign or index, which all give
// errors of order 1.
double ErrorBound(int order) {
  return order * Eps;
}

TEST(FastFourierTransform, ForwardAndInverseMatchLongDoubleDftForOrders2To12) {
  for (int order = 2; order <= 12; ++order) {
    SCOPED_TRACE(order);
    const TFastFourierTransform fft(order);
    const std::size_t n = std::size_t{1} << order;

    const std::vector<double> signal = RandomSignal(n, 100u + static_cast<unsigned>(order));
    std::vector<double> spectrum = signal;
    fft.Forward(spectrum.data());
    EXPECT_LE(RelativeError(spectrum, ReferenceForward(signal)), ErrorBound(order));

    const std::vector<double> packed = RandomSignal(n, 200u + static_cast<unsigned>(order));
    std::vector<double> result = packed;
    fft.Inverse(result.data());
    EXPECT_LE(RelativeError(result, ReferenceInverse(packed)), ErrorBound(order));
  }
}

// Bins of the packed spectrum (and samples of the inverse) that the checks
// at the larger orders look at: the first ten, the split step's special bins
// N/8 and N/4 with their neighbours, the last, and a spread of others.
std::vector<std::size_t> SampledBins(std::size_t n) {
  std::vector<std::size_t> bins{n / 8 - 1, n / 8, n / 8 + 1, n / 4 - 1, n / 4, n / 4 + 1, n / 2 - 1};
  for (std::size_t k = 0; k < 10; ++k)
    bins.push_back(k);
  for (std::size_t k = 10; k < n / 2; k += n / 2 / 37)
    bins.push_back(k);
  return bins;
}

// The orders whose top stages take their twiddles from the two-level root
// table (the order 14 and 15 transforms have none, for comparison), checked
// with random data against the long double DFT on a sample of bins.
TEST(FastFourierTransform, ForwardAndInverseMatchLongDoubleDftOnSampledBinsForOrders14To17) {
  for (int order = 14; order <= 17; ++order) {
    SCOPED_TRACE(order);
    const TFastFourierTransform fft(order);
    const std::size_t n = std::size_t{1} << order;
    const TRootTable roots(n);
    const std::vector<std::size_t> bins = SampledBins(n);

    const std::vector<double> signal = RandomSignal(n, 300u + static_cast<unsigned>(order));
    std::vector<double> spectrum = signal;
    fft.Forward(spectrum.data());
    std::vector<double> result, inverseResult;
    std::vector<long double> reference, inverseReference;
    const std::vector<double> packed = RandomSignal(n, 400u + static_cast<unsigned>(order));
    std::vector<double> inverse = packed;
    fft.Inverse(inverse.data());
    for (const std::size_t k : bins) {
      long double re = 0, im = 0;
      for (std::size_t j = 0; j < n; ++j) {
        const std::size_t m = (j * k) % n;
        re += static_cast<long double>(signal[j]) * roots.Cos[m];
        im += static_cast<long double>(signal[j]) * roots.Sin[m];
      }
      result.push_back(spectrum[2 * k]);
      reference.push_back(re);
      if (k > 0) {
        result.push_back(spectrum[2 * k + 1]);
        reference.push_back(im);
      }
      // Sample k of the inverse.
      long double x = static_cast<long double>(packed[0] + ((k % 2 == 0) ? packed[1] : -packed[1])) / 2;
      for (std::size_t b = 1; b < n / 2; ++b) {
        const std::size_t m = (k * b) % n;
        x += static_cast<long double>(packed[2 * b]) * roots.Cos[m] +
             static_cast<long double>(packed[2 * b + 1]) * roots.Sin[m];
      }
      inverseResult.push_back(inverse[k]);
      inverseReference.push_back(x);
    }
    EXPECT_LE(RelativeError(result, reference), ErrorBound(order));
    EXPECT_LE(RelativeError(inverseResult, inverseReference), ErrorBound(order));
  }
}

TEST(FastFourierTransform, SmallestSizesFollowTheirClosedForms) {
  const TFastFourierTransform fft(2);
  std::vector<double> x{1.0, 2.0, 4.0, 8.0};
  fft.Forward(x.data());
  EXPECT_EQ(x, (std::vector<double>{15.0, -5.0, -3.0, -6.0}));
  fft.Inverse(x.data());
  EXPECT_EQ(x, (std::vector<double>{2.0, 4.0, 8.0, 16.0}));

  const TFastFourierTransform fft8(3);
  EXPECT_EQ(fft8.Size(), 8);
  EXPECT_EQ(fft8.Order(), 3);
  EXPECT_EQ(fft8.InverseScale(), 0.25);
  const std::vector<double> signal{1, -2, 3, 0.5, 0, 7, -1, 2};
  std::vector<double> y = signal;
  fft8.Forward(y.data());
  fft8.Inverse(y.data());
  for (std::size_t j = 0; j < y.size(); ++j)
    EXPECT_NEAR(y[j], 4.0 * signal[j], 1e-14);
}

TEST(FastFourierTransform, RejectsOrdersOutsideTwoTo27) {
  EXPECT_THROW(TFastFourierTransform(1), TRavelinError);
  EXPECT_THROW(TFastFourierTransform(28), TRavelinError);
  EXPECT_THROW(TFastFourierTransform(-3), TRavelinError);
}

// At 2^22 the impulse delayed by d samples has the spectrum exp(+2 pi i d k/N):
// every bin checks one twiddle path against a long double root.
TEST(FastFourierTransform, KnownTransformsAtOrder22) {
  constexpr int order = 22;
  const TFastFourierTransform fft(order);
  const std::size_t n = std::size_t{1} << order;
  std::vector<double> x(n, 0.0);

  x[0] = 1.0;
  fft.Forward(x.data());
  EXPECT_EQ(x[0], 1.0);
  EXPECT_EQ(x[1], 1.0);
  double worst = 0.0;
  for (std::size_t k = 1; k < n / 2; ++k)
    worst = std::max({worst, std::fabs(x[2 * k] - 1.0), std::fabs(x[2 * k + 1])});
  EXPECT_LE(worst, 1e-15);

  const std::size_t delay = 1234567;
  std::fill(x.begin(), x.end(), 0.0);
  x[delay] = 1.0;
  fft.Forward(x.data());
  const long double step = 2 * std::numbers::pi_v<long double> / static_cast<long double>(n);
  worst = std::fabs(x[0] - 1.0) + std::fabs(x[1] + 1.0);
  for (std::size_t k = 1; k < n / 2; ++k) {
    const long double angle = step * static_cast<long double>((delay * k) % n);
    worst =
        std::max({worst, static_cast<double>(std::fabs(static_cast<long double>(x[2 * k]) - std::cos(angle))),
                  static_cast<double>(std::fabs(static_cast<long double>(x[2 * k + 1]) - std::sin(angle)))});
  }
  EXPECT_LE(worst, ErrorBound(order));

  for (std::size_t j = 0; j < n; ++j)
    x[j] = std::sin(2 * std::numbers::pi * static_cast<double>(j) / static_cast<double>(n));
  fft.Forward(x.data());
  EXPECT_NEAR(x[3], static_cast<double>(n / 2), 1e-6);
  x[3] = 0.0;
  worst = 0.0;
  for (const double v : x)
    worst = std::max(worst, std::fabs(v));
  EXPECT_LE(worst, 1e-6); // rounding of n/2 * 2^22 terms of size ~1
}

TEST(FastFourierTransform, RoundTripAtOrder20RestoresTheSignal) {
  constexpr int order = 20;
  const TFastFourierTransform fft(order);
  const std::vector<double> signal = RandomSignal(std::size_t{1} << order, 7);
  std::vector<double> x = signal;
  fft.Forward(x.data());
  fft.Inverse(x.data());
  fft.Scale(x.data(), fft.InverseScale());
  double error = 0.0, norm = 0.0;
  for (std::size_t j = 0; j < x.size(); ++j) {
    error += (x[j] - signal[j]) * (x[j] - signal[j]);
    norm += signal[j] * signal[j];
  }
  EXPECT_LE(std::sqrt(error / norm), 2 * ErrorBound(order));
}

// Multiplying spectra is circular convolution of the signals, whatever the
// sign convention, so this checks Forward, Multiply and Inverse together.
TEST(FastFourierTransform, MultiplyOfSpectraIsCircularConvolution) {
  constexpr int order = 6;
  const TFastFourierTransform fft(order);
  const auto n = static_cast<std::size_t>(fft.Size());
  const std::vector<double> x = RandomSignal(n, 11), h = RandomSignal(n, 12);
  std::vector<double> a = x, b = h;
  fft.Forward(a.data());
  fft.Forward(b.data());
  fft.Multiply(a.data(), b.data());
  fft.Inverse(a.data());
  fft.Scale(a.data(), fft.InverseScale());
  for (std::size_t j = 0; j < n; ++j) {
    double expected = 0.0;
    for (std::size_t i = 0; i < n; ++i)
      expected += x[i] * h[(j + n - i) % n];
    EXPECT_NEAR(a[j], expected, 1e-12) << j;
  }

  // Divide undoes Multiply.
  std::vector<double> c = x;
  fft.Forward(c.data());
  std::vector<double> product = c;
  fft.Multiply(product.data(), b.data());
  fft.Divide(product.data(), b.data());
  for (std::size_t j = 0; j < n; ++j)
    EXPECT_NEAR(product[j], c[j], 1e-12 * std::fabs(c[j]) + 1e-13) << j;
}

TEST(FastFourierTransform, ZeroAndNyquistTermsAreIndependentReals) {
  const TFastFourierTransform fft(2);
  std::vector<double> a{2.0, 3.0, 1.0, 2.0};
  const std::vector<double> b{5.0, -7.0, 3.0, 4.0};
  fft.Multiply(a.data(), b.data());
  EXPECT_EQ(a, (std::vector<double>{10.0, -21.0, 1.0 * 3.0 - 2.0 * 4.0, 1.0 * 4.0 + 2.0 * 3.0}));
  fft.Divide(a.data(), b.data());
  EXPECT_EQ(a, (std::vector<double>{2.0, 3.0, 1.0, 2.0}));

  std::vector<double> c{1.0, -1.0, 1.0, 1.0};
  const std::vector<double> zero{0.0, 0.0, 0.0, 0.0};
  fft.Divide(c.data(), zero.data());
  EXPECT_TRUE(std::isinf(c[0]) && c[0] > 0);
  EXPECT_TRUE(std::isinf(c[1]) && c[1] < 0);
  EXPECT_FALSE(std::isfinite(c[2]));
  EXPECT_FALSE(std::isfinite(c[3]));

  std::vector<double> d{1.0, 2.0, 3.0, 4.0};
  fft.Scale(d.data(), -0.5);
  EXPECT_EQ(d, (std::vector<double>{-0.5, -1.0, -1.5, -2.0}));
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// Every wide path must give the SSE2 path's results bit for bit (stored
// files may not depend on the processor), at every size, since each size
// takes its own mix of full, narrow and single-value code. A path the
// processor lacks falls back to the best one it has.
TEST(FastFourierTransform, WidePathsMatchTheSse2PathBitForBit) {
  bool compared = false;
  for (const TSimdPath path : {TSimdPath::Avx2, TSimdPath::Avx512}) {
    SCOPED_TRACE(SimdPathName(path));
    if (path > BestSimdPath()) {
      EXPECT_EQ(TFastFourierTransform(TFastFourierTransform::MinOrder, path).SimdPath(), BestSimdPath());
      continue;
    }
    compared = true;
    for (int order = TFastFourierTransform::MinOrder; order <= 24; ++order) {
      SCOPED_TRACE(order);
      const TFastFourierTransform narrow(order, TSimdPath::Sse2), wide(order, path);
      ASSERT_EQ(wide.SimdPath(), path);
      const std::size_t n = std::size_t{1} << order;
      std::vector<double> a = RandomSignal(n, static_cast<unsigned>(order)), b = a;
      narrow.Forward(a.data());
      wide.Forward(b.data());
      EXPECT_TRUE(SameBits(a, b)) << "Forward";
      const std::vector<double> spectrum = a;
      std::vector<double> c = RandomSignal(n, 50u + static_cast<unsigned>(order)), d = c;
      narrow.Inverse(c.data());
      wide.Inverse(d.data());
      EXPECT_TRUE(SameBits(c, d)) << "Inverse";
      narrow.Multiply(a.data(), c.data());
      wide.Multiply(b.data(), c.data());
      EXPECT_TRUE(SameBits(a, b)) << "Multiply";
      narrow.Divide(a.data(), spectrum.data());
      wide.Divide(b.data(), spectrum.data());
      EXPECT_TRUE(SameBits(a, b)) << "Divide";
      narrow.Scale(a.data(), 0.1);
      wide.Scale(b.data(), 0.1);
      EXPECT_TRUE(SameBits(a, b)) << "Scale";
    }
  }
  if (!compared)
    GTEST_SKIP() << "the processor has no wide path";
}

// A large transform shared with the worker team must give one thread's
// results bit for bit on every path, at both first sizes.
TEST(FastFourierTransform, SharedWorkMatchesOneThreadBitForBit) {
  for (const TSimdPath path : {TSimdPath::Sse2, TSimdPath::Avx2, TSimdPath::Avx512}) {
    if (path > BestSimdPath())
      continue;
    SCOPED_TRACE(SimdPathName(path));
    for (int order = TFastFourierTransform::ParallelOrder; order <= 22; ++order) {
      SCOPED_TRACE(order);
      const TFastFourierTransform alone(order, path, false), shared(order, path);
      const std::size_t n = std::size_t{1} << order;
      std::vector<double> a = RandomSignal(n, 7u + static_cast<unsigned>(order)), b = a;
      alone.Forward(a.data());
      shared.Forward(b.data());
      EXPECT_TRUE(SameBits(a, b)) << "Forward";
      alone.Inverse(a.data());
      shared.Inverse(b.data());
      EXPECT_TRUE(SameBits(a, b)) << "Inverse";
    }
  }
}

// CTest runs this program once per path with RAVELIN_SIMD set: new transforms
// must then use that path, or skip where the processor lacks it; an unknown
// name leaves the best path.
TEST(FastFourierTransform, RavelinSimdSelectsTheDefaultPath) {
  const char* forced = std::getenv("RAVELIN_SIMD");
  if (forced == nullptr)
    GTEST_SKIP() << "RAVELIN_SIMD is not set";
  for (const TSimdPath path : {TSimdPath::Sse2, TSimdPath::Avx2, TSimdPath::Avx512}) {
    if (std::strcmp(forced, SimdPathName(path)) != 0)
      continue;
    if (path > BestSimdPath())
      GTEST_SKIP() << "the processor lacks " << forced;
    EXPECT_EQ(TFastFourierTransform(10).SimdPath(), path);
    EXPECT_EQ(DefaultSimdPath(), path);
    return;
  }
  EXPECT_EQ(DefaultSimdPath(), BestSimdPath()) << "unknown path " << forced;
}

} // namespace
} // namespace ravelin
