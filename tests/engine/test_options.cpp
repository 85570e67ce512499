#include <gtest/gtest.h>

#include "numberText.h"
#include "processOptions.h"

namespace ravelin {
namespace {

TEST(ParseNumber, AcceptsPlainDecimalsWithPointAndExponent) {
  double value = 0.0;
  EXPECT_TRUE(ParseNumber("6", value));
  EXPECT_EQ(value, 6.0);
  EXPECT_TRUE(ParseNumber("  -0.5", value));
  EXPECT_EQ(value, -0.5);
  EXPECT_TRUE(ParseNumber("+1.5e3", value));
  EXPECT_EQ(value, 1500.0);
  EXPECT_TRUE(ParseNumber(".25", value));
  EXPECT_EQ(value, 0.25);
  EXPECT_TRUE(ParseNumber("2E-2", value));
  EXPECT_DOUBLE_EQ(value, 0.02);
}

TEST(ParseNumber, RejectsAnythingElse) {
  double value = 7.0;
  for (const char* text : {"", " ", "6dB", "6 ", "3,0", "1e", "--1", "+", ".", "0x10", "inf", "nan", "1e999"})
    EXPECT_FALSE(ParseNumber(text, value)) << '"' << text << '"';
  EXPECT_EQ(value, 7.0);
}

TOptionControls ValidControls() {
  TOptionControls controls;
  controls.TestTone = "/tone.wav";
  controls.FileListEmpty = false;
  return controls;
}

TValidationResult Validate(const TOptionControls& controls, TProcessOptions& options) {
  return ValidateOptions(controls, options);
}

TEST(ValidateOptions, ChecksInOrderWithMessagesAndFocus) {
  TProcessOptions options;
  TOptionControls controls;
  controls.Volume = true; // a later failure must not be reported first
  controls.VolumeText = "x";
  auto result = Validate(controls, options);
  EXPECT_FALSE(result.Ok);
  EXPECT_EQ(result.Message, "Please select test tone file first!");
  EXPECT_EQ(result.Focus, TFocusControl::ButtonTT);

  controls.TestTone = "/tone.wav";
  result = Validate(controls, options);
  EXPECT_EQ(result.Message, "Please scan folders first!");

  controls.FileListEmpty = false;
  result = Validate(controls, options);
  EXPECT_EQ(result.Message, "Invalid normalize value specified!");
  EXPECT_EQ(result.Focus, TFocusControl::EditVol);

  controls.VolumeText = "6";
  controls.PreSilence = true;
  controls.PreSilenceText = "-0.1";
  result = Validate(controls, options);
  EXPECT_EQ(result.Message, "Invalid pre silence value specified!");
  EXPECT_EQ(result.Focus, TFocusControl::EditPreSilence);

  controls.PreSilenceText = "0";
  controls.LowCut = true;
  controls.LowCutText = "0.05";
  result = Validate(controls, options);
  EXPECT_EQ(result.Message,
            "Invalid Low Cut value specified!\r\r(should be Hertz cutoff frequency above 0.1)");
  EXPECT_EQ(result.Focus, TFocusControl::EditHPF);

  controls.LowCutText = "0.1"; // compared in single precision: accepted
  controls.HighCut = true;
  controls.HighCutText = "0.1";
  result = Validate(controls, options);
  EXPECT_EQ(result.Message,
            "Invalid High Cut value specified!\r\r(should be Hertz cutoff frequency above Low Cut)");
  EXPECT_EQ(result.Focus, TFocusControl::EditLPF);

  controls.HighCutText = "20000";
  EXPECT_TRUE(Validate(controls, options).Ok);
  EXPECT_NEAR(options.VolumeGain, 1.99526, 1e-5);
  EXPECT_EQ(options.PreSilence, 0.0);
  EXPECT_EQ(options.LowCut, 0.1f);
  EXPECT_EQ(options.HighCut, 20000.0f);
}

TEST(ValidateOptions, DerivesTheRecordFromTheControls) {
  TProcessOptions options;
  TOptionControls controls = ValidControls();
  controls.Volume = true;
  controls.VolumeText = "-6";
  controls.Normalize = true; // ignored while Volume is on
  controls.HighCut = true;
  controls.HighCutText = "0"; // above the low cut's -1 when the low cut is off
  controls.BitDepthIndex = BitDepthIndexFloat;
  controls.Ignore = false;
  controls.CutSlopeIndex = 8;
  ASSERT_TRUE(ValidateOptions(controls, options).Ok);
  EXPECT_FALSE(options.Normalize);
  EXPECT_NEAR(options.VolumeGain, 0.501187, 1e-6);
  EXPECT_EQ(options.LowCut, -1.0f);
  EXPECT_EQ(options.HighCut, 0.0f);
  EXPECT_EQ(options.OutBits, 32);
  EXPECT_TRUE(options.FloatOutput);
  EXPECT_FALSE(options.IgnoreProcessed);
  EXPECT_EQ(options.CutSlope, 8);

  const int bits[] = {16, 24, 32};
  for (int index = 0; index < 3; ++index) {
    controls.BitDepthIndex = index;
    ASSERT_TRUE(ValidateOptions(controls, options).Ok);
    EXPECT_EQ(options.OutBits, bits[index]);
    EXPECT_FALSE(options.FloatOutput);
  }
  controls.Volume = false;
  ASSERT_TRUE(ValidateOptions(controls, options).Ok);
  EXPECT_TRUE(options.Normalize);
}

} // namespace
} // namespace ravelin
