#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "batch.h"
#include "deconvolve.h"
#include "engineTestSupport.h"
#include "errors.h"
#include "measurementTest.h"
#include "outputStage.h"
#include "processFile.h"

namespace ravelin {
namespace {

using test::TChannels;

constexpr int32_t Rate = 8000;
constexpr int32_t ToneFrames = 8192;
constexpr size_t ResponseLength = 300;
constexpr size_t Tail = 400; // recording frames beyond the test tone

// Direct sound after a short delay, then a decaying, noise-like tail.
std::vector<double> RoomResponse(size_t delay, double scale) {
  std::vector<double> h(ResponseLength, 0.0);
  h[delay] = scale;
  for (size_t n = delay + 1; n < ResponseLength; ++n)
    h[n] = scale * 0.3 * std::exp(-static_cast<double>(n - delay) / 60.0) *
           std::sin(0.7 * static_cast<double>(n * n % 97));
  return h;
}

size_t PeakIndex(const std::vector<float>& samples) {
  return static_cast<size_t>(std::max_element(samples.begin(), samples.end(),
                                              [](float a, float b) { return std::fabs(a) < std::fabs(b); }) -
                             samples.begin());
}

class Deconvolution : public test::TMeasurementTest {
protected:
  void SetUp() override { PrepareSweep(Rate, ToneFrames); }

  std::vector<float> Record(const std::vector<double>& h) const {
    return test::Convolve(Tone, h, Tone.size() + Tail);
  }

  // The per-file error of a recording, and no output written.
  std::string FailureOf(const TChannels& recording) {
    const std::string path = Folder.Path() + "bad.wav";
    test::WriteFloatWav(path, recording, Rate);
    FrontEnd.Answers = {true};
    EXPECT_TRUE(ProcessFile(path, MakeOutputName(path, Options), Options, Workspace, FrontEnd));
    EXPECT_FALSE(std::filesystem::exists(Folder.Path() + "bad_rv.wav"));
    return FrontEnd.Questions.empty() ? std::string() : FrontEnd.Questions.back();
  }
};

TEST_F(Deconvolution, PlainTechniqueRecoversAKnownResponse) {
  const auto h = RoomResponse(10, 0.5);
  const TChannels out = Process({Record(h)});
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].size(), Tail + 1);                // L = R - T + 1
  EXPECT_LT(test::ErrorDecibels(out[0], h), -120.0); // measured about -150 dB
}

TEST_F(Deconvolution, PreSilencePlacesTheResponseAfterSZeros) {
  Options.PreSilence = 0.05; // P = Round(800) + 1 with bit 0 cleared = 800, S = 400
  const auto h = RoomResponse(10, 0.5);
  const TChannels out = Process({Record(h)});
  ASSERT_EQ(out[0].size(), Tail + 800 + 1);
  const std::vector<float> shifted(out[0].begin() + 400, out[0].end());
  EXPECT_LT(test::ErrorDecibels(shifted, h), -120.0); // measured about -150 dB
  EXPECT_LT(*std::max_element(out[0].begin(), out[0].begin() + 390,
                              [](float a, float b) { return std::fabs(a) < std::fabs(b); }),
            1e-3f);
}

TEST_F(Deconvolution, ExactCopyOfTheToneGivesAnImpulseAtSOrItsPeakAtSMinusOne) {
  Options.PreSilence = 0.05; // S = 400
  std::vector<float> copy = Tone;
  copy.resize(Tone.size() + Tail, 0.0f);
  EXPECT_EQ(PeakIndex(Process({copy})[0]), 400u);
  Options.Reversed = true;
  EXPECT_EQ(PeakIndex(Process({copy})[0]), 399u);
}

