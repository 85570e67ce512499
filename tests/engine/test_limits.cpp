// Numbers at the edges of their ranges: texts too small or too large for a
// double or a float, option values that overflow, and recordings at the
// bounds of the supported sample rates.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "measurementTest.h"
#include "numberText.h"
#include "outputStage.h"
#include "processFile.h"
#include "processOptions.h"

namespace ravelin {
namespace {

const std::string Zeros400(400, '0');

TEST(ParseNumber, TooSmallReadsAsSignedZeroTooLargeFails) {
  const struct {
    std::string Text;
    bool Ok;
    double Value;
  } cases[] = {
      {"1e-400", true, 0.0},
      {"-1e-400", true, -0.0},
      {"2e-324", true, 0.0},
      {"5e-324", true, 5e-324}, // the smallest subnormal
      {"0." + Zeros400 + "1", true, 0.0},
      {"-0.001e-99999999999999999999", true, -0.0},
      {"1" + Zeros400 + "e-500", true, 1e-100},
      {"1.7976931348623157e308", true, 1.7976931348623157e308},
      {"1e309", false, 0.0},
      {"-1e309", false, 0.0},
      {"1" + Zeros400, false, 0.0},
      {"0." + Zeros400 + "1e800", false, 0.0},
      {"123e99999999999999999999", false, 0.0},
  };
  for (const auto& c : cases) {
    double value = 7.0;
    ASSERT_EQ(ParseNumber(c.Text, value), c.Ok) << c.Text;
    if (c.Ok) {
      EXPECT_EQ(value, c.Value) << c.Text;
      EXPECT_EQ(std::signbit(value), std::signbit(c.Value)) << c.Text;
    } else {
      EXPECT_EQ(value, 7.0) << c.Text;
    }
  }
}

TEST(ParseSingleAndInteger, RangeOfTheTarget) {
  const struct {
    const char* Text;
    bool Ok;
    float Value;
  } singles[] = {{"3.4e38", true, 3.4e38f}, {"-3.4e38", true, -3.4e38f}, {"3.5e38", false, 0.0f},
                 {"-1e300", false, 0.0f},   {"1e-50", true, 0.0f},       {"0.1", true, 0.1f}};
  for (const auto& c : singles) {
    float value = 7.0f;
    ASSERT_EQ(ParseSingle(c.Text, value), c.Ok) << c.Text;
    EXPECT_EQ(value, c.Ok ? c.Value : 7.0f) << c.Text;
  }
  const struct {
    const char* Text;
    bool Ok;
    int Value;
  } integers[] = {{"+4", true, 4},          {"-2147483648", true, -2147483647 - 1},
                  {"2147483648", false, 0}, {"+-1", false, 0},
                  {"-", false, 0},          {"+", false, 0},
                  {"12x", false, 0},        {" 1", false, 0}};
  for (const auto& c : integers) {
    int value = 7;
    ASSERT_EQ(ParseInteger(c.Text, value), c.Ok) << c.Text;
    EXPECT_EQ(value, c.Ok ? c.Value : 7) << c.Text;
  }
}

// Each field at the edge of its range: accepted with a usable value, or
// refused with that field's own message.
TEST(ValidateOptions, ValuesBeyondTheirTypesRangeAreRefusedByTheirField) {
  const std::string lowCutMessage =
      "Invalid Low Cut value specified!\r\r(should be Hertz cutoff frequency above 0.1)";
  const std::string highCutMessage =
      "Invalid High Cut value specified!\r\r(should be Hertz cutoff frequency above Low Cut)";
  const struct {
    std::string TOptionControls::*Text;
    bool TOptionControls::*Check;
    const char* Value;
    std::string Message; // empty: accepted
  } cases[] = {
      {&TOptionControls::LowCutText, &TOptionControls::LowCut, "1e300", lowCutMessage},
      {&TOptionControls::LowCutText, &TOptionControls::LowCut, "3.5e38", lowCutMessage},
      {&TOptionControls::LowCutText, &TOptionControls::LowCut, "3.4e38", ""},
      {&TOptionControls::LowCutText, &TOptionControls::LowCut, "1e-400", lowCutMessage},
      {&TOptionControls::HighCutText, &TOptionControls::HighCut, "1e300", highCutMessage},
      {&TOptionControls::HighCutText, &TOptionControls::HighCut, "-1e300", highCutMessage},
      {&TOptionControls::HighCutText, &TOptionControls::HighCut, "3.4e38", ""},
      {&TOptionControls::PreSilenceText, &TOptionControls::PreSilence, "1e-400", ""},
      {&TOptionControls::PreSilenceText, &TOptionControls::PreSilence, "-1e-400", ""},
      {&TOptionControls::VolumeText, &TOptionControls::Volume, "-1e-400", ""},
      {&TOptionControls::VolumeText, &TOptionControls::Volume, "1e400", "Invalid normalize value specified!"},
  };
  for (const auto& c : cases) {
    TOptionControls controls;
    controls.TestTone = "/tone.wav";
    controls.FileListEmpty = false;
    controls.*c.Check = true;
    controls.*c.Text = c.Value;
    TProcessOptions options;
    const TValidationResult result = ValidateOptions(controls, options);
    EXPECT_EQ(result.Message, c.Message) << c.Value;
    if (!result.Ok)
      continue;
    EXPECT_TRUE(std::isfinite(options.LowCut) && std::isfinite(options.HighCut)) << c.Value;
    EXPECT_EQ(options.PreSilence, 0.0) << c.Value;
    EXPECT_EQ(options.VolumeGain, 1.0) << c.Value;
  }
}

// Recordings at and beyond the supported sample rates, with and without the
// cut filters, through the reader and the whole per-file pipeline.
class SampleRateBounds : public test::TMeasurementTest {
protected:
  void SetUp() override { PrepareSweep(8000, 256); }
};

TEST_F(SampleRateBounds, WorkInsideAndFailClearlyOutside) {
  const struct {
    int32_t Rate;
    float LowCut, HighCut;
    int Slope;
    const char* Error; // nullptr: success
  } cases[] = {
      {1, -1.0f, -1.0f, 0, nullptr},
      {10000000, -1.0f, -1.0f, 0, nullptr},
      {10000000, 100.0f, 1e6f, 3, nullptr},
      {10000000, 0.1f, 3.4e38f, 7, nullptr},
      {10000000, 3.4e38f, -1.0f, 8, nullptr},
      {1, 0.1f, -1.0f, 0, "Sample rate too low for the cut filters"},
      {0, -1.0f, -1.0f, 0, "001 - Not recognised as a supported file"},
      {10000001, -1.0f, -1.0f, 0, "001 - Not recognised as a supported file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Rate << " Hz, cuts " << c.LowCut << " " << c.HighCut);
    Options.LowCut = c.LowCut;
    Options.HighCut = c.HighCut;
    Options.CutSlope = c.Slope;
    SampleRate = c.Rate;
    const std::string path = Folder.Path() + "take.wav";
    const std::string output = MakeOutputName(path, Options);
    std::filesystem::remove(output);
    test::WriteFloatWav(path, {ToneCopy(512)}, c.Rate);
    FrontEnd.Questions.clear();
    FrontEnd.Answers = {true};
    EXPECT_TRUE(ProcessFile(path, output, Options, Workspace, FrontEnd));
    if (c.Error) {
      ASSERT_EQ(FrontEnd.Questions.size(), 1u);
      EXPECT_NE(FrontEnd.Questions[0].find(c.Error), std::string::npos) << FrontEnd.Questions[0];
      continue;
    }
    ASSERT_TRUE(FrontEnd.Questions.empty()) << FrontEnd.Questions[0];
    const test::TChannels result = test::ReadAudio(output);
    ASSERT_EQ(result.size(), 1u);
    EXPECT_EQ(result[0].size(), 257u);
    for (const float v : result[0])
      ASSERT_TRUE(std::isfinite(v));
    if (c.LowCut < 0.0f) { // the recording is the tone itself: a unit impulse
      EXPECT_NEAR(result[0][0], 1.0f, 1e-3f);
    }
  }
}

} // namespace
} // namespace ravelin
