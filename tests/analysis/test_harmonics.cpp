#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <sstream>

#include "fft.h"
#include "harmonics.h"
#include "reportParser.h"

namespace {

using ravelin::TSweepParameters;

constexpr int32_t Rate = 48000;
constexpr int Order = 18; // transform of 2^18 samples: 5.46 s

// Full circular deconvolution of y by x (both from index 0): Y X* / (|X|^2 + eps),
// eps far below the sweep's band.
std::vector<double> Deconvolve(const std::vector<double>& y, const std::vector<double>& x) {
  const ravelin::TFastFourierTransform fft(Order);
  const auto n = static_cast<size_t>(fft.Size());
  std::vector<double> a(y), b(x);
  a.resize(n, 0.0);
  b.resize(n, 0.0);
  fft.Forward(a.data());
  fft.Forward(b.data());
  double peak = 0.0;
  for (size_t i = 0; i < n; ++i)
    peak = std::max(peak, b[i] * b[i]);
  const double eps = 1e-8 * peak;
  a[0] = a[0] * b[0] / (b[0] * b[0] + eps);
  a[1] = a[1] * b[1] / (b[1] * b[1] + eps);
  for (size_t k = 1; k < n / 2; ++k) {
    const double yr = a[2 * k], yi = a[2 * k + 1], xr = b[2 * k], xi = b[2 * k + 1];
    const double norm = xr * xr + xi * xi + eps;
    a[2 * k] = (yr * xr + yi * xi) / norm;
    a[2 * k + 1] = (yi * xr - yr * xi) / norm;
  }
  fft.Inverse(a.data());
  fft.Scale(a.data(), fft.InverseScale());
  return a;
}

// Half-Hann fades of 20 ms at both ends: the constant that x^2 holds then
// starts and stops without a click, which the deconvolution would spread over
// every order's window.
double Fade(size_t i, size_t length) {
  const double fade = 0.02 * Rate;
  const double edge = static_cast<double>(std::min(i, length - 1 - i));
  return edge >= fade ? 1.0 : 0.5 - 0.5 * std::cos(std::numbers::pi * edge / fade);
}

std::vector<double> Sweep(const TSweepParameters& sweep, double amplitude) {
  const double rateLog = std::log(sweep.EndHz / sweep.StartHz);
  std::vector<double> x(static_cast<size_t>(sweep.DurationS * Rate));
  for (size_t i = 0; i < x.size(); ++i) {
    const double t = static_cast<double>(i) / Rate;
    const double phase = 2.0 * std::numbers::pi * sweep.StartHz * sweep.DurationS / rateLog *
                         (std::exp(t * rateLog / sweep.DurationS) - 1.0);
    x[i] = amplitude * std::sin(phase) * Fade(i, x.size());
  }
  return x;
}

// |G| of the one-pole low-pass y[n] = (1 - c) x[n] + c y[n - 1] at f.
double LowPassGain(double c, double f) {
  return (1.0 - c) / std::abs(1.0 - c * std::polar(1.0, -2.0 * std::numbers::pi * f / Rate));
}

// y = x + a2 x^2 + a3 x^3 driven at amplitude A: order 2 is a2 A / 2 and
// order 3 a3 A^2 / 4 of the fundamental A (1 + 3 a3 A^2 / 4); no order 4.
// With x^2 through a low-pass G, order 2 at excitation f is scaled by |G(2 f)|.
TEST(Harmonics, PolynomialOrdersAtOneKilohertz) {
  const TSweepParameters sweep{50.0, 6000.0, 2.0};
  const double amplitude = 0.5, a2 = 0.1, a3 = 0.2;
  const std::vector<double> x = Sweep(sweep, amplitude);
  // Deconvolved by the unit-amplitude sweep, as the tone file holds it.
  const std::vector<double> divisor = Sweep(sweep, 1.0);
  for (double c : {0.0, 0.8}) {
    std::vector<double> y(x.size());
    double square = 0.0;
    for (size_t i = 0; i < x.size(); ++i) {
      square = (1.0 - c) * x[i] * x[i] + c * square;
      y[i] = x[i] + a2 * square + a3 * x[i] * x[i] * x[i];
    }
    const std::vector<double> full = Deconvolve(y, divisor);
    const ravelin::THarmonicCurves curves =
        ravelin::HarmonicDistortion(full.data(), static_cast<int32_t>(full.size()), 0, Rate, sweep, 4,
                                    {1000.0, 100.0, 3000.0, 7000.0}, 0);
    const double fundamental = 1.0 + 0.75 * a3 * amplitude * amplitude;
    const double h3 = a3 * amplitude * amplitude / 4.0 / fundamental;
    ASSERT_EQ(curves.OrderDb.size(), 3u);
    for (size_t i = 0; i < 2; ++i) {
      const double f = curves.FrequencyHz[i];
      const double h2 = a2 * amplitude / 2.0 * LowPassGain(c, 2.0 * f) / fundamental;
      SCOPED_TRACE(testing::Message() << f << " Hz, low-pass " << c);
      ASSERT_TRUE(curves.OrderDb[0][i] && curves.OrderDb[1][i] && curves.OrderDb[2][i] && curves.ThdPct[i]);
      EXPECT_NEAR(*curves.OrderDb[0][i], 20.0 * std::log10(h2), 1.0);
      EXPECT_NEAR(*curves.OrderDb[1][i], 20.0 * std::log10(h3), 1.0);
      EXPECT_LT(*curves.OrderDb[2][i], 20.0 * std::log10(h3) - 40.0);
      EXPECT_NEAR(*curves.ThdPct[i], 100.0 * std::hypot(h2, h3), 0.12 * 100.0 * std::hypot(h2, h3));
    }
    // At 3 kHz order 2 (6 kHz) and order 4 (12 kHz) are present; above the sweep nothing.
    EXPECT_TRUE(curves.OrderDb[0][2] && curves.OrderDb[2][2]);
    EXPECT_FALSE(curves.OrderDb[0][3] || curves.ThdPct[3]);
    EXPECT_TRUE(curves.Warnings.empty()) << curves.Warnings.front();
  }
}

// A decay longer than half the space between orders gives the warning, from
// the first order it reaches; so does one that outlasts the whole window its
// length is measured in (0.1 s: 20 ms against a decay of 200 ms).
TEST(Harmonics, ShortSweepWarnsOfOverlappingOrders) {
  std::mt19937 generator(5);
  std::normal_distribution<double> gauss(0.0, 1.0);
  std::vector<double> full(size_t{1} << Order);
  const double rt = 0.2; // s
  for (size_t i = 0; i < full.size(); ++i)
    full[i] =
        1e-4 * gauss(generator) +
        (i < full.size() / 2 ? std::pow(10.0, -3.0 * static_cast<double>(i) / (rt * Rate)) * gauss(generator)
                             : 0.0);
  struct TCase {
    double DurationS;
    int MaxOrder;
    int FirstOverlap; // 0: none
  };
  for (const TCase c : {TCase{16.0, 4, 0}, TCase{16.0, 6, 5}, TCase{8.0, 2, 0}, TCase{8.0, 3, 3},
                        TCase{1.0, 3, 2}, TCase{0.1, 3, 2}}) {
    const TSweepParameters sweep{20.0, 20000.0, c.DurationS};
    const ravelin::THarmonicCurves curves = ravelin::HarmonicDistortion(
        full.data(), static_cast<int32_t>(full.size()), 0, Rate, sweep, c.MaxOrder, {1000.0}, 3);
    SCOPED_TRACE(testing::Message() << c.DurationS << " s to order " << c.MaxOrder);
    if (c.FirstOverlap == 0) {
      EXPECT_TRUE(curves.Warnings.empty());
      continue;
    }
    ASSERT_EQ(curves.Warnings.size(), 1u);
    EXPECT_EQ(curves.Warnings[0].rfind(ravelin::OverlapWarning + std::to_string(c.FirstOverlap) + ":", 0), 0u)
        << curves.Warnings[0];
  }
}

// The curves' CSV: the header names every order, absent levels are empty.
TEST(Harmonics, CurvesCsv) {
  ravelin::THarmonicCurves curves;
  curves.FrequencyHz = {100.0, 1000.0};
  curves.OrderDb = {{-40.0, -41.5}, {-50.25, std::nullopt}};
  curves.ThdPct = {1.0, std::nullopt};
  std::ostringstream out;
  ravelin::WriteHarmonicCurves(out, curves);
  const auto records = ravelin::test::ParseCsv(out.str());
  const std::vector<std::vector<std::string>> expected = {{"frequency_hz", "h2_db", "h3_db", "thd_pct"},
                                                          {"100.00", "-40.00", "-50.25", "1.0000"},
                                                          {"1000.00", "-41.50", "", ""}};
  EXPECT_EQ(records, expected);
  const std::vector<double> grid = ravelin::HarmonicFrequencies({20.0, 20000.0, 1.0}, 32000);
  ASSERT_FALSE(grid.empty());
  EXPECT_GE(grid.front(), 20.0);
  EXPECT_LE(grid.back(), 16000.0);
  EXPECT_EQ(std::count(grid.begin(), grid.end(), 1000.0), 1);
}

} // namespace
