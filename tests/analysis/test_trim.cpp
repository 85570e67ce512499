#include <gtest/gtest.h>

#include "trim.h"

namespace {

ravelin::TChannelFigures Channel(int32_t peak, int32_t decayEnd) {
  ravelin::TChannelFigures figures;
  figures.PeakIndex = peak;
  figures.DecayEndIndex = decayEnd;
  return figures;
}

// 1 kHz: a margin of 5 ms is 5 samples.
TEST(Trim, RangeRunsFromAMarginBeforeThePeakToAMarginAfterTheDecayEnd) {
  struct TCase {
    const char* Name;
    std::vector<ravelin::TChannelFigures> Channels;
    int32_t Length, PreSilence;
    ravelin::TTrimRange Want;
  };
  const std::vector<TCase> cases = {
      {"one channel", {Channel(100, 300)}, 1000, 0, {95, 211, 5}},
      {"pre-silence longer than the margin", {Channel(100, 300)}, 1000, 40, {60, 246, 5}},
      {"channels: earliest peak, latest end", {Channel(100, 300), Channel(90, 500)}, 1000, 0, {85, 421, 5}},
      {"peak at the start", {Channel(2, 300)}, 1000, 0, {0, 306, 5}},
      {"decay to the end", {Channel(100, 998)}, 1000, 0, {95, 905, 1}},
      {"decay end at the last sample", {Channel(100, 1000)}, 1000, 0, {95, 905, 0}},
  };
  for (const TCase& c : cases) {
    const ravelin::TTrimRange range = ravelin::TrimRange(c.Channels, c.Length, 1000, c.PreSilence, 5.0);
    EXPECT_EQ(range.First, c.Want.First) << c.Name;
    EXPECT_EQ(range.Count, c.Want.Count) << c.Name;
    EXPECT_EQ(range.Fade, c.Want.Fade) << c.Name;
  }
}

TEST(Trim, KeptSamplesMoveToTheStartAndFadeOut) {
  std::vector<float> samples(100);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<float>(i);
  const ravelin::TTrimRange range{10, 50, 9};
  ravelin::ApplyTrim(samples.data(), range);
  for (int32_t i = 0; i < range.Count - range.Fade; ++i)
    EXPECT_EQ(samples[static_cast<size_t>(i)], static_cast<float>(i + 10));
  // Half a Hann window over the fade: 0.5 (1 + cos(pi j / 10)) for j = 1 .. 9.
  EXPECT_NEAR(samples[41], 51.0f * 0.975528f, 1e-3f);
  EXPECT_NEAR(samples[45], 55.0f * 0.5f, 1e-3f);
  EXPECT_NEAR(samples[49], 59.0f * 0.024472f, 1e-3f);

  ravelin::TChannelFigures figures = Channel(30, 45);
  figures.LatencyMs = 7.0;
  ravelin::TrimFigures(figures, range, 1000);
  EXPECT_EQ(figures.PeakIndex, 20);
  EXPECT_EQ(figures.DecayEndIndex, 35);
  EXPECT_DOUBLE_EQ(figures.DecayEndMs, 35.0);
  EXPECT_DOUBLE_EQ(figures.LatencyMs, 7.0);
}

} // namespace
