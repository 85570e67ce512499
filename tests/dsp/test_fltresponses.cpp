#include "bifilters.h"
#include "fltresponses.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

using namespace ravelin;

namespace {

// Magnitude of a biquad at digital frequency w (radians per sample), evaluated
// with complex arithmetic as an independent check of BiquadMagnitude.
double BiquadAt(const TBiquadCoefficients& c, double w) {
  const std::complex<double> z1 = std::polar(1.0, -w), z2 = z1 * z1;
  return std::abs((c.B0 + c.B1 * z1 + c.B2 * z2) / (1.0 + c.A1 * z1 + c.A2 * z2));
}

// Analog second-order sections at x = frequency / corner.
double AnalogLowPass(double x) {
  const double q = static_cast<double>(CutQ);
  return 1.0 / std::sqrt((1 - x * x) * (1 - x * x) + (x / q) * (x / q));
}
double AnalogHighPass(double x) {
  return x * x * AnalogLowPass(x);
}

double Db(double v) {
  return 20.0 * std::log10(v);
}

// Cut response on a grid of 1 Hz bins (fs = 48000, N = 48000, bins 0 .. 24000).
std::vector<double> CutGrid(TBiquadKind kind, double corner, double start = 1.0) {
  constexpr uint32_t Count = 24001;
  const TBiquadCoefficients c = DesignBiquad(kind, static_cast<float>(CutPrototypeCorner), CutQ, 48000.0f);
  std::vector<double> response(Count, start), scratch(Count);
  CutResponse(response.data(), scratch.data(), Count, corner, CutPrototypeCorner, c);
  return response;
}

} // namespace

TEST(DesignBiquad, UnityPassBandZeroStopBandAndQAtTheCorner) {
  constexpr float Fs = 48000.0f, F = 1000.0f, Q = 0.9f;
  const double w0 = 2.0 * std::numbers::pi * 1000.0 / 48000.0;
  const TBiquadCoefficients lp = DesignBiquad(TBiquadKind::LowPass, F, Q, Fs);
  const TBiquadCoefficients hp = DesignBiquad(TBiquadKind::HighPass, F, Q, Fs);
  EXPECT_NEAR(BiquadAt(lp, 0.0), 1.0, 1e-12);
  EXPECT_NEAR(BiquadAt(lp, std::numbers::pi), 0.0, 1e-12);
  EXPECT_NEAR(BiquadAt(hp, 0.0), 0.0, 1e-12);
  EXPECT_NEAR(BiquadAt(hp, std::numbers::pi), 1.0, 1e-12);
  // Pre-warping puts the design frequency exactly at |H| = Q.
  EXPECT_NEAR(BiquadAt(lp, w0), 0.9, 1e-6);
  EXPECT_NEAR(BiquadAt(hp, w0), 0.9, 1e-6);
}

TEST(BiquadMagnitude, MultipliesByTheMagnitudeOfTheSection) {
  const TBiquadCoefficients c = DesignBiquad(TBiquadKind::LowPass, 3000.0f, 0.7f, 44100.0f);
  std::vector<double> grid, response;
  for (int i = 0; i <= 64; ++i) {
    grid.push_back(i / 64.0);
    response.push_back(0.5 + i);
  }
  BiquadMagnitude(grid.data(), static_cast<uint32_t>(grid.size()), response.data(), c);
  for (size_t i = 0; i < grid.size(); ++i)
    EXPECT_NEAR(response[i], (0.5 + static_cast<double>(i)) * BiquadAt(c, std::numbers::pi * grid[i]), 1e-9)
        << i;
}

// Angles below 0.0625 rad, where the cut filters' grids lie, around the corner
// of a section at 200 Hz (0.028 rad): to rounding of the library's cos and sin.
TEST(BiquadMagnitude, SmallAnglesAreExactToRounding) {
  const TBiquadCoefficients c = DesignBiquad(TBiquadKind::LowPass, 200.0f, 0.7f, 44100.0f);
  std::vector<double> grid, response;
  for (int i = 0; i < 600; ++i) {
    grid.push_back(i * 3e-5);
    response.push_back(1.0);
  }
  BiquadMagnitude(grid.data(), static_cast<uint32_t>(grid.size()), response.data(), c);
  for (size_t i = 0; i < grid.size(); ++i) {
    const double expected = BiquadAt(c, std::numbers::pi * grid[i]);
    ASSERT_NEAR(response[i], expected, 1e-11 * expected) << i;
  }
}

