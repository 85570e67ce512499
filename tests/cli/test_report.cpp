#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <random>

#include "cliTestSupport.h"
#include "engineTestSupport.h"
#include "wavReader.h"

namespace {

namespace fs = std::filesystem;
using Rows = ravelin::test::TCsvRows;
using ravelin::test::ReadText;
using ravelin::test::SplitCsv;

constexpr int32_t Rate = 8000;
constexpr int32_t Delay = 80;      // samples: 10 ms
constexpr double Gain = 0.5;       // -6.02 dBFS
constexpr double NoiseRms = 1e-4;  // -80 dBFS
constexpr int32_t Response = 4000; // samples of the measured response
constexpr int32_t Silence = 80;    // --silence 0.01

class Report : public ::testing::Test {
protected:
  ravelin::test::TTempFolder Folder;
  const std::string Dir = Folder.Path();

  int Run(const std::string& arguments) const { return ravelin::test::RunCli(Dir, arguments); }

  // A test tone and a recording of it through a response of known delay,
  // gain and noise; a second recording driven into clipping.
  void MakeMeasurement() {
    const std::vector<float> tone = ravelin::test::MakeTestTone(Dir + "tone.wav", Rate, 2000);
    std::mt19937 generator(3);
    std::normal_distribution<double> noise(0.0, NoiseRms);
    std::vector<double> response(Response);
    for (double& x : response)
      x = noise(generator);
    response[Delay] = Gain;
    std::vector<float> recording = ravelin::test::Convolve(tone, response, tone.size() + Response - 1);
    ravelin::test::WriteFloatWav(Dir + "good.wav", {recording}, Rate);
    for (float& x : recording)
      if (std::fabs(4.0f * x) >= 1.0f) {
        x = std::copysign(1.0f, x);
        ++Clipped;
      }
    ravelin::test::WriteFloatWav(Dir + "loud.wav", {recording}, Rate);
    ravelin::test::WriteTextFile(Dir + "bad.wav", "not audio");
  }

