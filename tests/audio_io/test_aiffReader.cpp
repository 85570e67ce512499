// AIFF and AIFF-C reading from hand-made fixtures.
#include "errors.h"
#include "fixtures.h"
#include "wavReader.h"

#include <gtest/gtest.h>

using namespace ravelin;
using namespace ravelin::fixtures;

namespace {
const std::string kMalformed = "002 - File is formed incorrectly";
const std::string kNotRecognised = "001 - Not recognised as a supported file";
} // namespace

TEST(AiffReader, FormTypesAndCommLimits) {
  EXPECT_EQ(OpenError(Aiff("AIFX", {Comm(1, 1, 16, 44100), Ssnd(0, {0, 0})})), kNotRecognised);
  // 22 COMM bytes are enough for AIFF but not for AIFF-C.
  const auto commBody = [](TBytes chunk, size_t length) {
    return TBytes(chunk.begin() + 8, chunk.begin() + 8 + static_cast<std::ptrdiff_t>(length));
  };
  const TBytes comm22 = commBody(Comm(1, 1, 16, 44100, "NONE"), 22);
  EXPECT_EQ(OpenError(Aiff("AIFC", {AiffChunk("COMM", comm22), Ssnd(0, {0, 0})})), kMalformed);
  EXPECT_EQ(Read(Aiff("AIFF", {AiffChunk("COMM", comm22), Ssnd(0, {0, 0})}))->FrameCount(), 1);
  const TBytes comm17 = commBody(Comm(1, 1, 16, 44100), 17);
  EXPECT_EQ(OpenError(Aiff("AIFF", {AiffChunk("COMM", comm17), Ssnd(0, {0, 0})})), kMalformed);
  EXPECT_EQ(OpenError(Aiff("AIFF", {Comm(1, 1, 16, 44100), Comm(1, 1, 16, 44100), Ssnd(0, {0, 0})})),
            kMalformed);
  EXPECT_EQ(OpenError(Aiff("AIFF", {Comm(1, 1, 16, 44100), Ssnd(0, {0, 0}), Ssnd(0, {0, 0})})), kMalformed);
  EXPECT_EQ(OpenError(Aiff("AIFF", {Comm(1, 1, 16, 44100), AiffChunk("SSND", {0, 0, 0, 0})})), kMalformed);
  EXPECT_EQ(OpenError(Aiff("AIFF", {Comm(1, 1, 16, 44100)})), kMalformed);
  EXPECT_EQ(OpenError(Aiff("AIFF", {Ssnd(0, {0, 0})})), kMalformed);
}

TEST(AiffReader, ChannelsAndSampleSizes) {
  const auto open = [](int16_t channels, int16_t bits) {
    return OpenError(Aiff("AIFF", {Comm(channels, 1, bits, 44100), Ssnd(0, TBytes(64, 0))}));
  };
  EXPECT_EQ(open(1, 0), "006 - Unsupported PCM bitdepth 0");
  EXPECT_EQ(open(1, 65), "006 - Unsupported PCM bitdepth 65");
  EXPECT_EQ(open(1, -3), "006 - Unsupported PCM bitdepth -3");
  EXPECT_EQ(open(0, 65), "004 - Unsupported channel count 0");
  EXPECT_EQ(open(17, 16), "004 - Unsupported channel count 17");
  // Widths without a decoder, and integers too wide to be anything but misread.
  EXPECT_EQ(open(1, 40), "006 - Unsupported PCM bitdepth 40");
  EXPECT_EQ(open(1, 57), "006 - Unsupported PCM bitdepth 64");
  EXPECT_EQ(Read(Aiff("AIFF", {Comm(1, 1, 12, 44100), Ssnd(0, {0, 0})}))->BitsPerSample(), 16);
}

TEST(AiffReader, SampleRatesFromExtended) {
  for (const double rate : {44100.0, 8000.0, 192000.0, 1.0}) {
    EXPECT_EQ(Read(Aiff("AIFF", {Comm(1, 1, 16, rate), Ssnd(0, {0, 0})}))->SampleRate(), rate);
  }
  EXPECT_EQ(Read(Aiff("AIFF", {Comm(1, 1, 16, 44100.5), Ssnd(0, {0, 0})}))->SampleRate(),
            44100); // ties to even
  EXPECT_EQ(Read(Aiff("AIFF", {Comm(1, 1, 16, 44101.5), Ssnd(0, {0, 0})}))->SampleRate(), 44102);
  EXPECT_EQ(OpenError(Aiff("AIFF", {Comm(1, 1, 16, 1e30), Ssnd(0, {0, 0})})), kNotRecognised);
}

