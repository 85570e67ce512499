#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engineTestSupport.h"
#include "wavReader.h"

namespace {

namespace fs = std::filesystem;

struct TCliResult {
  int Status = -1;
  std::string Errors; // stderr
};

class Cli : public ::testing::Test {
protected:
  ravelin::test::TTempFolder Folder;
  const std::string Dir = Folder.Path();

  void SetUp() override { fs::create_directories(Dir + "rec/sub"); }

  TCliResult Run(const std::string& arguments) const { return Shell("'" RAVELIN_CLI_PATH "' " + arguments); }

  // Runs a shell command in the folder; its output goes to stdout.txt and stderr.txt.
  TCliResult Shell(const std::string& command) const {
    const int status =
        std::system(("cd '" + Dir + "' && { " + command + "; } >stdout.txt 2>stderr.txt").c_str());
    std::stringstream errors;
    errors << std::ifstream(Dir + "stderr.txt").rdbuf();
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, errors.str()};
  }

  // A test tone, and recordings that are copies of it (long enough with pre-silence).
  void MakeMeasurement() {
    ASSERT_EQ(Run("sweep tone.wav --rate 8000 --duration 0.25 --bits float").Status, 0);
    fs::copy_file(Dir + "tone.wav", Dir + "rec/a.wav");
    fs::copy_file(Dir + "tone.wav", Dir + "rec/sub/b.WAV");
  }
};

TEST_F(Cli, DeconvolvesFoldersIntoMirroredOutputs) {
  MakeMeasurement();
  const TCliResult result =
      Run("deconvolve --tone tone.wav --silence 0.1 --bits float --recurse --out out rec");
  EXPECT_EQ(result.Status, 0) << result.Errors;
  EXPECT_NE(result.Errors.find("[1/2] a.wav\n"), std::string::npos) << result.Errors;
  EXPECT_NE(result.Errors.find("[2/2] b.WAV\n"), std::string::npos);
  EXPECT_NE(result.Errors.find("processed 2, skipped 0, failed 0"), std::string::npos);
  ravelin::TWAVReader output(Dir + "out/sub/b_rv.wav");
  EXPECT_EQ(output.FrameCount(), 1601); // R + P - T + 1 with P = 1600
  EXPECT_EQ(output.ProductTag(), "Ravelin");

  // Own outputs are skipped by default.
  const TCliResult again = Run("deconvolve --tone tone.wav --silence 0.1 out/sub/b_rv.wav");
  EXPECT_EQ(again.Status, 0);
  EXPECT_NE(again.Errors.find("processed 0, skipped 1, failed 0"), std::string::npos);
}

TEST_F(Cli, FailuresGiveStatusOneAndStopOnErrorStops) {
  MakeMeasurement();
  std::ofstream(Dir + "rec/0bad.wav") << "not audio";
  TCliResult result = Run("deconvolve --tone tone.wav --silence 0.1 rec");
  EXPECT_EQ(result.Status, 1);
  EXPECT_NE(result.Errors.find("ravelin-cli: error: rec/0bad.wav: 0"), std::string::npos) << result.Errors;
  EXPECT_NE(result.Errors.find("processed 1, skipped 0, failed 1"), std::string::npos);

  result = Run("deconvolve --tone tone.wav --silence 0.1 --stop-on-error --reprocess rec");
  EXPECT_EQ(result.Status, 1);
  EXPECT_NE(result.Errors.find("processed 0, skipped 0, failed 1, not reached 2"), std::string::npos)
      << result.Errors;
}

TEST_F(Cli, UsageAndValidationErrorsGiveStatusTwoWithTheEngineTexts) {
  MakeMeasurement();
  TCliResult result = Run("deconvolve --tone tone.wav --silence -1 rec");
  EXPECT_EQ(result.Status, 2);
  EXPECT_EQ(result.Errors, "ravelin-cli: Invalid pre silence value specified!\n");
  result = Run("deconvolve --tone tone.wav --low-cut 100 --high-cut 50 rec");
  EXPECT_EQ(result.Status, 2);
  EXPECT_EQ(
      result.Errors,
      "ravelin-cli: Invalid High Cut value specified!\n\n(should be Hertz cutoff frequency above Low Cut)\n");
  EXPECT_EQ(Run("deconvolve rec").Errors, "ravelin-cli: Please select test tone file first!\n");
  EXPECT_EQ(Run("deconvolve --tone tone.wav rec/sub/nothing-here").Status, 2);
  EXPECT_EQ(Run("deconvolve --tone tone.wav --slope 13 rec").Status, 2);
  EXPECT_EQ(Run("deconvolve --tone tone.wav --volume 3 --normalize rec").Status, 2);
  EXPECT_EQ(Run("deconvolve --tone missing.wav rec").Status, 2);
  EXPECT_EQ(Run("frobnicate").Status, 2);
  EXPECT_EQ(Run("sweep x.wav --channels quad").Status, 2);
  EXPECT_EQ(Run("sweep x.wav --duration 0").Status, 2);
}