  int64_t Clipped = 0;
};

TEST_F(Report, DeconvolveAndAnalyzeGiveTheKnownFigures) {
  MakeMeasurement();
  ASSERT_GT(Clipped, 0);
  ASSERT_EQ(
      Run("deconvolve --tone tone.wav --silence 0.01 --bits float --report report.csv good.wav loud.wav "
          "bad.wav"),
      1);
  const Rows rows = SplitCsv(ReadText(Dir + "report.csv"));
  ASSERT_EQ(rows.size(), 4u) << ReadText(Dir + "stderr.txt");
  EXPECT_EQ(rows[0], SplitCsv("file,channel,latency_ms,peak_dbfs,noise_floor_dbfs,pnr_db,decay_end_ms,"
                              "recording_peak_dbfs,clipped_samples,warnings")[0]);
  const Rows want = {{"good_rv.wav", "1", "10.000", "-6.02"}, {"loud_rv.wav", "1", "10.000"}};
  for (size_t r = 0; r < want.size(); ++r) {
    const std::vector<std::string>& row = rows[r + 1];
    ASSERT_EQ(row.size(), 10u);
    for (size_t c = 0; c < want[r].size(); ++c)
      EXPECT_EQ(row[c], want[r][c]) << r << "," << c;
  }
  EXPECT_NEAR(std::stod(rows[1][4]), -80.0, 1.0); // the noise floor
  EXPECT_NEAR(std::stod(rows[1][5]), 74.0, 1.0);  // peak to noise
  EXPECT_EQ(rows[1][8], "0");
  EXPECT_EQ(rows[1][9], "");
  EXPECT_EQ(rows[2][8], std::to_string(Clipped));
  EXPECT_EQ(rows[2][7], "0.00");
  EXPECT_TRUE(rows[2][9].starts_with("recording clipped")) << rows[2][9];
  EXPECT_EQ(rows[3], (std::vector<std::string>{"bad.wav", "", "", "", "", "", "", "", "",
                                               "001 - Not recognised as a supported file"}));

  // The same figures from the output file; no recording columns.
  ASSERT_EQ(Run("analyze --report - --curves curves good_rv.wav"), 0);
  const Rows again = SplitCsv(ReadText(Dir + "stdout.txt"));
  ASSERT_EQ(again.size(), 2u);
  for (const size_t c : {size_t{0}, size_t{1}, size_t{3}, size_t{4}, size_t{5}, size_t{6}})
    EXPECT_EQ(again[1][c], rows[1][c]) << c;
  EXPECT_EQ(again[1][2], "20.000"); // the silence is not known: it counts as latency
  EXPECT_EQ(again[1][7], "");
  EXPECT_EQ(again[1][8], "");
  EXPECT_NE(ReadText(Dir + "stderr.txt").find("  peak -6.0 dBFS, peak-to-noise 7"), std::string::npos);
  EXPECT_TRUE(ReadText(Dir + "curves/good_rv_curves.csv").starts_with("channel,curve,x,y\n1,magnitude_db,"));
}

TEST_F(Report, JsonReportAndTrimmedOutput) {
  MakeMeasurement();
  ASSERT_EQ(Run("deconvolve --tone tone.wav --silence 0.01 --bits float --trim --report r.json good.wav"), 0);
  const std::string json = ReadText(Dir + "r.json");
  EXPECT_TRUE(json.starts_with("[\n {\"file\": \"good_rv.wav\", \"channel\": 1, \"latency_ms\": 10.000, "))
      << json;
  EXPECT_NE(json.find("\"recording_peak_dbfs\": "), std::string::npos);
  // Kept: from the silence before the peak to 5 ms after the decay end.
  const ravelin::test::TChannels trimmed = ravelin::test::ReadAudio(Dir + "good_rv.wav");
  const std::vector<float>& samples = trimmed[0];
  const auto peak = std::max_element(samples.begin(), samples.end()) - samples.begin();
  EXPECT_EQ(peak, Silence);
  EXPECT_LT(samples.size(), static_cast<size_t>(Response + Silence) / 4);
  EXPECT_LT(std::fabs(samples.back()), 1e-5f);

  EXPECT_EQ(Run("analyze --smoothing 5 good_rv.wav"), 2);
  EXPECT_EQ(Run("analyze --report r.txt good_rv.wav"), 2);
}

TEST_F(Report, HelpDocumentsTheAnalysisOptions) {
  ASSERT_EQ(Run("--help"), 0);
  const std::string help = ReadText(Dir + "stdout.txt");
  for (const char* text : {"ravelin-cli analyze", "--report", "--curves", "--smoothing", "--trim"})
    EXPECT_NE(help.find(text), std::string::npos) << text;
}

// Several files at once with one dither seed write the bytes, messages and
// report of one at a time: a failure, a file already processed, recordings of
// different lengths and 16-bit output.
TEST_F(Report, JobsWithADitherSeedRepeatOneAtATime) {
  MakeMeasurement();
  std::vector<float> longer = ravelin::test::ReadAudio(Dir + "good.wav")[0];
  longer.resize(3 * longer.size(), 0.0f);
  ravelin::test::WriteFloatWav(Dir + "long.wav", {longer, longer}, Rate);
  ravelin::test::WriteFloatWav(Dir + "old.wav", {longer}, Rate, "Ravelin");
  const std::string inputs = " bad.wav long.wav good.wav old.wav loud.wav";
  std::map<std::string, std::string> texts;
  for (const std::string jobs : {"1", "3"}) {
    EXPECT_EQ(Run("deconvolve --tone tone.wav --bits 16 --dither-seed 4000000000 --jobs " + jobs +
                  " --out out" + jobs + " --report report" + jobs + ".csv" + inputs),
              1);
    std::string text = ReadText(Dir + "stderr.txt") + ReadText(Dir + "report" + jobs + ".csv");
    for (size_t at = text.find("out" + jobs + "/"); at != std::string::npos;
         at = text.find("out" + jobs + "/", at))
      text.replace(at, 5, "OUT/");
    texts[jobs] = text;
  }
  EXPECT_EQ(texts["3"], texts["1"]);
  EXPECT_NE(texts["1"].find("processed 3, skipped 1, failed 1"), std::string::npos) << texts["1"];
  for (const char* name : {"long_rv.wav", "good_rv.wav", "loud_rv.wav"})
    EXPECT_EQ(ReadText(Dir + "out3/" + name), ReadText(Dir + "out1/" + name)) << name;
  EXPECT_EQ(Run("deconvolve --tone tone.wav --dither-seed 4294967296 good.wav"), 2);
  EXPECT_EQ(Run("deconvolve --tone tone.wav --jobs 0 good.wav"), 2);
}

} // namespace
