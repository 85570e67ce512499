#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "batch.h"
#include "engineTestSupport.h"
#include "outputStage.h"
#include "processFile.h"

namespace ravelin {
namespace {

namespace fs = std::filesystem;
using test::TChannels;

constexpr int32_t Rate = 8000;

TEST(MakeOutputName, MirrorsTheSubfolderAndCreatesIt) {
  test::TTempFolder folder;
  TProcessOptions options;
  options.ScanFolder = folder.Path() + "rec/";
  options.OutFolder = folder.Path() + "out/";
  EXPECT_EQ(MakeOutputName(folder.Path() + "rec/a/b/take.wav", options),
            folder.Path() + "out/a/b/take_rv.wav");
  EXPECT_TRUE(fs::is_directory(folder.Path() + "out/a/b"));
  EXPECT_EQ(MakeOutputName(folder.Path() + "rec/take1.aif", options), folder.Path() + "out/take1_rv.wav");
  EXPECT_EQ(MakeOutputName(folder.Path() + "rec/v1.2/take", options), folder.Path() + "out/v1.2/take_rv.wav");
  EXPECT_EQ(MakeOutputName(folder.Path() + "rec/x.y.wav", options), folder.Path() + "out/x.y_rv.wav");
}

// One short measurement, processed into float outputs.
class OutputStage : public ::testing::Test {
protected:
  test::TTempFolder Folder;
  TProcessWorkspace Workspace;
  test::TScriptFrontEnd FrontEnd;
  TProcessOptions Options;
  std::vector<float> Recording;

  void SetUp() override {
    const std::vector<float> tone = test::MakeTestTone(Folder.Path() + "tone.wav", Rate, 512);
    Options.TestTone = Folder.Path() + "tone.wav";
    Options.FloatOutput = true;
    Options.OutBits = 32;
    Options.ScanFolder = Folder.Path();
    Options.OutFolder = Folder.Path();
    Recording = test::Convolve(tone, {0.5, 0.0, -0.25}, 1024);
    ASSERT_TRUE(LoadTestTone(Workspace, Options, FrontEnd));
  }

