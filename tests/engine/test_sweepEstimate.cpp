#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "engineTestSupport.h"
#include "errors.h"
#include "sweep.h"
#include "sweepEstimate.h"

namespace ravelin {
namespace {

// Tolerances of the estimate: the band edges in percent, the duration in ms,
// and the rate of the log-frequency (which places the orders) in percent.
constexpr double EdgePct = 0.5, DurationMs = 5.0, SlopePct = 0.001;

double Slope(const TSweepParameters& sweep) {
  return std::log(sweep.EndHz / sweep.StartHz) / sweep.DurationS;
}

void ExpectSweep(const TSweepParameters& got, const TSweepParameters& want) {
  EXPECT_NEAR(got.StartHz, want.StartHz, want.StartHz * EdgePct / 100.0);
  EXPECT_NEAR(got.EndHz, want.EndHz, want.EndHz * EdgePct / 100.0);
  EXPECT_NEAR(got.DurationS, want.DurationS, DurationMs / 1000.0);
  EXPECT_NEAR(Slope(got), Slope(want), Slope(want) * SlopePct / 100.0);
}

// The generator's own sweeps: 32 Hz at the first sample to Nyquist at the last.
TEST(EstimateSweep, MatchesTheGeneratorsSweeps) {
  struct TCase {
    int32_t Rate;
    double Duration;
    bool Fades;
    int32_t Bits; // 0: float
  };
  for (const TCase& c : {TCase{44100, 3.0, false, 0}, TCase{48000, 1.0, true, 24},
                         TCase{22050, 0.5, false, 16}, TCase{96000, 6.0, true, 0}}) {
    SCOPED_TRACE(testing::Message() << c.Rate << " Hz, " << c.Duration << " s, fades " << c.Fades);
    test::TTempFolder folder;
    TSweepSettings settings;
    settings.SampleRate = c.Rate;
    settings.Duration = c.Duration;
    settings.Fades = c.Fades;
    settings.FloatOutput = c.Bits == 0;
    settings.BitDepth = c.Bits == 0 ? 24 : c.Bits;
    GenerateSweep(folder.Path() + "tone.wav", settings);
    const std::vector<float> tone = test::ReadAudio(folder.Path() + "tone.wav")[0];
    const auto frames = static_cast<int32_t>(tone.size());
    ExpectSweep(EstimateSweep(tone.data(), frames, c.Rate),
                {32.0, c.Rate / 2.0, static_cast<double>(frames - 1) / c.Rate});
  }
}

// Another program's sweep, 20 Hz to 20 kHz in 2 s between 0.25 s of
// silence; noise is no sweep.
TEST(EstimateSweep, ReadsAForeignSweepAndRefusesNoise) {
  constexpr int32_t rate = 48000;
  const TSweepParameters want{20.0, 20000.0, 2.0};
  std::vector<float> tone(static_cast<size_t>(2.5 * rate), 0.0f);
  const double k = std::log(want.EndHz / want.StartHz) / want.DurationS;
  for (size_t i = 0; i <= static_cast<size_t>(want.DurationS * rate); ++i) {
    const double t = static_cast<double>(i) / rate;
    tone[i + rate / 4] = static_cast<float>(
        0.5 * std::sin(2.0 * std::numbers::pi * want.StartHz / k * (std::exp(k * t) - 1.0)));
  }
  ExpectSweep(EstimateSweep(tone.data(), static_cast<int32_t>(tone.size()), rate), want);

  std::mt19937 generator(7);
  std::normal_distribution<float> noise(0.0f, 0.3f);
  for (float& x : tone)
    x = noise(generator);
  EXPECT_THROW(EstimateSweep(tone.data(), static_cast<int32_t>(tone.size()), rate), TRavelinError);
}

} // namespace
} // namespace ravelin