// --slope 12 .. 96 are the slope items 0 .. 7, max item 8: a low cut at
// 100 Hz attenuates an impulse response (the recording is the tone itself) at
// its corner by 3 dB per item above -1; "max" clears everything below the
// corner bin (measured -88 dB at 90 Hz, where item 7 gives -32 dB).
TEST_F(Cli, SlopeSetsTheCutFiltersAttenuation) {
  MakeMeasurement();
  const struct {
    const char* Slope;
    double Frequency; // Hz
    double Low, High; // dB
  } cases[] = {{"12", 100, -3.2, -2.8},
               {"24", 100, -6.2, -5.8},
               {"84", 100, -21.2, -20.8},
               {"96", 100, -24.2, -23.8},
               {"max", 90, -300, -60}};
  for (const auto& c : cases) {
    const TCliResult result = Run(
        std::string("deconvolve --tone tone.wav --silence 2 --bits float --low-cut 100 --out out --slope ") +
        c.Slope + " rec/a.wav");
    ASSERT_EQ(result.Status, 0) << result.Errors;
    const std::vector<float> response = ravelin::test::ReadAudio(Dir + "out/a_rv.wav")[0];
    const double level = ravelin::test::LevelAt(response, c.Frequency, 8000);
    EXPECT_GT(level, c.Low) << c.Slope;
    EXPECT_LT(level, c.High) << c.Slope;
  }
}

TEST_F(Cli, SweepWritesTheRequestedFormat) {
  ASSERT_EQ(Run("sweep s.wav --rate 48000 --bits 16 --channels left --duration 0.5 --fade").Status, 0);
  ravelin::TWAVReader sweep(Dir + "s.wav");
  EXPECT_EQ(sweep.SampleRate(), 48000);
  EXPECT_EQ(sweep.BitsPerSample(), 16);
  EXPECT_EQ(sweep.Channels(), 2);
  EXPECT_EQ(sweep.FrameCount(), 24000);
}

TEST_F(Cli, HelpDocumentsEveryOption) {
  ASSERT_EQ(Run("--help").Status, 0);
  std::stringstream help;
  help << std::ifstream(Dir + "stdout.txt").rdbuf();
  for (const char* option :
       {"--tone",      "--out",      "--bits",          "--reversed",   "--min-phase", "--volume",
        "--normalize", "--silence",  "--low-cut",       "--high-cut",   "--slope",     "--no-suffix",
        "--reprocess", "--recurse",  "--stop-on-error", "--files-from", "--null",      "--quiet",
        "--rate",      "--channels", "--duration",      "--fade",       "--version"})
    EXPECT_NE(help.str().find(option), std::string::npos) << option;
}

TEST_F(Cli, FileListsAddInputsAndQuietLeavesOnlyErrors) {
  MakeMeasurement();
  fs::copy_file(Dir + "tone.wav", Dir + "rec/two\nlines.wav");
  std::ofstream(Dir + "rec/bad.wav") << "not audio";
  ravelin::test::WriteTextFile(Dir + "lines.txt", "rec/a.wav\n\nrec/sub/b.WAV\n");
  ravelin::test::WriteTextFile(Dir + "nul.bin", std::string("rec/two\nlines.wav\0rec/a.wav", 27));
  const struct {
    const char* Arguments;
    int Status;
    const char* Errors; // found in stderr
  } cases[] = {
      {"--files-from lines.txt", 0, "processed 2, skipped 0, failed 0"},
      {"--files-from=- <lines.txt rec/bad.wav", 1, "processed 2, skipped 0, failed 1"},
      {"--null --files-from - <nul.bin", 0, "[1/2] two\nlines.wav\n"},
      {"--files-from missing.txt", 2, "ravelin-cli: cannot read file list 'missing.txt'\n"},
      {"--files-from rec", 2, "ravelin-cli: cannot read file list 'rec'\n"},
      {"--quiet rec/bad.wav", 1, "ravelin-cli: error: rec/bad.wav: 0"},
  };
  for (const auto& c : cases) {
    const TCliResult result =
        Run(std::string("deconvolve --tone tone.wav --silence 0.1 --out out --reprocess ") + c.Arguments);
    EXPECT_EQ(result.Status, c.Status) << c.Arguments << "\n" << result.Errors;
    EXPECT_NE(result.Errors.find(c.Errors), std::string::npos) << c.Arguments << "\n" << result.Errors;
  }
  // --quiet: the error line and nothing else.
  const TCliResult quiet =
      Run("deconvolve --tone tone.wav --silence 0.1 --quiet --out out rec/bad.wav rec/a.wav");
  EXPECT_EQ(std::count(quiet.Errors.begin(), quiet.Errors.end(), '\n'), 1) << quiet.Errors;
}