TEST(CutResponse, CornerIsMinus3dBForBothKinds) {
  for (double corner : {20.0, 100.0, 1000.0, 15000.0}) {
    const size_t bin = static_cast<size_t>(corner);
    EXPECT_NEAR(Db(CutGrid(TBiquadKind::HighPass, corner)[bin]), -3.0, 0.005) << corner;
    EXPECT_NEAR(Db(CutGrid(TBiquadKind::LowPass, corner)[bin]), -3.0, 0.005) << corner;
  }
}

TEST(CutResponse, ValuesAtOneKilohertz) {
  EXPECT_NEAR(CutGrid(TBiquadKind::LowPass, 1000.0)[8333], 0.0144, 0.00005);
  EXPECT_NEAR(CutGrid(TBiquadKind::HighPass, 1000.0)[480], 0.2246, 0.0001);
  EXPECT_EQ(CutGrid(TBiquadKind::HighPass, 1000.0)[0], 0.0);
  // The prototype sits 1e-12 of the sample rate above 0 Hz, so its pass band
  // carries the rounding of the coefficients: about 0.001 dB.
  EXPECT_NEAR(CutGrid(TBiquadKind::LowPass, 1000.0)[0], 1.0, 2e-4);
}

TEST(CutResponse, FollowsTheAnalogSectionAboveMinus20dB) {
  for (double corner : {0.1, 20.0, 100.0, 1000.0, 12000.0}) {
    const std::vector<double> lp = CutGrid(TBiquadKind::LowPass, corner);
    const std::vector<double> hp = CutGrid(TBiquadKind::HighPass, corner);
    for (size_t i = 1; i < lp.size(); ++i) {
      const double x = static_cast<double>(i) / corner;
      const double tolerance = std::abs(x - 1.0) < 0.5 ? 0.01 : 0.2;
      if (AnalogLowPass(x) > 0.1) {
        ASSERT_NEAR(Db(lp[i]), Db(AnalogLowPass(x)), tolerance) << corner << " Hz, bin " << i;
      }
      if (AnalogHighPass(x) > 0.1) {
        ASSERT_NEAR(Db(hp[i]), Db(AnalogHighPass(x)), tolerance) << corner << " Hz, bin " << i;
      }
    }
  }
}

// A corner below the prototype's puts bins beyond the design's Nyquist
// frequency: they take its value there (no aliases of the periodic response).
TEST(CutResponse, CornersBelowThePrototypeTakeTheNyquistValue) {
  const std::vector<double> lp = CutGrid(TBiquadKind::LowPass, 0.001);
  const std::vector<double> hp = CutGrid(TBiquadKind::HighPass, 0.001);
  EXPECT_NEAR(lp[0], 1.0, 2e-4);
  EXPECT_EQ(hp[0], 0.0);
  // Bin 1 (1 Hz) is 1000 times the corner: the low-pass is 1e-6 there and
  // falls from it; the high-pass is 1.
  for (size_t i = 1; i < lp.size(); ++i) {
    ASSERT_LT(lp[i], 1.01e-6) << i;
    ASSERT_NEAR(hp[i], 1.0, 1e-6) << i;
  }
}

TEST(CutResponse, MultipliesInPlaceSoTwoCallsCombine) {
  constexpr uint32_t Count = 24001;
  const float fs = 48000.0f, f = static_cast<float>(CutPrototypeCorner);
  std::vector<double> both(Count, 2.0), scratch(Count);
  CutResponse(both.data(), scratch.data(), Count, 100.0, CutPrototypeCorner,
              DesignBiquad(TBiquadKind::HighPass, f, CutQ, fs));
  CutResponse(both.data(), scratch.data(), Count, 5000.0, CutPrototypeCorner,
              DesignBiquad(TBiquadKind::LowPass, f, CutQ, fs));
  const std::vector<double> hp = CutGrid(TBiquadKind::HighPass, 100.0);
  const std::vector<double> lp = CutGrid(TBiquadKind::LowPass, 5000.0);
  for (uint32_t i = 0; i < Count; i += 97)
    EXPECT_NEAR(both[i], 2.0 * hp[i] * lp[i], 1e-12) << i;
}
