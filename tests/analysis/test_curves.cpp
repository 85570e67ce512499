#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <complex>
#include <numbers>
#include <random>
#include <sstream>

#include "curves.h"
#include "figures.h"
#include "reportParser.h"

namespace {

// Fractional-octave power averaging against a direct sum over every bin of
// the band.
TEST(Curves, SmoothingAveragesThePowerOverTheBand) {
  std::mt19937 generator(7);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::vector<double> power(1025);
  for (double& p : power)
    p = uniform(generator);
  const double binHz = 10.0;
  const std::vector<double> frequencies = {4.0, 15.0, 20.0, 100.0, 1234.5, 5000.0, 10240.0};
  for (int fraction : ravelin::SmoothingFractions) {
    const std::vector<double> smoothed = ravelin::SmoothPower(power, binHz, frequencies, fraction);
    ASSERT_EQ(smoothed.size(), frequencies.size());
    for (size_t i = 0; i < frequencies.size(); ++i) {
      const double f = frequencies[i];
      const double low = fraction > 0 ? f / std::pow(2.0, 1.0 / (2 * fraction)) : f;
      const double high = fraction > 0 ? f * std::pow(2.0, 1.0 / (2 * fraction)) : f;
      double sum = 0.0;
      int count = 0;
      for (size_t k = 0; k < power.size(); ++k)
        if (static_cast<double>(k) * binHz >= low && static_cast<double>(k) * binHz <= high) {
          sum += power[k];
          ++count;
        }
      const double want =
          count > 0 && fraction > 0
              ? sum / count
              : power[std::min(power.size() - 1, static_cast<size_t>(std::lround(f / binHz)))];
      EXPECT_NEAR(smoothed[i], want, 1e-12) << "1/" << fraction << " octave at " << f << " Hz";
    }
  }
}

// h = g (d[n - D] + a d[n - D - 1]): magnitude, phase and group delay in closed form.
TEST(Curves, FrequencyCurvesOfATwoTapResponse) {
  const int32_t rate = 48000, delay = 100;
  const double gain = 0.5, echo = -0.6;
  std::vector<float> response(1000, 0.0f);
  response[delay] = static_cast<float>(gain);
  response[delay + 1] = static_cast<float>(gain * echo);
  const ravelin::TResponseCurves curves = ravelin::ResponseCurves(response.data(), 1000, rate, 0);
  ASSERT_FALSE(curves.FrequencyHz.empty());
  EXPECT_DOUBLE_EQ(curves.FrequencyHz.front(), 46.875); // bin 1 of 1024
  EXPECT_DOUBLE_EQ(curves.FrequencyHz.back(), rate / 2.0);
  for (size_t i = 0; i < curves.FrequencyHz.size(); i += 37) {
    const double w = 2.0 * std::numbers::pi * curves.FrequencyHz[i] / rate;
    const double a = static_cast<double>(response[delay]), b = static_cast<double>(response[delay + 1]);
    const std::complex<double> tail = b / a * std::polar(1.0, -w);
    const std::complex<double> h = a * (1.0 + tail); // delay removed
    SCOPED_TRACE(curves.FrequencyHz[i]);
    EXPECT_NEAR(curves.MagnitudeDb[i], 20.0 * std::log10(std::abs(h)), 1e-6);
    EXPECT_NEAR(curves.PhaseDeg[i], std::arg(h) * 180.0 / std::numbers::pi, 1e-6);
    const double groupDelay = delay + std::real(tail / (1.0 + tail));
    EXPECT_NEAR(curves.GroupDelayMs[i], 1000.0 * groupDelay / rate, 1e-9);
  }
  const ravelin::TResponseCurves smooth = ravelin::ResponseCurves(response.data(), 1000, rate, 3);
  EXPECT_NEAR(smooth.FrequencyHz[96], 40.0, 1e-9); // 96 points per octave from 20 Hz
  EXPECT_LE(smooth.FrequencyHz.back(), rate / 2.0);
}

// h[n] = r^n: the energy-time curve and the backward integral fall by 20 log10 r per sample.
TEST(Curves, TimeCurvesOfAnExponentialDecay) {
  const double r = 0.999;
  const int32_t length = 25000; // 2 x 10000 blocks at most: 3 samples a block
  std::vector<float> response(static_cast<size_t>(length));
  for (int32_t i = 0; i < length; ++i)
    response[static_cast<size_t>(i)] = static_cast<float>(std::pow(r, i) * (i % 2 == 0 ? 1.0 : -1.0));
  const ravelin::TResponseCurves curves = ravelin::ResponseCurves(response.data(), length, 1000, 0);
  ASSERT_EQ(curves.TimeMs.size(), 8334u);
  const double perSample = 20.0 * std::log10(r);
  // The backward integral ends where the decay meets the floor of float's
  // rounding: beyond it there is no level.
  const double end = ravelin::AnalyzeResponse(response.data(), length, {1000, 0, 0}).DecayEndIndex + 1;
  ASSERT_GT(end, 15000);
  for (size_t i = 0; i < curves.TimeMs.size(); i += 1000) {
    const double n = curves.TimeMs[i]; // 1 ms a sample
    EXPECT_DOUBLE_EQ(n, 3.0 * static_cast<double>(i));
    EXPECT_NEAR(curves.EtcDb[i], perSample * n, 1e-4);
    if (n >= end) {
      EXPECT_EQ(curves.SchroederDb[i], -400.0);
      continue;
    }
    const double tail = 1.0 - std::pow(r, 2.0 * (end - n)); // the integral's finite end
    EXPECT_NEAR(curves.SchroederDb[i],
                perSample * n + 10.0 * std::log10(tail / (1.0 - std::pow(r, 2.0 * end))), 1e-4);
  }
}

// Noise after the decay does not bend the backward integral flat.
TEST(Curves, TheBackwardIntegralIgnoresTheNoiseAfterTheDecay) {
  const double r = std::pow(10.0, -60.0 / 20.0 / 10000.0); // -60 dB after 10000 samples
  const int32_t length = 48000;
  std::vector<float> response(static_cast<size_t>(length));
  uint32_t state = 1;
  for (int32_t i = 0; i < length; ++i) {
    state = state * 1664525u + 1013904223u;
    const double noise = (static_cast<double>(state >> 8) / 16777216.0 - 0.5) * 2e-3 * std::sqrt(3.0);
    response[static_cast<size_t>(i)] = static_cast<float>(std::pow(r, i) * (i % 2 == 0 ? 1.0 : -1.0) + noise);
  }
  const ravelin::TResponseCurves curves = ravelin::ResponseCurves(response.data(), length, 1000, 0);
  const double end = ravelin::AnalyzeResponse(response.data(), length, {1000, 0, 0}).DecayEndIndex + 1;
  ASSERT_GT(end, 8000);
  ASSERT_LT(end, 14000);
  const size_t i = static_cast<size_t>(0.7 * end / 5.0); // 5 samples a block
  const double n = curves.TimeMs[i];
  const double decay = 20.0 * std::log10(r) * n + 10.0 * std::log10((1.0 - std::pow(r, 2.0 * (end - n))) /
                                                                    (1.0 - std::pow(r, 2.0 * end)));
  EXPECT_NEAR(curves.SchroederDb[i], decay, 1.5);
}

TEST(Curves, CsvHoldsEveryCurveOfEveryChannel) {
  std::vector<float> response(64, 0.0f);
  response[3] = 1.0f;
  const ravelin::TResponseCurves curves = ravelin::ResponseCurves(response.data(), 64, 8000, 6);
  std::ostringstream out;
  ravelin::WriteCurves(out, {curves, curves});
  const auto records = ravelin::test::ParseCsv(out.str());
  const size_t perChannel = 3 * curves.FrequencyHz.size() + 2 * curves.TimeMs.size();
  ASSERT_EQ(records.size(), 1 + 2 * perChannel);
  EXPECT_EQ(records[0], (std::vector<std::string>{"channel", "curve", "x", "y"}));
  EXPECT_EQ(records[1][0], "1");
  EXPECT_EQ(records[1][1], "magnitude_db");
  EXPECT_NEAR(std::stod(records[1][3]), 0.0, 1e-4);
  EXPECT_EQ(records.back()[0], "2");
  EXPECT_EQ(records.back()[1], "schroeder_db");
  EXPECT_TRUE(ravelin::IsSmoothingFraction(24));
  EXPECT_FALSE(ravelin::IsSmoothingFraction(2));
}

} // namespace