// On a terminal the bar under the file lines shows the time elapsed and, once
// a file is done, an estimate of the rest.
TEST_F(Cli, TerminalBarShowsElapsedTimeAndTheRest) {
  MakeMeasurement();
  const TCliResult result = Shell("script -qec \"'" RAVELIN_CLI_PATH
                                  "' deconvolve --tone tone.wav --silence 0.1 --out out rec/a.wav rec/sub\" "
                                  "/dev/null >tty.txt");
  ASSERT_EQ(result.Status, 0) << result.Errors;
  std::stringstream tty;
  tty << std::ifstream(Dir + "tty.txt").rdbuf();
  std::string bars = tty.str(); // every digit as 9: times of any value
  std::replace_if(
      bars.begin(), bars.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }, '9');
  for (const char* bar : {"] 9/9  9:99 elapsed\r", "] 9/9  9:99 elapsed, 9:99 left\r"})
    EXPECT_NE(bars.find(bar), std::string::npos) << bar << "\n" << tty.str();
}

// A list split into shards, run by GNU parallel and by the Slurm array
// script's tasks, gives the outputs of one run over the whole list: float
// outputs bit for bit; integer outputs differ only by their dither, whose
// generator each process seeds from the clock (TPDF of +-1 LSB before the
// rounding: at most 2 LSB apart).
TEST_F(Cli, ShardedFileListsGiveTheOutputsOfOneRun) {
  if (std::system("parallel --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "GNU parallel is not installed (scripts/install-deps.sh installs it)";
  MakeMeasurement();
  const std::vector<float> tone = ravelin::test::ReadAudio(Dir + "tone.wav")[0];
  std::string list;
  for (int k = 0; k < 4; ++k) {
    std::vector<float> recording = tone;
    for (float& sample : recording)
      sample *= 0.9f / static_cast<float>(1 << k);
    const std::string name = "rec/r" + std::to_string(k) + ".wav";
    ravelin::test::WriteFloatWav(Dir + name, {recording}, 8000);
    list += name + "\n";
  }
  ravelin::test::WriteTextFile(Dir + "list.txt", list);
  const std::string cli = "'" RAVELIN_CLI_PATH "'";
  for (const std::string bits : {"float", "16"}) {
    const std::string settings = " --silence 0.1 --bits " + bits + " --out ";
    ASSERT_EQ(Run("deconvolve --files-from list.txt --tone tone.wav" + settings + "one").Status, 0);
    ASSERT_EQ(Shell("parallel --will-cite --pipe -N 2 -j2 " + cli +
                    " deconvolve --quiet --files-from - --tone tone.wav" + settings + "shards <list.txt")
                  .Status,
              0);
    for (const char* task : {"0", "1"})
      ASSERT_EQ(
          Shell(std::string("SLURM_ARRAY_TASK_ID=") + task + " SLURM_ARRAY_TASK_COUNT=2 RAVELIN_CLI=" + cli +
                " '" RAVELIN_SOURCE_DIR "/scripts/slurm-array.sh' list.txt tone.wav" + settings + "tasks")
              .Status,
          0);
    const float tolerance = bits == "float" ? 0.0f : 2.0f / 32768;
    for (int k = 0; k < 4; ++k) {
      const std::string name = "/r" + std::to_string(k) + "_rv.wav";
      const std::vector<float> one = ravelin::test::ReadAudio(Dir + "one" + name)[0];
      for (const char* sharded : {"shards", "tasks"}) {
        const std::vector<float> other = ravelin::test::ReadAudio(Dir + sharded + name)[0];
        ASSERT_EQ(other.size(), one.size()) << sharded << name;
        float largest = 0;
        for (size_t i = 0; i < one.size(); ++i)
          largest = std::max(largest, std::abs(other[i] - one[i]));
        EXPECT_LE(largest, tolerance) << sharded << name << " --bits " << bits;
      }
    }
  }
}

} // namespace
