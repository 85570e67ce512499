#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "batch.h"
#include "engineTestSupport.h"
#include "errors.h"
#include "outputStage.h"
#include "processFile.h"
#include "toneChannels.h"

namespace ravelin {
namespace {

using test::TChannels;

constexpr int32_t Rate = 8000;

// A test tone whose channels are a sine of the given levels (0: silent).
void LoadTone(TProcessWorkspace& workspace, const std::vector<double>& levels) {
  constexpr int32_t length = 64;
  workspace.PrepareTestTone(static_cast<int32_t>(levels.size()), length);
  for (size_t k = 0; k < levels.size(); ++k)
    for (int32_t i = 0; i < length; ++i)
      workspace.TestTone[k][i] = static_cast<float>(levels[k] * std::sin(0.3 * i));
}

TEST(MapToneChannels, ChannelsWithoutTheSweepTakeTheFirstThatCarriesIt) {
  struct TCase {
    std::vector<double> Levels;
    int ToneChannel;
    std::vector<int32_t> Expected; // for recording channels 0..3
    bool Notice;
  };
  const TCase cases[] = {
      {{0.5}, 0, {0, 0, 0, 0}, false},
      {{0.5, 0.4}, 0, {0, 1, 1, 1}, false},
      {{0.5, 0.0}, 0, {0, 0, 0, 0}, true},
      {{0.0, 0.5}, 0, {1, 1, 1, 1}, true},
      {{0.5, 0.5e-3 * 0.9}, 0, {0, 0, 0, 0}, true},  // just over 60 dB below: dither noise
      {{0.5, 0.5e-3 * 1.1}, 0, {0, 1, 1, 1}, false}, // just under 60 dB below: a quiet sweep
      {{0.0, 0.5, 0.0}, 0, {1, 1, 1, 1}, true},
      {{0.3, 0.0, 0.5}, 0, {0, 0, 2, 2}, true},
      {{0.0, 0.0}, 0, {0, 1, 1, 1}, false}, // no sweep at all: the division reports it
      {{0.5, 0.4}, 2, {1, 1, 1, 1}, false},
      {{0.5, 0.4}, 1, {0, 0, 0, 0}, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.Levels) + " channel " + std::to_string(c.ToneChannel));
    TProcessWorkspace workspace;
    LoadTone(workspace, c.Levels);
    const std::string notice = MapToneChannels(workspace, c.ToneChannel);
    EXPECT_EQ(std::vector<int32_t>(workspace.ToneChannelFor.begin(), workspace.ToneChannelFor.begin() + 4),
              c.Expected);
    EXPECT_EQ(!notice.empty(), c.Notice) << notice;
  }

  TProcessWorkspace workspace;
  LoadTone(workspace, {0.5, 0.0});
  EXPECT_EQ(MapToneChannels(workspace, 0),
            "Test tone channel 2 carries no sweep: test tone channel 1 is used in its place.");
  for (const auto& [toneChannel, message] : {std::pair{3, "The test tone has no channel 3!"},
                                             std::pair{2, "Test tone channel 2 carries no sweep!"}}) {
    try {
      MapToneChannels(workspace, toneChannel);
      ADD_FAILURE() << toneChannel;
    } catch (const TRavelinError& error) {
      EXPECT_STREQ(error.what(), message);
    }
  }
}

// Whole files: each recording channel is the response of its own test tone
// channel, so dividing by the wrong channel shows in the result.
class ToneChannelRun : public ::testing::Test {
protected:
  test::TTempFolder Folder;
  TProcessWorkspace Workspace;
  test::TScriptFrontEnd FrontEnd;
  TProcessOptions Options;
  std::vector<float> Sweep;

  void SetUp() override {
    Sweep = test::MakeTestTone(Folder.Path() + "mono.wav", Rate, 512);
    Options.FloatOutput = true;
    Options.OutBits = 32;
    Options.ScanFolder = Options.OutFolder = Folder.Path();
  }

  // Loads tone, deconvolves recording and returns the output's channels.
  TChannels Run(const TChannels& tone, const TChannels& recording) {
    Options.TestTone = Folder.Path() + "tone.wav";
    test::WriteFloatWav(Options.TestTone, tone, Rate);
    EXPECT_TRUE(LoadTestTone(Workspace, Options, FrontEnd));
    const std::string path = Folder.Path() + "take.wav";
    test::WriteFloatWav(path, recording, Rate);
    Options.Written.Clear();
    EXPECT_TRUE(ProcessFile(path, MakeOutputName(path, Options), Options, Workspace, FrontEnd));
    EXPECT_TRUE(FrontEnd.Questions.empty()) << FrontEnd.Questions.front();
    return test::ReadAudio(Folder.Path() + "take_rv.wav");
  }

  std::vector<float> Through(const std::vector<float>& tone, const std::vector<double>& response) const {
    return test::Convolve(tone, response, 1024);
  }
};

TEST_F(ToneChannelRun, EachChannelIsDividedByItsOwnToneChannel) {
  // A second, different sweep: the first delayed by 3 samples (its faded end cut).
  const std::vector<float> delayed = test::Convolve(Sweep, {0.0, 0.0, 0.0, 1.0}, Sweep.size());
  const std::vector<double> left = {0.5, 0.0, -0.25}, right = {0.0, 0.8, 0.1};
  const TChannels out = Run({Sweep, delayed}, {Through(Sweep, left), Through(delayed, right)});
  EXPECT_LT(test::ErrorDecibels(out[0], left), -60.0);
  EXPECT_LT(test::ErrorDecibels(out[1], right), -60.0);
  EXPECT_TRUE(FrontEnd.Messages.empty());

  Options.ToneChannel = 2; // every channel by the delayed sweep
  const TChannels forced = Run({Sweep, delayed}, {Through(delayed, left), Through(delayed, right)});
  EXPECT_LT(test::ErrorDecibels(forced[0], left), -60.0);
  EXPECT_LT(test::ErrorDecibels(forced[1], right), -60.0);
}

TEST_F(ToneChannelRun, OneSidedTonesServeEveryRecordingChannel) {
  const std::vector<double> left = {0.5, 0.0, -0.25}, right = {0.0, 0.8, 0.1};
  const std::vector<float> silent(Sweep.size(), 0.0f);
  std::vector<float> noise(Sweep.size()); // dither noise of a 24-bit file, -138 dBFS
  for (size_t i = 0; i < noise.size(); ++i)
    noise[i] = (i % 3 == 0 ? 1.0f : -0.5f) * 1.2e-7f;

  EXPECT_LT(test::ErrorDecibels(Run({silent, Sweep}, {Through(Sweep, left)})[0], left), -60.0);
  ASSERT_EQ(FrontEnd.Messages.size(), 1u);
  EXPECT_EQ(FrontEnd.Messages[0],
            "Test tone channel 1 carries no sweep: test tone channel 2 is used in its place.");

  const TChannels out = Run({Sweep, noise}, {Through(Sweep, left), Through(Sweep, right)});
  EXPECT_LT(test::ErrorDecibels(out[0], left), -60.0);
  EXPECT_LT(test::ErrorDecibels(out[1], right), -60.0);
}

} // namespace
} // namespace ravelin