  bool Process(const std::string& path) {
    return ProcessFile(path, MakeOutputName(path, Options), Options, Workspace, FrontEnd);
  }
};

TEST_F(OutputStage, NoSuffixReplacesTheRecordingBesideIt) {
  Options.NoRename = true;
  const std::string path = Folder.Path() + "take.wav";
  test::WriteFloatWav(path, {Recording}, Rate);
  ASSERT_TRUE(Process(path));
  EXPECT_FALSE(fs::exists(Folder.Path() + "take_rv.wav"));
  EXPECT_EQ(test::ReadProductTag(path), "Ravelin");
  EXPECT_NEAR(test::ReadAudio(path)[0][0], 0.5f, 1e-4f);
  EXPECT_EQ(FrontEnd.Written.back(), path);
}

TEST_F(OutputStage, AiffRecordingIsReplacedByAWavOfTheSameName) {
  Options.NoRename = true;
  const std::string path = Folder.Path() + "take.aif";
  test::WriteAiff16(path, Recording, Rate);
  ASSERT_TRUE(Process(path));
  EXPECT_FALSE(fs::exists(Folder.Path() + "take_rv.wav"));
  EXPECT_EQ(test::ReadProductTag(path), "Ravelin"); // now a WAV file under the .aif name
}

TEST_F(OutputStage, NoSuffixInAnotherFolderTakesOrReplacesTheName) {
  Options.NoRename = true;
  Options.OutFolder = Folder.Path() + "out/";
  const std::string path = Folder.Path() + "take.wav";
  test::WriteFloatWav(path, {Recording}, Rate);
  ASSERT_TRUE(Process(path));
  EXPECT_TRUE(fs::exists(Folder.Path() + "out/take.wav"));
  EXPECT_FALSE(fs::exists(Folder.Path() + "out/take_rv.wav"));
  EXPECT_EQ(test::ReadProductTag(path), ""); // the recording itself is untouched
  test::WriteFloatWav(Folder.Path() + "out/take.wav", {{0.0f}}, Rate, "Ravelin"); // an older output
  ASSERT_TRUE(Process(path));
  EXPECT_NEAR(test::ReadAudio(Folder.Path() + "out/take.wav")[0][0], 0.5f, 1e-4f);
}

// A file in the output's place that this program did not write is never
// replaced: the file fails, nothing is written under either name.
TEST_F(OutputStage, FilesNotWrittenByThisProgramAreNeverReplaced) {
  const std::string path = Folder.Path() + "take.wav";
  test::WriteFloatWav(path, {Recording}, Rate);
  struct TCase {
    bool NoRename;
    std::string OutFolder, Target;
    bool Folder; // a folder in the target's place
  };
  const TCase cases[] = {{false, "", "take_rv.wav", false},
                         {true, "out/", "out/take.wav", false},
                         {true, "out/", "out/take.wav", true},
                         {false, "", "take_rv.wav", true}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Target);
    fs::remove_all(Folder.Path() + "out");
    fs::remove_all(Folder.Path() + "take_rv.wav");
    const std::string target = Folder.Path() + c.Target;
    fs::create_directories(fs::path(target).parent_path());
    if (c.Folder)
      fs::create_directories(target + "/inside");
    else
      test::WriteFloatWav(target, {{0.25f}}, Rate, "Ravelin 2"); // someone else's tag
    Options.NoRename = c.NoRename;
    Options.OutFolder = Folder.Path() + c.OutFolder;
    FrontEnd.Questions.clear();
    Options.Retained.clear();
    EXPECT_TRUE(Process(path));
    ASSERT_EQ(FrontEnd.Questions.size(), 1u);
    EXPECT_NE(FrontEnd.Questions[0].find("\r\rRefusing to replace a file Ravelin did not write: " + target +
                                         "\r\r"),
              std::string::npos)
        << FrontEnd.Questions[0];
    EXPECT_EQ(Options.Retained, (std::vector<std::string>{path}));
    EXPECT_EQ(c.Folder, fs::is_directory(target));
    if (!c.Folder) {
      EXPECT_EQ(test::ReadAudio(target)[0][0], 0.25f);
    }
    EXPECT_FALSE(fs::exists(Folder.Path() + "out/take_rv.wav"));
    if (c.NoRename) {
      EXPECT_FALSE(fs::exists(Folder.Path() + "take_rv.wav"));
    }
  }
  EXPECT_EQ(test::ReadProductTag(path), "");
}

// Two recordings of one run that map to one output: the second fails and the
// first's output stays; the same recording again may replace its own output.
TEST_F(OutputStage, TwoRecordingsNeverShareAnOutput) {
  test::WriteFloatWav(Folder.Path() + "take.wav", {Recording}, Rate);
  test::WriteAiff16(Folder.Path() + "take.aif", std::vector<float>(Recording.size(), 0.0f), Rate);
  FrontEnd.Answers = {true};
  EXPECT_TRUE(Process(Folder.Path() + "take.wav"));
  EXPECT_TRUE(Process(Folder.Path() + "./take.aif"));
  ASSERT_EQ(FrontEnd.Questions.size(), 1u);
  EXPECT_NE(FrontEnd.Questions[0].find("Output file already written by another recording of this run: "),
            std::string::npos);
  EXPECT_NEAR(test::ReadAudio(Folder.Path() + "take_rv.wav")[0][0], 0.5f, 1e-4f);
  EXPECT_TRUE(Process(Folder.Path() + "take.wav"));
  EXPECT_EQ(FrontEnd.Questions.size(), 1u);
}

// A gain that overflows single precision gives a failure, not infinities
// written as success.
TEST_F(OutputStage, NonFiniteSamplesAfterTheGainAreAFailure) {
  const std::string path = Folder.Path() + "take.wav";
  test::WriteFloatWav(path, {Recording}, Rate);
  Options.ApplyVolume = true;
  for (const double gain : {1e40, 1e300}) {
    Options.VolumeGain = gain;
    FrontEnd.Answers = {true};
    FrontEnd.Questions.clear();
    EXPECT_TRUE(Process(path));
    ASSERT_EQ(FrontEnd.Questions.size(), 1u);
    EXPECT_NE(FrontEnd.Questions[0].find("\r\rDeconvolution result is not finite!\r\r"), std::string::npos);
    EXPECT_FALSE(fs::exists(Folder.Path() + "take_rv.wav"));
  }
}

TEST_F(OutputStage, NormalisationUsesTheCommonPeakAndVolumeTheFixedGain) {
  const std::string path = Folder.Path() + "take.wav";
  std::vector<float> quieter = Recording;
  for (float& sample : quieter)
    sample *= 0.5f;
  test::WriteFloatWav(path, {Recording, quieter}, Rate);
  Options.Normalize = true;
  ASSERT_TRUE(Process(path));
  TChannels out = test::ReadAudio(Folder.Path() + "take_rv.wav");
  EXPECT_NEAR(out[0][0], 0.966f, 1e-4f); // the loudest channel reaches 0.966
  EXPECT_NEAR(out[1][0], 0.483f, 1e-4f); // the balance is kept

  Options.Normalize = false;
  Options.ApplyVolume = true;
  Options.VolumeGain = 2.0;
  ASSERT_TRUE(Process(path));
  out = test::ReadAudio(Folder.Path() + "take_rv.wav");
  EXPECT_NEAR(out[0][0], 1.0f, 1e-4f);
  EXPECT_NEAR(out[0][2], -0.5f, 1e-4f);
}

} // namespace
} // namespace ravelin
