#include <gtest/gtest.h>

#include <cmath>

#include "figures.h"
#include "syntheticResponse.h"

namespace {

using ravelin::test::TSyntheticResponse;

bool HasWarning(const ravelin::TChannelFigures& figures, const char* text) {
  for (const std::string& warning : figures.Warnings)
    if (warning == text)
      return true;
  return false;
}

struct TFigureCase {
  const char* Name;
  TSyntheticResponse Response;
  int32_t PreSilence;
  int OutputBits;
  double NoiseFloorDbfs; // expected
  std::vector<const char*> Warnings;
};

// Known delay, gain and noise: latency within a sample, peak within 0.1 dB,
// noise floor within 1 dB, decay end within 5 % of the tail's duration.
TEST(Figures, SyntheticResponsesGiveTheirKnownFigures) {
  const double floor16 = -20.0 * std::log10(65536.0); // TPDF +-1 LSB: LSB / 2
  const std::vector<TFigureCase> cases = {
      {"room", {}, 240, 0, -100.0, {}},
      {"short room, late noise", {8000, 4000, 100, -1.0, -20.0, 0.1, -80.0, 2}, 0, 0, -80.0, {}},
      {"16-bit output",
       {},
       240,
       16,
       10.0 * std::log10(1e-10 + std::pow(10.0, floor16 / 10.0)),
       {ravelin::WordLengthWarning}},
      {"fast decay", {48000, 24000, 480, -6.0, -20.0, 0.03, -100.0, 7}, 240, 0, -100.0, {}},
      {"24-bit output", {}, 240, 24, -100.0, {}},
      {"noisy", {48000, 48000, 480, -6.0, -10.0, 0.3, -40.0, 3}, 240, 0, -40.0, {ravelin::LowPnrWarning}},
      {"no tail", {48000, 9600, 2000, -3.0, 0.0, 0.0, -90.0, 4}, 1000, 0, -90.0, {}},
      {"impulse at the start",
       {44100, 4410, 0, 0.0, -30.0, 0.02, -120.0, 5},
       0,
       0,
       -120.0,
       {ravelin::EarlyPeakWarning}},
      {"impulse at the end",
       {44100, 44100, 42000, 0.0, 0.0, 0.0, -120.0, 6},
       0,
       0,
       -120.0,
       {ravelin::LatePeakWarning}},
  };
  for (const TFigureCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TSyntheticResponse& r = c.Response;
    const std::vector<float> samples = r.Make();
    const ravelin::TChannelFigures figures =
        ravelin::AnalyzeResponse(samples.data(), r.Length, {r.SampleRate, c.PreSilence, c.OutputBits});
    const double msPerSample = 1000.0 / r.SampleRate;
    EXPECT_NEAR(figures.LatencyMs, (r.Delay - c.PreSilence) * msPerSample, msPerSample);
    EXPECT_NEAR(figures.PeakDbfs, r.GainDb, 0.1);
    EXPECT_NEAR(figures.NoiseFloorDbfs, c.NoiseFloorDbfs, 1.0);
    EXPECT_NEAR(figures.PnrDb, figures.PeakDbfs - figures.NoiseFloorDbfs, 1e-9);
    if (r.Rt60 > 0.0 && c.OutputBits == 0) {
      const double tail = r.CrosspointIndex() - r.Delay;
      EXPECT_NEAR(figures.DecayEndIndex, r.CrosspointIndex(), 0.05 * tail);
      EXPECT_NEAR(figures.DecayEndMs, figures.DecayEndIndex * msPerSample, 1e-9);
    }
    std::vector<std::string> expected(c.Warnings.begin(), c.Warnings.end());
    EXPECT_EQ(figures.Warnings, expected);
  }
}

// A decay still far above any noise at the end of the output.
TEST(Figures, TruncatedDecayIsReported) {
  TSyntheticResponse r;
  r.NoiseDb = -400.0;
  r.Length = r.Delay + static_cast<int32_t>(0.6 * r.Rt60 * r.SampleRate); // decays by 36 dB only
  const std::vector<float> samples = r.Make();
  const ravelin::TChannelFigures figures =
      ravelin::AnalyzeResponse(samples.data(), r.Length, {48000, 240, 0});
  EXPECT_TRUE(HasWarning(figures, ravelin::TruncatedWarning));
  EXPECT_GT(figures.DecayEndIndex, r.Length * 8 / 10);
}

// Silence, a single sample and a constant never give infinite or NaN figures.
TEST(Figures, DegenerateResponsesGiveFiniteFigures) {
  const std::vector<std::vector<float>> responses = {
      {0.0f}, {0.5f}, std::vector<float>(1000, 0.0f), std::vector<float>(1000, 0.25f), {0.0f, 1.0f}};
  for (const std::vector<float>& samples : responses) {
    const ravelin::TChannelFigures figures =
        ravelin::AnalyzeResponse(samples.data(), static_cast<int32_t>(samples.size()), {48000, 0, 16});
    for (double value :
         {figures.LatencyMs, figures.PeakDbfs, figures.NoiseFloorDbfs, figures.PnrDb, figures.DecayEndMs})
      EXPECT_TRUE(std::isfinite(value)) << samples.size();
    EXPECT_GE(figures.DecayEndIndex, figures.PeakIndex);
    EXPECT_LE(figures.DecayEndIndex, static_cast<int32_t>(samples.size()));
  }
}

TEST(Figures, RecordingLevelCountsSamplesAtFullScale) {
  struct TCase {
    std::vector<float> Samples;
    int Bits;
    bool Float;
    int64_t Clipped;
    double PeakDbfs;
  };
  const float top16 = 32767.0f / 32768.0f;
  const std::vector<TCase> cases = {
      {{0.5f, -0.25f}, 16, false, 0, -6.0206},
      {{top16, -1.0f, 32766.0f / 32768.0f, top16}, 16, false, 3, 0.0},
      {{8388607.0f / 8388608.0f, 0.9f}, 24, false, 1, 0.0},
      {{top16, 0.999f}, 32, true, 0, 20.0 * std::log10(static_cast<double>(top16))},
      {{1.0f, -1.5f, 0.99f}, 32, true, 2, 20.0 * std::log10(1.5)},
      {{0.0f, 0.0f}, 16, false, 0, ravelin::SilentDbfs},
  };
  for (const TCase& c : cases) {
    const ravelin::TRecordingLevel level =
        ravelin::MeasureRecording(c.Samples.data(), static_cast<int64_t>(c.Samples.size()), c.Bits, c.Float);
    EXPECT_EQ(level.ClippedSamples, c.Clipped) << c.Samples.front();
    EXPECT_NEAR(level.PeakDbfs, c.PeakDbfs, 1e-3);
  }
}

TEST(Figures, FileWarningsCatchRateMismatchAndShortOutputs) {
  using W = std::vector<std::string>;
  EXPECT_EQ(ravelin::FileWarnings({48000, 48000, 48000}), W{});
  EXPECT_EQ(ravelin::FileWarnings({48000, 0, 48000}), W{});
  EXPECT_EQ(ravelin::FileWarnings({44100, 48000, 48000}), W{ravelin::RateWarning});
  EXPECT_EQ(ravelin::FileWarnings({48000, 48000, 479}), W{ravelin::ShortOutputWarning});
  EXPECT_EQ(ravelin::FileWarnings({48000, 48000, 480}), W{});
  EXPECT_EQ(ravelin::FileWarnings({100, 100, 15}), W{ravelin::ShortOutputWarning});
}

} // namespace