TEST(AiffReader, DecodesBigEndianAndSignedBytes) {
  auto s8 = Read(Aiff("AIFF", {Comm(1, 2, 8, 44100), Ssnd(0, {0x80, 0x7F})}));
  EXPECT_EQ(ReadAll(*s8)[0], (std::vector<float>{-1.0f, 0.9921875f}));
  auto s24 = Read(Aiff("AIFF", {Comm(2, 1, 24, 44100), Ssnd(0, {0x7F, 0xFF, 0xFF, 0x80, 0x00, 0x00})}));
  const auto planes = ReadAll(*s24);
  EXPECT_EQ(planes[0][0], 1.0f - 0x1p-23f);
  EXPECT_EQ(planes[1][0], -1.0f);

  TBuilder floats;
  floats.BE(std::bit_cast<uint32_t>(1.5f), 4).BE(std::bit_cast<uint32_t>(-0.125f), 4);
  for (const char* type : {"fl32", "FL32"}) {
    auto f32 = Read(Aiff("AIFC", {Comm(1, 2, 32, 48000, type), Ssnd(0, floats.Bytes)}));
    EXPECT_EQ(f32->FormatKind(), 3);
    EXPECT_EQ(ReadAll(*f32)[0], (std::vector<float>{1.5f, -0.125f}));
  }
  TBuilder doubles;
  doubles.BE(std::bit_cast<uint64_t>(0.75), 8);
  EXPECT_EQ(ReadAll(*Read(Aiff("AIFC", {Comm(1, 1, 64, 48000, "FL64"), Ssnd(0, doubles.Bytes)})))[0][0],
            0.75f);

  auto sowt = Read(Aiff("AIFC", {Comm(1, 2, 16, 48000, "sowt"), Ssnd(0, {0x00, 0x40, 0x00, 0x80})}));
  EXPECT_EQ(ReadAll(*sowt)[0], (std::vector<float>{0.5f, -1.0f}));
  auto twos = Read(Aiff("AIFC", {Comm(1, 1, 16, 48000, "twos"), Ssnd(0, {0x40, 0x00})}));
  EXPECT_EQ(ReadAll(*twos)[0][0], 0.5f);
  EXPECT_EQ(OpenError(Aiff("AIFC", {Comm(1, 1, 16, 48000, "ima4"), Ssnd(0, {0, 0})})), kNotRecognised);
  EXPECT_EQ(OpenError(Aiff("AIFC", {Comm(1, 1, 16, 48000, "fl32"), Ssnd(0, {0, 0})})),
            "005 - Unsupported IEEE FP bitdepth 16");
}

TEST(AiffReader, SoundDataIsLimitedByTheChunkAndTheFile) {
  // COMM claims 1001 frames of 4 bytes; SSND holds 4000 bytes and another chunk follows.
  auto reader = Read(
      Aiff("AIFF", {Comm(2, 1001, 16, 44100), Ssnd(0, TBytes(4000, 1)), AiffChunk("APPL", {1, 2, 3, 4})}));
  EXPECT_EQ(reader->DataLength(), 4000);
  EXPECT_EQ(reader->FrameCount(), 1000);
  // An offset moves the start; the limit follows it.
  auto offset = Read(Aiff("AIFF", {Comm(1, 100, 16, 44100), Ssnd(6, {0x40, 0x00, 0, 0})}));
  EXPECT_EQ(offset->FrameCount(), 2);
  EXPECT_EQ(ReadAll(*offset)[0][0], 0.5f);
  // COMM after SSND may not claim more than the chunk holds.
  auto late = Read(Aiff("AIFF", {Ssnd(0, TBytes(8, 0)), Comm(1, 1000000, 16, 44100)}));
  EXPECT_EQ(late->FrameCount(), 4);
  // SSND cut short by the end of the file.
  TBytes cut = Aiff("AIFF", {Comm(1, 100, 16, 44100), Ssnd(0, TBytes(200, 0))});
  cut.resize(cut.size() - 150);
  EXPECT_EQ(Read(cut)->FrameCount(), 25);
  // A COMM cut short by the end of the file.
  TBytes commCut = Aiff("AIFF", {Comm(1, 100, 16, 44100)});
  commCut.resize(commCut.size() - 4);
  EXPECT_EQ(OpenError(commCut), "008 - File read error");
}

TEST(AiffReader, TextsAndHugeLengths) {
  auto reader =
      Read(Aiff("AIFF", {AiffChunk("NAME", {'n', 'a', 'm'}), Comm(1, 1, 16, 44100), AiffChunk("(c) ", {'c'}),
                         AiffChunk("AUTH", {'a', 'u'}), AiffChunk("ANNO", {'x', 0}), Ssnd(0, {0, 0})}));
  EXPECT_EQ(reader->InfoName(), "nam");
  EXPECT_EQ(reader->InfoCopyright(), "c");
  EXPECT_EQ(reader->InfoEngineer(), "au");
  EXPECT_EQ(reader->InfoComment(), std::string("x\0", 2));
  EXPECT_TRUE(reader->BigEndian());
  // A length of 2^31 or more ends the walk instead of moving it backwards.
  TBuilder huge;
  huge.Code("JUNK").BE(0xFFFFFFF0u, 4);
  auto ended =
      Read(Aiff("AIFF", {Comm(1, 1, 16, 44100), Ssnd(0, {0, 0}), huge.Bytes, AiffChunk("NAME", {'z'})}));
  EXPECT_EQ(ended->InfoName(), "");
  EXPECT_EQ(OpenError(Aiff("AIFF", {huge.Bytes, Comm(1, 1, 16, 44100), Ssnd(0, {0, 0})})), kMalformed);
  TBuilder largest; // 2^31 - 1: the walk's arithmetic may not overflow
  largest.Code("JUNK").BE(0x7FFFFFFFu, 4);
  EXPECT_EQ(Read(Aiff("AIFF", {Comm(1, 1, 16, 44100), Ssnd(0, {0, 0}), largest.Bytes}))->FrameCount(), 1);
  // A text longer than the file is skipped.
  TBytes longText =
      Aiff("AIFF", {Comm(1, 1, 16, 44100), Ssnd(0, {0, 0}), AiffChunk("NAME", TBytes(50, 'q'))});
  longText.resize(longText.size() - 10);
  EXPECT_EQ(Read(longText)->InfoName(), "");
}
