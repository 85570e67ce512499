#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "cliTestSupport.h"
#include "engineTestSupport.h"
#include "report.h"

namespace {

using Rows = ravelin::test::TCsvRows;
using ravelin::test::ReadText;
using ravelin::test::SplitCsv;

constexpr int32_t Rate = 96000;
constexpr int32_t ToneFrames = 2 * Rate;
constexpr double Amplitude = 0.5, A2 = 0.1, A3 = 0.2; // y = x + a2 x^2 + a3 x^3, x = Amplitude x tone

// Orders 2 and 3 re the fundamental of the polynomial driven at amplitude a:
// a2 a / 2 and a3 a^2 / 4, over the fundamental 1 + 3 a3 a^2 / 4.
std::pair<double, double> ClosedForm(double a) {
  const double fundamental = 1.0 + 0.75 * A3 * a * a;
  return {A2 * a / 2.0 / fundamental, A3 * a * a / 4.0 / fundamental};
}

class Harmonics : public ::testing::Test {
protected:
  ravelin::test::TTempFolder Folder;
  const std::string Dir = Folder.Path();
  double Peak = 0.0; // the tone's peak: the sine's amplitude in the recording is Amplitude x Peak

  int Run(const std::string& arguments) const {
    return ravelin::test::RunCli(Dir, "deconvolve " + arguments);
  }

  // The generator's sweep through the polynomial, then 0.5 s of silence.
  void SetUp() override {
    const std::vector<float> tone = ravelin::test::MakeTestTone(Dir + "tone.wav", Rate, ToneFrames);
    std::vector<float> recording(tone.size() + Rate / 2, 0.0f);
    for (size_t i = 0; i < tone.size(); ++i) {
      const double x = Amplitude * static_cast<double>(tone[i]);
      recording[i] = static_cast<float>(x + A2 * x * x + A3 * x * x * x);
      Peak = std::max(Peak, std::fabs(static_cast<double>(tone[i])));
    }
    ravelin::test::WriteFloatWav(Dir + "poly.wav", {recording}, Rate);
  }
};

TEST_F(Harmonics, PolynomialOrdersThroughTheWholeCommand) {
  ASSERT_EQ(Run("--tone tone.wav --silence 0.01 --bits float --harmonics 4 --harmonic-files --report r.csv "
                "--curves curves poly.wav"),
            0)
      << ReadText(Dir + "stderr.txt");
  const auto [h2, h3] = ClosedForm(Amplitude * Peak);
  // The curves at 1 kHz: the closed form within 1 dB, order 4 far below.
  const Rows curves = SplitCsv(ReadText(Dir + "curves/poly_rv_harmonics.csv"));
  ASSERT_FALSE(curves.empty());
  EXPECT_EQ(curves[0], (std::vector<std::string>{"frequency_hz", "h2_db", "h3_db", "h4_db", "thd_pct"}));
  const auto at1k = std::find_if(curves.begin(), curves.end(),
                                 [](const std::vector<std::string>& row) { return row[0] == "1000.00"; });
  ASSERT_NE(at1k, curves.end());
  EXPECT_NEAR(std::stod((*at1k)[1]), 20.0 * std::log10(h2), 1.0);
  EXPECT_NEAR(std::stod((*at1k)[2]), 20.0 * std::log10(h3), 1.0);
  EXPECT_LT(std::stod((*at1k)[3]), 20.0 * std::log10(h3) - 30.0);

  // The report: the THD columns appended, all three inside the sweep (at
  // 96 kHz the sampled polynomial's aliases stay clear of 10 kHz's orders).
  const Rows report = SplitCsv(ReadText(Dir + "r.csv"));
  ASSERT_EQ(report.size(), 2u);
  EXPECT_EQ(report[0],
            SplitCsv(std::string(ravelin::ReportHeader) + ",thd_100hz_pct,thd_1khz_pct,thd_10khz_pct")[0]);
  ASSERT_EQ(report[1].size(), 13u);
  EXPECT_EQ(report[1][9], ""); // no overlap warning
  const double thd = 100.0 * std::hypot(h2, h3);
  for (size_t column : {size_t{10}, size_t{11}, size_t{12}})
    EXPECT_NEAR(std::stod(report[1][column]), thd, 0.05 * thd) << report[0][column];

  // Each order's file, marked as ours, so that a second run replaces it;
  // order 2's at 2 kHz re the output at 1 kHz is the closed form's.
  for (const char* name : {"poly_rv_h2.wav", "poly_rv_h3.wav", "poly_rv_h4.wav"})
    EXPECT_EQ(ravelin::test::ReadProductTag(Dir + name), "Ravelin") << name;
  const std::vector<float> linear = ravelin::test::ReadAudio(Dir + "poly_rv.wav")[0];
  const std::vector<float> second = ravelin::test::ReadAudio(Dir + "poly_rv_h2.wav")[0];
  EXPECT_NEAR(ravelin::test::LevelAt(second, 2000.0, Rate) - ravelin::test::LevelAt(linear, 1000.0, Rate),
              20.0 * std::log10(h2), 1.0);
  ASSERT_EQ(Run("--tone tone.wav --bits float --harmonics 4 --harmonic-files poly.wav"), 0);
}

TEST_F(Harmonics, OptionChecksOverlapWarningAndForeignFiles) {
  ASSERT_EQ(Run("--tone tone.wav --report r.csv --curves curves poly.wav"), 0);
  EXPECT_EQ(SplitCsv(ReadText(Dir + "r.csv"))[0].size(), 10u);
  EXPECT_FALSE(std::ifstream(Dir + "curves/poly_rv_harmonics.csv"));
  for (const char* arguments : {"--harmonics 1", "--harmonics 11", "--harmonics 3 --reversed",
                                "--harmonics 3 --min-phase", "--harmonic-files"})
    EXPECT_EQ(Run(std::string("--tone tone.wav ") + arguments + " poly.wav"), 2) << arguments;
  // A system that rings longer than the orders lie apart: the row warns.
  const std::vector<float> tone = ravelin::test::ReadAudio(Dir + "tone.wav")[0];
  std::vector<float> ringing(tone.size() + Rate, 0.0f);
  for (size_t i = 0; i < ringing.size(); ++i)
    ringing[i] = (i < tone.size() ? tone[i] : 0.0f) + (i > 0 ? 0.9995f * ringing[i - 1] : 0.0f);
  ravelin::test::WriteFloatWav(Dir + "ring.wav", {ringing}, Rate);
  ASSERT_EQ(Run("--tone tone.wav --bits float --harmonics 3 --report r.csv ring.wav"), 0);
  EXPECT_NE(SplitCsv(ReadText(Dir + "r.csv"))[1][9].find("orders overlap from order 2"), std::string::npos)
      << ReadText(Dir + "r.csv");
  // A foreign file where an order's file would go is never replaced.
  ravelin::test::WriteTextFile(Dir + "poly_rv_h3.wav", "mine");
  EXPECT_EQ(Run("--tone tone.wav --harmonics 3 --harmonic-files poly.wav"), 1);
  EXPECT_EQ(ReadText(Dir + "poly_rv_h3.wav"), "mine");
}

} // namespace
