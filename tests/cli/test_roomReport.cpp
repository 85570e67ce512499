#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "cliTestSupport.h"
#include "engineTestSupport.h"

namespace {

using ravelin::test::ReadText;
using ravelin::test::SplitCsv;

constexpr int32_t Rate = 24000;
constexpr double Rt = 0.5; // s

class RoomReport : public ::testing::Test {
protected:
  ravelin::test::TTempFolder Folder;
  const std::string Dir = Folder.Path();

  int Run(const std::string& arguments) const { return ravelin::test::RunCli(Dir, arguments); }

  // Two channels of decaying noise (T = 0.5 s) 60 dB above a noise floor.
  void MakeResponse() const {
    std::mt19937 generator(2);
    std::normal_distribution<double> gauss(0.0, 0.1);
    ravelin::test::TChannels channels(2, std::vector<float>(2 * Rate));
    for (std::vector<float>& channel : channels)
      for (size_t i = 0; i < channel.size(); ++i)
        channel[i] = static_cast<float>((std::pow(10.0, -3.0 * static_cast<double>(i) / (Rt * Rate)) + 1e-3) *
                                        gauss(generator));
    ravelin::test::WriteFloatWav(Dir + "ir.wav", channels, Rate);
    ravelin::test::WriteTextFile(Dir + "bad.wav", "not audio");
  }
};

// A row per channel and band with the exact header, the decay time of the
// response, and the failed file's error.
TEST_F(RoomReport, AnalyzeWritesARowPerChannelAndBand) {
  MakeResponse();
  ASSERT_EQ(Run("analyze --room-report room.csv --bands third ir.wav bad.wav"), 1);
  const auto rows = SplitCsv(ReadText(Dir + "room.csv"));
  ASSERT_EQ(rows.size(), 1u + 2u * 24u + 1u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"file", "channel", "band_hz", "edt_s", "t20_s", "t30_s",
                                               "c50_db", "c80_db", "d50", "ts_ms", "inr_db", "warnings"}));
  for (size_t r = 1; r < rows.size() - 1; ++r) {
    ASSERT_EQ(rows[r].size(), 12u) << r;
    EXPECT_EQ(rows[r][0], "ir.wav");
    EXPECT_EQ(rows[r][1], r <= 24 ? "1" : "2");
    if (rows[r][2] == "1000") {
      EXPECT_NEAR(std::stod(rows[r][5]), Rt, 0.1 * Rt) << r; // one realisation
    }
  }
  EXPECT_EQ(rows.back()[0], "bad.wav");
  EXPECT_EQ(rows.back()[1], "");
  EXPECT_EQ(rows.back()[11], "001 - Not recognised as a supported file");

  ASSERT_EQ(Run("analyze --room-report room.json --report - ir.wav"), 0);
  const std::string json = ReadText(Dir + "room.json");
  EXPECT_TRUE(json.starts_with("[\n {\"file\": \"ir.wav\", \"channel\": 1, \"band_hz\": 63, ")) << json;
  EXPECT_EQ(SplitCsv(ReadText(Dir + "stdout.txt")).size(), 3u); // the per-file report beside it

  EXPECT_EQ(Run("analyze --room-report room.csv --bands fifth ir.wav"), 2);
  EXPECT_EQ(Run("analyze --room-report room.txt ir.wav"), 2);
  ASSERT_EQ(Run("--help"), 0);
  for (const char* text : {"--room-report", "--bands"})
    EXPECT_NE(ReadText(Dir + "stdout.txt").find(text), std::string::npos) << text;
}

} // namespace
