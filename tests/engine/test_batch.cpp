#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "batch.h"
#include "engineTestSupport.h"
#include "errors.h"
#include "measurementTest.h"
#include "outputStage.h"
#include "processFile.h"

namespace ravelin {
namespace {

namespace fs = std::filesystem;
using test::TChannels;

constexpr int32_t Rate = 8000;
constexpr int32_t ToneFrames = 1024;

// A folder with a test tone and recordings named take0.wav, take1.wav, ...;
// the names listed in `broken` hold text instead of audio.
class Batch : public test::TMeasurementTest {
protected:
  void SetUp() override {
    PrepareSweep(Rate, ToneFrames);
    Options.FloatOutput = false;
    Options.OutBits = 24;
    Options.OutFolder = Folder.Path() + "out/";
    Options.Dither = std::make_unique<TOutputDither>(12345u);
  }

  std::vector<std::string> MakeFiles(int count, const std::vector<int>& broken = {}) {
    std::vector<std::string> files;
    const std::vector<float> recording = ToneCopy(Tone.size() + 100);
    for (int i = 0; i < count; ++i) {
      files.push_back(Folder.Path() + "take" + std::to_string(i) + ".wav");
      if (std::find(broken.begin(), broken.end(), i) != broken.end())
        test::WriteTextFile(files.back(), "not audio");
      else
        test::WriteFloatWav(files.back(), {recording}, Rate);
    }
    return files;
  }

  std::vector<std::string> Run(const std::vector<std::string>& files) {
    return RunBatch(files, Options, Workspace, FrontEnd, FrontEnd.Cancel);
  }

  std::vector<std::string> Slice(const std::vector<std::string>& files, size_t from) {
    return {files.begin() + static_cast<long>(from), files.end()};
  }
};

TEST_F(Batch, SuccessfulRunEmptiesTheListAndWritesEveryOutput) {
  const auto files = MakeFiles(3);
  EXPECT_TRUE(Run(files).empty());
  EXPECT_EQ(FrontEnd.Started, 1);
  EXPECT_EQ(FrontEnd.Ended, 1);
  EXPECT_EQ(FrontEnd.Shown, (std::vector<std::string>{"take0.wav", "take1.wav", "take2.wav"}));
  for (int i = 0; i < 3; ++i) {
    const std::string out = Folder.Path() + "out/take" + std::to_string(i) + "_rv.wav";
    EXPECT_EQ(FrontEnd.Written[static_cast<size_t>(i)], out);
    EXPECT_EQ(test::ReadProductTag(out), "Ravelin");
    EXPECT_EQ(test::ReadAudio(out)[0].size(), 101u);
  }
}

TEST_F(Batch, FailuresAnsweredYesStayInTheListInOrder) {
  const auto files = MakeFiles(5, {1, 3});
  EXPECT_EQ(Run(files), (std::vector<std::string>{files[1], files[3]}));
  ASSERT_EQ(FrontEnd.Questions.size(), 2u);
  EXPECT_EQ(FrontEnd.Questions[0], "Error occured while processing file\r" + files[1] +
                                       "\r\r001 - Not recognised as a supported file\r\r"
                                       "Do you wish to continue processing the remaining files?");
}

TEST_F(Batch, CancelStopsBeforeTheNextFile) {
  const auto files = MakeFiles(10, {1});
  FrontEnd.CancelAt = 3; // pressed while file 3 of 10 runs: observed before file 4
  std::vector<std::string> expected = {files[1]};
  const auto rest = Slice(files, 3);
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(Run(files), expected);
  EXPECT_FALSE(fs::exists(Folder.Path() + "out/take3_rv.wav"));
  EXPECT_TRUE(fs::exists(Folder.Path() + "out/take2_rv.wav"));
}

TEST_F(Batch, NoAnswerStopsAtTheFailedFile) {
  const auto files = MakeFiles(6, {0, 2});
  FrontEnd.Answers = {true, false};
  std::vector<std::string> expected = {files[0]};
  const auto rest = Slice(files, 2);
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(Run(files), expected);
  EXPECT_FALSE(fs::exists(Folder.Path() + "out/take3_rv.wav"));
  EXPECT_EQ(FrontEnd.Ended, 1);
}

TEST_F(Batch, UnusableOutputFolderEndsTheRunByException) {
  const auto files = MakeFiles(2);
  test::WriteTextFile(Folder.Path() + "blocker", "a file where a folder should be");
  Options.OutFolder = Folder.Path() + "blocker/";
  try {
    Run(files);
    FAIL() << "no error";
  } catch (const TRavelinError& error) {
    EXPECT_STREQ(error.what(), "Unable to create output folder!");
  }
  EXPECT_EQ(FrontEnd.Ended, 1);
  EXPECT_TRUE(FrontEnd.Questions.empty());
}

TEST_F(Batch, OwnOutputsAreSkippedUnlessAskedToReprocess) {
  const auto files = MakeFiles(1);
  Options.PreSilence = 0.07; // outputs long enough to be recordings again
  ASSERT_TRUE(Run(files).empty());
  const std::string output = Folder.Path() + "out/take0_rv.wav";
  Options.OutFolder = Folder.Path() + "again/";
  EXPECT_TRUE(Run({output}).empty());
  EXPECT_EQ(FrontEnd.Outcomes.back(), TFileOutcome::Skipped);
  EXPECT_FALSE(fs::exists(Folder.Path() + "again/out/take0_rv_rv.wav"));
  Options.IgnoreProcessed = false;
  EXPECT_TRUE(Run({output}).empty());
  EXPECT_EQ(FrontEnd.Outcomes.back(), TFileOutcome::Processed);
  EXPECT_TRUE(fs::exists(Folder.Path() + "again/out/take0_rv_rv.wav"));
}

TEST_F(Batch, TestToneFailuresAreShownWithTheirCause) {
  test::WriteTextFile(Folder.Path() + "empty.wav", "");
  Options.TestTone = Folder.Path() + "empty.wav";
  EXPECT_FALSE(LoadTestTone(Workspace, Options, FrontEnd));
  ASSERT_EQ(FrontEnd.Messages.size(), 1u);
  EXPECT_EQ(FrontEnd.Messages[0].rfind("Error occured while trying to load test tone file\r\r0", 0), 0u);

  test::WriteFloatWav(Folder.Path() + "none.wav", {std::vector<float>()}, Rate);
  Options.TestTone = Folder.Path() + "none.wav";
  EXPECT_FALSE(LoadTestTone(Workspace, Options, FrontEnd));
  EXPECT_EQ(FrontEnd.Messages.back(),
            "Error occured while trying to load test tone file\r\rTest tone file cannot be empty!");
}

TEST_F(Batch, IntegerOutputsAreDitheredToTheChosenDepth) {
  const auto files = MakeFiles(1);
  Options.OutBits = 16;
  ASSERT_TRUE(Run(files).empty());
  const TChannels out = test::ReadAudio(Folder.Path() + "out/take0_rv.wav");
  for (const float sample : out[0])
    EXPECT_EQ(sample * 32768.0f, std::round(sample * 32768.0f));
  EXPECT_NEAR(out[0][0], 1.0f, 1e-3f); // the impulse, an exact copy of the tone
}

} // namespace
} // namespace ravelin
