// Figures the engine must reproduce, each against an independent computation:
// the reversed technique's equalised correlation, the pre-silence rounding,
// normalisation after the cut filters, the skip rule, 32-bit integer output
// and the sweep's fades.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <filesystem>
#include <numbers>

#include "deconvolve.h"
#include "measurementTest.h"
#include "outputStage.h"
#include "processFile.h"
#include "sweep.h"

namespace ravelin {
namespace {

using test::TChannels;
using Long = long double;

constexpr int32_t Rate = 8000;

float PeakOf(const std::vector<float>& samples) {
  float peak = 0.0f;
  for (const float s : samples)
    peak = std::max(peak, std::fabs(s));
  return peak;
}

// The reversed technique written out as sums in long double: the circular
// cross-correlation of the recording (after s zeros) with the tone in an
// n-point frame, one sample early, equalised by +6 dB per octave through
// -98.6 dB at 1 kHz with the DC and Nyquist terms removed; its first length
// samples.
std::vector<double> ReversedReference(const std::vector<float>& tone, const std::vector<float>& recording,
                                      size_t s, size_t n, size_t length) {
  std::vector<std::complex<Long>> root(n); // e^(2 pi i j / n)
  for (size_t j = 0; j < n; ++j)
    root[j] = std::polar(1.0L, 2.0L * std::numbers::pi_v<Long> * static_cast<Long>(j) / static_cast<Long>(n));
  const auto bin = [&](const std::vector<float>& x, size_t at, size_t k) {
    std::complex<Long> sum = 0.0L;
    for (size_t m = 0; m < x.size(); ++m)
      sum += static_cast<Long>(x[m]) * std::conj(root[k * (m + at) % n]);
    return sum;
  };
  std::vector<Long> out(length, 0.0L);
  for (size_t k = 1; k < n / 2; ++k) {
    const Long f = static_cast<Long>(k) * Rate / static_cast<Long>(n);
    const Long gain = std::pow(10.0L, (6.0L * std::log2(f / 1000.0L) - 98.6L) / 20.0L);
    const std::complex<Long> y = bin(recording, s, k) * std::conj(bin(tone, 0, k)) * root[k] * gain;
    for (size_t t = 0; t < length; ++t)
      out[t] += 2.0L / static_cast<Long>(n) * (y * root[k * t % n]).real();
  }
  return {out.begin(), out.end()};
}

// One recording through the reversed technique: a unit impulse as the tone
// and a unit impulse at sample 1 as the recording, or the sweep recorded
// through a small system; S zeros ahead of it.
struct TReversedCase {
  const char* Name;
  bool SweepTone;
  bool MinPhase;
  size_t S;
  size_t Frames; // recording length
};

void PrintTo(const TReversedCase& c, std::ostream* out) {
  *out << c.Name;
}

class ReversedTechnique : public test::TMeasurementTest,
                          public ::testing::WithParamInterface<TReversedCase> {};

// With the impulse tone and an impulse one sample late, the correlation is a
// unit spectrum: the minimum-phase step leaves it as it is, so the output is
// the zero-phase tilt alone; tilting first would give a minimum-phase tilt.
TEST_P(ReversedTechnique, MatchesTheEqualisedCorrelationAtItsAbsoluteLevel) {
  const TReversedCase& c = GetParam();
  PrepareSweep(Rate, 1024);
  std::vector<float> recording;
  if (c.SweepTone) {
    recording = test::Convolve(Tone, {0.0, 0.5, 0.0, -0.25, 0.1}, c.Frames);
  } else {
    UseTestTone({{1.0f}});
    Tone = {1.0f};
    recording.assign(c.Frames, 0.0f);
    recording[1] = 1.0f;
  }
  Options.Reversed = true;
  Options.MinPhase = c.MinPhase;
  Options.PreSilence = static_cast<double>(c.S) / Rate; // P = 2 S
  const std::vector<float> out = Process({recording})[0];
  const size_t length = c.Frames + 2 * c.S - Tone.size() + 1;
  ASSERT_EQ(out.size(), length);
  const size_t n = std::bit_ceil(2 * (c.Frames + 2 * c.S));
  const std::vector<double> want = ReversedReference(Tone, recording, c.S, n, length);
  double worst = 0.0, peak = 0.0;
  for (size_t i = 0; i < length; ++i) {
    worst = std::max(worst, std::fabs(static_cast<double>(out[i]) - want[i]));
    peak = std::max(peak, std::fabs(want[i]));
  }
  EXPECT_LT(worst, 1e-6 * peak) << "peak " << peak; // measured 2e-8
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReversedTechnique,
    ::testing::Values(TReversedCase{"ImpulseTone", false, false, 0, 256},
                      TReversedCase{"ImpulseToneAfterPreSilence", false, false, 20, 256},
                      TReversedCase{"MinimumPhaseBeforeTheTilt", false, true, 0, 256},
                      TReversedCase{"SweepThroughASystem", true, false, 200, 1024 + 400}),
    [](const ::testing::TestParamInfo<TReversedCase>& row) { return std::string(row.param.Name); });

// P = Round(2 x pre-silence x rate) + 1 with its lowest bit cleared, Round to
// nearest with ties to even. At 8192 Hz the products below are exact.
TEST(PreSilenceRounding, OddAndEvenProductsAndTies) {
  constexpr int32_t rate = 8192;
  const struct {
    double Product; // 2 x pre-silence x rate
    int32_t Padding;
  } cases[] = {{800, 800},   {801, 802}, {800.5, 800}, {801.5, 802}, {799.5, 800}, {800.4, 800},
               {800.6, 802}, {0.5, 0},   {1.5, 2},     {2.5, 2},     {1, 2},       {3, 4}};
  for (const auto& c : cases) {
    const TDeconvolutionSizes sizes = ComputeSizes(10000, 1000, c.Product / (2.0 * rate), rate);
    EXPECT_EQ(sizes.Padding, c.Padding) << c.Product;
    EXPECT_EQ(sizes.PreSilence, c.Padding / 2) << c.Product;
    EXPECT_EQ(sizes.OutputLength, 10000 + c.Padding - 1000 + 1) << c.Product;
  }
}

class Pinned : public test::TMeasurementTest {};

// 2 x 0.0500625 x 8000 = 801: P = 802, S = 401.
TEST_F(Pinned, OddPreSilenceProductPlacesTheImpulseAtS) {
  PrepareSweep(Rate, 1024);
  Options.PreSilence = 801.0 / (2.0 * Rate);
  const std::vector<float> copy = ToneCopy(Tone.size() + 300);
  const auto peakIndex = [](const std::vector<float>& x) {
    return std::max_element(x.begin(), x.end(),
                            [](float a, float b) { return std::fabs(a) < std::fabs(b); }) -
           x.begin();
  };
  std::vector<float> out = Process({copy})[0];
  EXPECT_EQ(out.size(), 300u + 802u + 1u);
  EXPECT_EQ(peakIndex(out), 401);
  Options.Reversed = true;
  out = Process({copy})[0];
  EXPECT_EQ(peakIndex(out), 400);
}

// An impulse response changes its peak in the cut filters; normalisation
// scales by the peak after them, over all channels.
TEST_F(Pinned, NormalisationMeasuresThePeakAfterTheCutFilters) {
  PrepareSweep(Rate, 1024);
  Options.Normalize = true;
  for (const auto& [low, high] : {std::pair{-1.0f, 1000.0f}, std::pair{300.0f, -1.0f}}) {
    Options.LowCut = low;
    Options.HighCut = high;
    const TChannels out = Process({ToneCopy(Tone.size() + 3000), ToneCopy(Tone.size() + 3000, 0.5f)});
    EXPECT_NEAR(PeakOf(out[0]), 0.966f, 1e-6f) << low << " " << high;
    EXPECT_NEAR(PeakOf(out[1]), 0.483f, 1e-6f) << low << " " << high;
  }
}

TEST_F(Pinned, OnlyTheExactProductTagIsSkipped) {
  PrepareSweep(Rate, 512);
  Options.IgnoreProcessed = true;
  const std::vector<float> recording = ToneCopy(Tone.size() + 10);
  for (const auto& [tag, outcome] :
       {std::pair{"Ravelin", TFileOutcome::Skipped}, std::pair{"ravelin", TFileOutcome::Processed},
        std::pair{"RAVELIN", TFileOutcome::Processed}, std::pair{"Ravelin2", TFileOutcome::Processed},
        std::pair{"Ravel", TFileOutcome::Processed}}) {
    const std::string path = Folder.Path() + "tagged.wav";
    test::WriteFloatWav(path, {recording}, Rate, tag);
    std::filesystem::remove(Folder.Path() + "tagged_rv.wav");
    EXPECT_TRUE(ProcessFile(path, MakeOutputName(path, Options), Options, Workspace, FrontEnd));
    EXPECT_EQ(FrontEnd.Outcomes.back(), outcome) << tag;
    EXPECT_EQ(std::filesystem::exists(Folder.Path() + "tagged_rv.wav"), outcome == TFileOutcome::Processed)
        << tag;
  }
}

// 32-bit integer codes: dithered at 30 bits and shifted left by 2, so the low
// two bits are clear and full scale stays 2^31.
void ExpectThirtyBitsShiftedByTwo(const std::vector<int32_t>& codes, double firstCode) {
  ASSERT_FALSE(codes.empty());
  for (size_t i = 0; i < codes.size(); ++i)
    ASSERT_EQ(codes[i] & 3, 0) << i;
  EXPECT_NEAR(static_cast<double>(codes[0]), firstCode, 16.0);
}

TEST_F(Pinned, ThirtyTwoBitOutputIsThirtyBitsShiftedLeftByTwo) {
  PrepareSweep(Rate, 512);
  Options.FloatOutput = false;
  Options.OutBits = 32;
  Options.Dither = std::make_unique<TOutputDither>(12345u);
  const std::string path = Folder.Path() + "take.wav";
  test::WriteFloatWav(path, {ToneCopy(Tone.size() + 100, 0.5f)}, Rate);
  ASSERT_TRUE(RunBatch({path}, Options, Workspace, FrontEnd, FrontEnd.Cancel).empty());
  ExpectThirtyBitsShiftedByTwo(test::ReadPcm32Codes(Folder.Path() + "take_rv.wav"), 0x1p30);
}

TEST(Sweep, ThirtyTwoBitIntegerSweepIsThirtyBitsShiftedLeftByTwo) {
  test::TTempFolder folder;
  TSweepSettings settings;
  settings.SampleRate = Rate;
  settings.Duration = 0.5;
  settings.BitDepth = 32;
  GenerateSweep(folder.Path() + "sweep.wav", settings);
  const std::vector<int32_t> codes = test::ReadPcm32Codes(folder.Path() + "sweep.wav");
  ExpectThirtyBitsShiftedByTwo(codes, 0.0);
  int64_t peak = 0;
  for (const int32_t code : codes)
    peak = std::max(peak, std::abs(int64_t{code}));
  EXPECT_NEAR(static_cast<double>(peak) / 0x1p31, 0.98, 1e-4);
}

// The faded sweep is the plain one times a raised cosine over the first and
// the last 1.25 % of the samples.
TEST(Sweep, FadesAreRaisedCosinesOverOnePointTwoFivePercent) {
  test::TTempFolder folder;
  TSweepSettings settings;
  settings.SampleRate = Rate;
  settings.Duration = 1.0; // 8000 samples, fades of 100
  settings.FloatOutput = true;
  GenerateSweep(folder.Path() + "plain.wav", settings);
  settings.Fades = true;
  GenerateSweep(folder.Path() + "faded.wav", settings);
  const std::vector<float> plain = test::ReadAudio(folder.Path() + "plain.wav")[0];
  const std::vector<float> faded = test::ReadAudio(folder.Path() + "faded.wav")[0];
  ASSERT_EQ(plain.size(), 8000u);
  ASSERT_EQ(faded.size(), 8000u);
  for (size_t i = 0; i < plain.size(); ++i) {
    const Long fade = 100.0L, last = 8000.0L - fade, x = static_cast<Long>(i);
    const Long envelope = x < fade    ? 0.5L - 0.5L * std::cos(std::numbers::pi_v<Long> * x / fade)
                          : x <= last ? 1.0L
                                      : 0.5L + 0.5L * std::cos(std::numbers::pi_v<Long> * (x - last) / fade);
    ASSERT_NEAR(static_cast<double>(faded[i]), static_cast<double>(envelope * static_cast<Long>(plain[i])),
                2e-7)
        << i;
  }
}

} // namespace
} // namespace ravelin