TEST_F(Deconvolution, ReversedTechniqueGivesTheResponseShapeAtItsDelay) {
  Options.Reversed = true;
  Options.PreSilence = 0.05;
  const auto h = RoomResponse(20, 0.5);
  const std::vector<float> out = Process({Record(h)})[0];
  EXPECT_EQ(PeakIndex(out), 399u + 20u);
  // Up to a gain, the equalised correlation follows the response.
  std::vector<double> window(out.begin() + 399, out.begin() + 399 + static_cast<long>(ResponseLength));
  double dot = 0.0, energy = 0.0;
  for (size_t i = 0; i < ResponseLength; ++i) {
    dot += window[i] * h[i];
    energy += h[i] * h[i];
  }
  std::vector<float> scaled(ResponseLength);
  for (size_t i = 0; i < ResponseLength; ++i)
    scaled[i] = static_cast<float>(window[i] * energy / dot);
  EXPECT_LT(test::ErrorDecibels(scaled, h), -12.0); // measured -15.0 dB
}

TEST_F(Deconvolution, MinimumPhaseMovesADelayedImpulseToTheStart) {
  Options.MinPhase = true;
  std::vector<double> h(ResponseLength, 0.0);
  h[37] = -0.8;
  const std::vector<float> out = Process({Record(h)})[0];
  EXPECT_EQ(PeakIndex(out), 0u);
  EXPECT_NEAR(std::fabs(out[0]), 0.8f, 1e-3f);
}

TEST_F(Deconvolution, StereoRecordingIsDividedByTheMonoToneOnEachChannel) {
  const auto h1 = RoomResponse(5, 0.5);
  const auto h2 = RoomResponse(50, -0.25);
  const TChannels out = Process({Record(h1), Record(h2)});
  ASSERT_EQ(out.size(), 2u);
  EXPECT_LT(test::ErrorDecibels(out[0], h1), -120.0);
  EXPECT_LT(test::ErrorDecibels(out[1], h2), -120.0);
}

// The divisor's spectrum is kept from channel to channel and file to file:
// minimum phase uses its buffer as scratch, and a new test tone of the same
// size has a spectrum of its own.
TEST_F(Deconvolution, EveryChannelIsDividedByTheToneOfTheMoment) {
  const auto h = RoomResponse(5, 0.5);
  const std::vector<float> recording = Record(h);
  EXPECT_LT(test::ErrorDecibels(Process({recording})[0], h), -120.0);
  UseTestTone({ToneCopy(Tone.size(), 0.5f)});
  std::vector<double> doubled = h;
  for (double& v : doubled)
    v *= 2.0;
  EXPECT_LT(test::ErrorDecibels(Process({recording})[0], doubled), -120.0);
  Options.MinPhase = true;
  const TChannels minPhase = Process({recording, recording});
  EXPECT_EQ(minPhase[0], minPhase[1]);
}

TEST_F(Deconvolution, MonoRecordingUsesOnlyTheFirstChannelOfAStereoTone) {
  UseTestTone({Tone, ToneCopy(Tone.size(), 0.5f)});
  const auto h = RoomResponse(10, 0.5);
  EXPECT_LT(test::ErrorDecibels(Process({Record(h)})[0], h), -120.0); // measured about -150 dB
}

TEST_F(Deconvolution, UnusableTestTonesAreReportedInsteadOfWritingNonFiniteSamples) {
  const TChannels recording = {std::vector<float>(64, 0.25f)};
  test::WriteFloatWav(Options.TestTone, {{0.5f, -0.5f}}, Rate); // no zero-frequency content
  ASSERT_TRUE(LoadTestTone(Workspace, Options, FrontEnd));
  EXPECT_NE(FailureOf(recording).find("Cannot deconvolve: the test tone spectrum has zero bins!"),
            std::string::npos);

  test::WriteFloatWav(Options.TestTone, {std::vector<float>(16, 0.0f)}, Rate);
  ASSERT_TRUE(LoadTestTone(Workspace, Options, FrontEnd));
  EXPECT_NE(FailureOf(recording).find("Cannot deconvolve: the test tone is silent!"), std::string::npos);
}

