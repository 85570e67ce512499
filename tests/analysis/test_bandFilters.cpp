#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <vector>

#include "bandFilters.h"

namespace {

using ravelin::TBand;
using ravelin::TBandWidth;

// The bands offered: 63 Hz to 8 kHz octaves, 50 Hz to 10 kHz thirds, only
// those whose upper edge lies below Nyquist.
TEST(BandFilters, BandsUpToNyquist) {
  struct TCase {
    TBandWidth Width;
    int32_t Rate;
    size_t Count;
    double First, Last;
  };
  const TCase cases[] = {{TBandWidth::Octave, 48000, 8, 63, 8000},  {TBandWidth::Octave, 16000, 7, 63, 4000},
                         {TBandWidth::Third, 48000, 24, 50, 10000}, {TBandWidth::Third, 22050, 23, 50, 8000},
                         {TBandWidth::Third, 16000, 22, 50, 6300},  {TBandWidth::Octave, 100, 0, 0, 0}};
  for (const TCase& c : cases) {
    const std::vector<TBand> bands = ravelin::AnalysisBands(c.Width, c.Rate);
    SCOPED_TRACE(c.Rate);
    ASSERT_EQ(bands.size(), c.Count);
    if (c.Count == 0)
      continue;
    EXPECT_EQ(bands.front().NominalHz, c.First);
    EXPECT_EQ(bands.back().NominalHz, c.Last);
    for (const TBand& band : bands) {
      EXPECT_NEAR(band.MidHz / band.NominalHz, 1.0, 0.03) << band.NominalHz;
      EXPECT_LT(band.MidHz * std::pow(10.0, 0.15 / band.Fraction), c.Rate / 2.0);
    }
  }
  EXPECT_DOUBLE_EQ(ravelin::AnalysisBands(TBandWidth::Third, 48000)[13].MidHz, 1000.0);
}

// The class 1 limits of relative attenuation (dB) at octave-normalised
// frequencies G^p above mid-band (and symmetrically below), mapped onto
// 1/b-octave bands by Omega_b = 1 + (G^(1/2b) - 1) / (G^(1/2) - 1) (Omega - 1).
struct TLimit {
  double Power, Least, Most;
};
constexpr double Open = std::numeric_limits<double>::infinity();
constexpr TLimit Class1[] = {{0, -0.4, 0.4},     {0.125, -0.4, 0.5}, {0.25, -0.4, 0.7},
                             {0.375, -0.4, 1.4}, {0.5, -0.4, 5.3},   {1, 16.6, Open},
                             {2, 40.5, Open},    {3, 60, Open},      {4, 70, Open}};

// Attenuation of the filtered impulse's spectrum at f (a direct DTFT of the
// filter's output, not the designed magnitude).
double AttenuationDb(const std::vector<float>& impulseResponse, double f, int32_t rate) {
  std::complex<double> sum = 0.0;
  const std::complex<double> step = std::polar(1.0, -2.0 * std::numbers::pi * f / rate);
  std::complex<double> turn = 1.0;
  for (size_t n = 0; n < impulseResponse.size(); ++n, turn *= step)
    sum += static_cast<double>(impulseResponse[n]) * turn;
  return -20.0 * std::log10(std::abs(sum));
}

// Both phases meet the limits; the reversed filter's response lies ahead of
// the impulse.
TEST(BandFilters, FiltersMeetTheClass1Limits) {
  const int32_t rate = 48000, length = 96000, centre = length / 2;
  std::vector<float> impulse(static_cast<size_t>(length), 0.0f);
  impulse[centre] = 1.0f;
  const ravelin::TBandFilterBank bank(impulse.data(), length, rate);
  const double g = std::pow(10.0, 0.3);
  for (ravelin::TBandPhase phase : {ravelin::TBandPhase::Zero, ravelin::TBandPhase::Reversed})
    for (TBandWidth width : {TBandWidth::Octave, TBandWidth::Third}) {
      const std::vector<TBand> bands = ravelin::AnalysisBands(width, rate);
      for (const TBand& band : {bands.front(), bands[bands.size() / 2], bands.back()}) {
        const std::vector<float> response = bank.Filter(band, phase);
        const double scale = (std::pow(g, 0.5 / band.Fraction) - 1.0) / (std::sqrt(g) - 1.0);
        SCOPED_TRACE(testing::Message()
                     << band.NominalHz << " Hz 1/" << band.Fraction << " phase " << static_cast<int>(phase));
        for (const TLimit& limit : Class1)
          for (int side : {1, -1}) {
            const double omega = 1.0 + scale * (std::pow(g, limit.Power) - 1.0);
            const double f = band.MidHz * std::pow(omega, side);
            if (f >= rate / 2.0)
              continue;
            const double attenuation = AttenuationDb(response, f, rate);
            SCOPED_TRACE(f);
            EXPECT_GE(attenuation, limit.Least);
            EXPECT_LE(attenuation, limit.Most);
          }
        if (phase == ravelin::TBandPhase::Reversed) {
          double ahead = 0.0, after = 0.0;
          for (size_t i = 0; i < response.size(); ++i)
            (static_cast<int32_t>(i) <= bank.Lead() + centre ? ahead : after) +=
                static_cast<double>(response[i]) * static_cast<double>(response[i]);
          EXPECT_LT(after, 1e-3 * ahead);
        }
      }
    }
}

// The reduced-rate zero-phase filtering gives every step-th sample of the
// full-rate one; the lowest third is reduced the most, the highest not at all.
TEST(BandFilters, ReducedRateKeepsTheSamples) {
  const int32_t rate = 48000, length = 48000;
  std::vector<float> response(static_cast<size_t>(length));
  for (size_t i = 0; i < response.size(); ++i)
    response[i] = static_cast<float>(std::exp(-0.001 * static_cast<double>(i)) *
                                     std::sin(0.37 * static_cast<double>(i * i % 1009)));
  const ravelin::TBandFilterBank bank(response.data(), length, rate);
  const std::vector<TBand> bands = ravelin::AnalysisBands(TBandWidth::Third, rate);
  std::vector<double> work;
  std::vector<float> reduced;
  for (const TBand& band : {bands.front(), bands[13], bands.back()}) {
    const int32_t step = bank.FilterReduced(band, work, reduced);
    const std::vector<float> full = bank.Filter(band, ravelin::TBandPhase::Zero);
    SCOPED_TRACE(testing::Message() << band.NominalHz << " Hz, step " << step);
    EXPECT_EQ(step, band.NominalHz == 50 ? 64 : band.NominalHz == 10000 ? 1 : 4);
    ASSERT_EQ(reduced.size(), (full.size() + static_cast<size_t>(step) - 1) / static_cast<size_t>(step));
    const float peak = *std::max_element(full.begin(), full.end());
    for (size_t m = 0; m < reduced.size(); ++m)
      ASSERT_NEAR(reduced[m], full[m * static_cast<size_t>(step)], 1e-3f * peak) << m;
  }
}

} // namespace
