// The supported sample rates (1 Hz .. 10 MHz) in every container, and the
// AIFF extended rate's rounding, signs and special values.
#include "fixtures.h"
#include "wavReader.h"

#include <gtest/gtest.h>

using namespace ravelin;
using namespace ravelin::fixtures;

namespace {

const std::string kNotRecognised = "001 - Not recognised as a supported file";

// COMM with the rate's ten bytes given as sign and exponent, then mantissa.
TBytes CommExtended(uint16_t signExponent, uint64_t mantissa) {
  TBuilder b;
  b.BE(1, 2).BE(1, 4).BE(16, 2).BE(signExponent, 2).BE(mantissa, 8);
  return AiffChunk("COMM", b.Bytes);
}

} // namespace

TEST(SampleRates, RiffAndWave64AcceptOneHertzToTenMegahertz) {
  const struct {
    uint32_t Rate;
    bool Ok;
  } cases[] = {{0, false},       {1, true},         {44100, true},
               {10000000, true}, {10000001, false}, {0xFFFFFFFF, false}};
  for (const auto& c : cases) {
    const TBytes fmt = Fmt(1, 1, c.Rate, 2, 16);
    for (const TBytes& file : {Riff({Chunk("fmt ", fmt), Chunk("data", {0, 0})}),
                               Wave64({Wave64Chunk("fmt ", fmt), Wave64Chunk("data", {0, 0})})}) {
      if (c.Ok)
        EXPECT_EQ(Read(file)->SampleRate(), static_cast<int32_t>(c.Rate));
      else
        EXPECT_EQ(OpenError(file), kNotRecognised) << c.Rate;
    }
  }
}

TEST(SampleRates, AiffRoundsToEvenThenChecksTheRange) {
  const struct {
    double Rate;
    int32_t Expected; // 0: refused
  } cases[] = {{0.0, 0},
               {0.5, 0},
               {0.75, 1},
               {1.0, 1},
               {1.5, 2},
               {10000000.5, 10000000},
               {10000000.0, 10000000},
               {10000001.0, 0},
               {1e30, 0}};
  for (const auto& c : cases) {
    const TBytes file = Aiff("AIFF", {Comm(1, 1, 16, c.Rate), Ssnd(0, {0, 0})});
    if (c.Expected)
      EXPECT_EQ(Read(file)->SampleRate(), c.Expected) << c.Rate;
    else
      EXPECT_EQ(OpenError(file), kNotRecognised) << c.Rate;
  }
  // Negative rates (sign bit set: -44100, -1, -0.75), an infinity and a NaN.
  const struct {
    uint16_t SignExponent;
    uint64_t Mantissa;
    std::string Error;
  } special[] = {{0xC00E, 0xAC44000000000000, kNotRecognised},
                 {0xBFFF, 0x8000000000000000, kNotRecognised},
                 {0xBFFE, 0xC000000000000000, kNotRecognised},
                 {0x7FFF, 0x8000000000000000, "002 - File is formed incorrectly"},
                 {0x7FFF, 0xC000000000000000, "002 - File is formed incorrectly"}};
  for (const auto& s : special)
    EXPECT_EQ(OpenError(Aiff("AIFF", {CommExtended(s.SignExponent, s.Mantissa), Ssnd(0, {0, 0})})), s.Error)
        << std::hex << s.SignExponent;
  // The same bytes without the sign bit are 44100 Hz.
  EXPECT_EQ(Read(Aiff("AIFF", {CommExtended(0x400E, 0xAC44000000000000), Ssnd(0, {0, 0})}))->SampleRate(),
            44100);
}