TEST_F(Deconvolution, NonFiniteResultIsAPerFileError) {
  std::vector<float> recording = Record(RoomResponse(10, 0.5));
  recording[100] = std::nanf("");
  EXPECT_NE(FailureOf({recording}).find("Deconvolution result is not finite!"), std::string::npos);
}

TEST(DeconvolutionSizes, FollowTheFileAndPreSilence) {
  auto sizes = ComputeSizes(100000, 1000, 0.0, 48000);
  EXPECT_EQ(sizes.Padding, 0);
  EXPECT_EQ(sizes.OutputLength, 100000 - 1000 + 1);
  EXPECT_EQ(sizes.Order, 18);
  EXPECT_EQ(ComputeSizes(131072, 1000, 0.0, 48000).Order, 18); // N = 2 R exactly
  sizes = ComputeSizes(100000, 1000, 0.5, 48000);
  EXPECT_EQ(sizes.Padding, 48000);
  EXPECT_EQ(sizes.PreSilence, 24000);
  EXPECT_EQ(sizes.OutputLength, 100000 - 1000 + 48001);
  EXPECT_EQ(sizes.Stride, 147001);
  EXPECT_EQ(ComputeSizes(1000, 1000, 0.0, 48000).OutputLength, 1);
}

TEST(DeconvolutionSizes, RefuseWhatDoesNotFitInsteadOfWrappingAround) {
  auto message = [](int64_t frames, int32_t tone, double silence) {
    try {
      ComputeSizes(frames, tone, silence, 48000);
    } catch (const TRavelinError& error) {
      return std::string(error.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message(999, 1000, 0.0), "Recorded file cannot be shorter than the test tone file!");
  EXPECT_EQ(message(int64_t{1} << 31, 1000, 0.0), "Recorded file is too long to process!");
  EXPECT_EQ(message((int64_t{1} << 32) + 5000, 1000, 0.0), "Recorded file is too long to process!");
  EXPECT_EQ(message((int64_t{1} << 26) + 1, 1000, 0.0), "Recorded file is too long to process!");
  EXPECT_EQ(message(100000, 1000, 1e6), "Pre silence is too long to process!");
  EXPECT_EQ(message(1 << 26, 1000, 0.0), "no error"); // the largest transform
}

TEST(ReverseDoubles, SwapsPairsFromBothEnds) {
  std::vector<double> odd = {1, 2, 3, 4, 5};
  ReverseDoubles(odd.data(), odd.data() + 4, 2);
  EXPECT_EQ(odd, (std::vector<double>{5, 4, 3, 2, 1}));
  std::vector<double> even = {1, 2, 3, 4};
  ReverseDoubles(even.data(), even.data() + 3, 2);
  EXPECT_EQ(even, (std::vector<double>{4, 3, 2, 1}));
}

// A broadband response (the test tone recorded unchanged) filtered by a 100 Hz
// low cut: the corner is attenuated by 3 dB per unit of slope index + 1, and
// the pass band stays at 0 dB. Tolerance 0.2 dB: the deconvolution error is far
// below that, and the kernel's Hann window moves the corner by a few mdB.
TEST_F(Deconvolution, LowCutAttenuatesItsCornerBySlope) {
  Options.LowCut = 100.0f;
  const std::vector<float> recording = test::Convolve(Tone, {1.0}, Tone.size() + 16000);
  for (const auto& [slope, corner] : {std::pair{0, -3.0}, std::pair{7, -24.0}}) {
    Options.CutSlope = slope;
    const TChannels out = Process({recording});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_NEAR(test::LevelAt(out[0], 100.0, Rate), corner, 0.2) << "slope index " << slope;
    EXPECT_NEAR(test::LevelAt(out[0], 1000.0, Rate), 0.0, 0.2) << "slope index " << slope;
  }
}

} // namespace
} // namespace ravelin
