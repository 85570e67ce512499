// RIFF/WAVE and Wave64 reading from hand-made fixtures: recognition, the
// chunk walk, the decoders, metadata and every numbered failure.
#include "errors.h"
#include "fixtures.h"
#include "wavReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fcntl.h>
#include <unistd.h>

using namespace ravelin;
using namespace ravelin::fixtures;

namespace {

const std::string kMalformed = "002 - File is formed incorrectly";

TBytes Fmt16Mono() {
  return Chunk("fmt ", Fmt(1, 1, 44100, 2, 16));
}

} // namespace

TEST(WavReaderRecognition, ShortAndForeignFilesAreRefused) {
  EXPECT_EQ(OpenError({}), "008 - File read error");
  EXPECT_EQ(OpenError({'R', 'I', 'F', 'F', 0, 0, 0}), "008 - File read error");
  EXPECT_EQ(OpenError({'R', 'I', 'F', 'X', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}),
            "001 - Not recognised as a supported file");
  TBytes rf64 = SmallWav(2);
  std::copy_n("RF64", 4, rf64.begin());
  EXPECT_EQ(OpenError(rf64), "001 - Not recognised as a supported file");
  TBytes notWave = SmallWav(2);
  std::copy_n("AVI ", 4, notWave.begin() + 8);
  EXPECT_EQ(OpenError(notWave), kMalformed);
  // "riff" without the Wave64 identifier walks nothing.
  TBytes lowerRiff = SmallWav(2);
  lowerRiff.resize(40);
  std::copy_n("riff", 4, lowerRiff.begin());
  EXPECT_EQ(OpenError(lowerRiff), kMalformed);
  EXPECT_EQ(OpenError(Riff({Fmt16Mono()})), kMalformed);
  EXPECT_EQ(OpenError(Riff({Chunk("data", TBytes(4, 0))})), kMalformed);
}

TEST(WavReaderRecognition, MissingFileGivesOpenError) {
  try {
    TWAVReader reader("/nonexistent/folder/file.wav");
    FAIL();
  } catch (const TRavelinError& e) {
    EXPECT_STREQ(e.what(), "007 - File open error");
  }
  EXPECT_THROW(TWAVReader("/tmp"), TRavelinError);
}

TEST(WavReaderFormat, NumberedMessagesCarryTheValuesRead) {
  const auto withFmt = [](const TBytes& body) {
    return Riff({Chunk("fmt ", body), Chunk("data", TBytes(8, 0))});
  };
  EXPECT_EQ(OpenError(withFmt(Fmt(2, 1, 44100, 2, 16))), "003 - Unsupported tag 0002h");
  EXPECT_EQ(OpenError(withFmt(Fmt(0xABC, 1, 44100, 2, 16))), "003 - Unsupported tag 0ABCh");
  EXPECT_EQ(OpenError(withFmt(Fmt(1, 17, 44100, 34, 16))), "004 - Unsupported channel count 17");
  // Zero channels are reported before the bad bit depth and before any division.
  EXPECT_EQ(OpenError(withFmt(Fmt(1, 0, 44100, 2, 0))), "004 - Unsupported channel count 0");
  EXPECT_EQ(OpenError(withFmt(Fmt(3, 0, 44100, 4, 32))), "004 - Unsupported channel count 0");
  EXPECT_EQ(OpenError(withFmt(Fmt(3, 1, 44100, 3, 24))), "005 - Unsupported IEEE FP bitdepth 24");
  EXPECT_EQ(OpenError(withFmt(Fmt(1, 1, 44100, 2, 0))), "006 - Unsupported PCM bitdepth 0");
  EXPECT_EQ(OpenError(withFmt(Fmt(1, 1, 44100, 2, 33))), "006 - Unsupported PCM bitdepth 33");
  TBytes badExtSize = FmtExtensible(2, 44100, 4, 16, 3, 1);
  badExtSize[16] = 20;
  EXPECT_EQ(OpenError(withFmt(badExtSize)), "009 - Unsupported extensible wave format");
  EXPECT_EQ(OpenError(withFmt(FmtExtensible(2, 44100, 4, 16, 3, 2))),
            "009 - Unsupported extensible wave format");
  EXPECT_EQ(OpenError(withFmt(TBytes(12, 1))), kMalformed); // format chunk under 14 bytes
  EXPECT_EQ(OpenError(Riff({Fmt16Mono(), Fmt16Mono(), Chunk("data", TBytes(2, 0))})), kMalformed);
  EXPECT_EQ(OpenError(Riff({Fmt16Mono(), Chunk("data", {}), Chunk("data", {})})), kMalformed);
}

TEST(WavReaderFormat, WidthsWithoutDecoderAndEmptyFramesAreRefused) {
  const auto withFmt = [](const TBytes& body) {
    return Riff({Chunk("fmt ", body), Chunk("data", TBytes(8, 0))});
  };
  EXPECT_EQ(OpenError(withFmt(Fmt(1, 2, 44100, 0, 16))), kMalformed); // block align 0
  EXPECT_EQ(OpenError(withFmt(Fmt(3, 2, 44100, 4, 32))), kMalformed); // frame smaller than its samples
  EXPECT_EQ(OpenError(withFmt(Fmt(1, 2, 44100, 5, 16))), "006 - Unsupported PCM bitdepth 20");
  EXPECT_EQ(OpenError(withFmt(FmtExtensible(2, 44100, 6, 20, 3, 1))), "006 - Unsupported PCM bitdepth 20");
  EXPECT_EQ(OpenError(withFmt(FmtExtensible(2, 44100, 16, 64, 3, 1))), "006 - Unsupported PCM bitdepth 64");
  EXPECT_EQ(OpenError(withFmt(FmtExtensible(2, 44100, 6, 24, 3, 3))),
            "005 - Unsupported IEEE FP bitdepth 24");
  EXPECT_EQ(OpenError(withFmt(FmtExtensible(1, 44100, 0, 16, 4, 1))), kMalformed);
}

TEST(WavReaderDecode, IntegerAndFloatCodesMapToFullScale) {
  auto u8 = Read(Riff({Chunk("fmt ", Fmt(1, 1, 8000, 1, 8)), Chunk("data", {0x80, 0x00, 0xFF})}));
  EXPECT_EQ(ReadAll(*u8)[0], (std::vector<float>{0.0f, -1.0f, 0.9921875f}));

  auto s16 = Read(Riff({Fmt16Mono(), Chunk("data", {0x00, 0x80, 0xFF, 0x7F, 0x01, 0x00})}));
  EXPECT_EQ(ReadAll(*s16)[0], (std::vector<float>{-1.0f, 1.0f - 0x1p-15f, 0x1p-15f}));

  // Block align 6 for 2 channels decodes 24-bit samples whatever the field says.
  auto s24 = Read(
      Riff({Chunk("fmt ", Fmt(1, 2, 48000, 6, 20)), Chunk("data", {0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80})}));
  EXPECT_EQ(s24->BitsPerSample(), 24);
  const auto planes = ReadAll(*s24);
  EXPECT_EQ(planes[0][0], 1.0f - 0x1p-23f);
  EXPECT_EQ(planes[1][0], -1.0f);

  auto s32 = Read(
      Riff({Chunk("fmt ", Fmt(1, 1, 48000, 4, 32)), Chunk("data", {0x00, 0x00, 0x00, 0x80, 0x7F, 0, 0, 0})}));
  EXPECT_EQ(ReadAll(*s32)[0], (std::vector<float>{-1.0f, static_cast<float>(0x7F * 0x1p-31)}));

  TBuilder floats;
  floats.LE(std::bit_cast<uint32_t>(1.5f), 4).LE(std::bit_cast<uint32_t>(-0.25f), 4);
  auto f32 = Read(Riff({Chunk("fmt ", Fmt(3, 1, 48000, 4, 32)), Chunk("data", floats.Bytes)}));
  EXPECT_EQ(ReadAll(*f32)[0], (std::vector<float>{1.5f, -0.25f}));

  TBuilder doubles;
  doubles.LE(std::bit_cast<uint64_t>(0.1), 8);
  auto f64 =
      Read(Riff({Chunk("fmt ", FmtExtensible(1, 48000, 8, 64, 0x4, 3)), Chunk("data", doubles.Bytes)}));
  EXPECT_EQ(f64->FormatKind(), 3);
  EXPECT_EQ(f64->ChannelMask(), 0x4u);
  EXPECT_EQ(ReadAll(*f64)[0][0], 0.1f);
}

TEST(WavReaderDecode, PartialFrameIgnoredAndReadsSpanManySteps) {
  auto reader = Read(Riff({Chunk("fmt ", Fmt(1, 2, 44100, 4, 16)), Chunk("data", TBytes(10, 0))}));
  EXPECT_EQ(reader->FrameCount(), 2);

  // 100000 stereo frames: several 64 KiB steps, read in uneven calls.
  const int frames = 100000;
  auto big = Read(SmallWav(frames));
  ASSERT_EQ(big->FrameCount(), frames);
  std::vector<float> left(frames), right(frames);
  const int calls[] = {7, 16387, 40000, 1, 30000, 13605};
  for (int done = 0; const int n : calls) {
    float* dest[] = {left.data() + done, right.data() + done};
    big->ReadFrames(dest, n);
    done += n;
  }
  for (int i = 0; i < frames; ++i) {
    ASSERT_EQ(left[static_cast<size_t>(i)],
              static_cast<float>(static_cast<int16_t>(static_cast<uint16_t>(2 * i * 997))) * 0x1p-15f);
    ASSERT_EQ(right[static_cast<size_t>(i)],
              static_cast<float>(static_cast<int16_t>(static_cast<uint16_t>((2 * i + 1) * 997))) * 0x1p-15f);
  }
  float* dest[] = {left.data(), right.data()};
  EXPECT_THROW(big->ReadFrames(dest, 1), TRavelinError); // the file ends here
}

TEST(WavReaderWalk, ChunksInAnyOrderWithPaddingAndTrailingMetadata) {
  const TBytes data = {1, 0, 2, 0, 3, 0};
  auto reader = Read(
      Riff({Chunk("junk", {9, 9, 9}), Chunk("data", data), Fmt16Mono(),
            InfoList({{"INAM", "abc"}, {"IENG", "x"}, {"ICOP", ""}, {"QRVT", "Ravelin"}, {"INAM", "second"}}),
            Chunk("smpl", SamplerBody(2, {{10, 20}, {30, 40}})), Chunk("odd!", {1})}));
  EXPECT_EQ(reader->FrameCount(), 3);
  EXPECT_EQ(reader->InfoName(), "second");
  EXPECT_EQ(reader->InfoEngineer(), "x");
  EXPECT_EQ(reader->InfoCopyright(), "");
  EXPECT_EQ(reader->ProductTag(), "Ravelin");
  ASSERT_TRUE(reader->HasSampler());
  ASSERT_EQ(reader->SamplerLoops().size(), 2u);
  EXPECT_EQ(reader->SamplerLoops()[1].Start, 30u);
  EXPECT_EQ(reader->SamplerLoops()[1].End, 40u);
  EXPECT_EQ(reader->SamplerHeader()[8], 22675 & 0xFF);
  EXPECT_EQ(ReadAll(*reader)[0][2], 3 * 0x1p-15f);
  // Close keeps every field readable.
  reader->Close();
  EXPECT_FALSE(reader->IsOpen());
  EXPECT_EQ(reader->InfoName(), "second");
}

TEST(WavReaderWalk, InfoTextsKeepEverythingButTheFinalByte) {
  TBuilder list;
  list.Code("INFO").Raw(Chunk("ICMT", {})).Raw(Chunk("INAM", {'a', 'b', ' ', 0}));
  auto reader = Read(Riff({Fmt16Mono(), Chunk("LIST", list.Bytes), Chunk("LIST", {'a', 'd', 't', 'l'}),
                           Chunk("data", TBytes(2, 0))}));
  EXPECT_EQ(reader->InfoComment(), "");
  EXPECT_EQ(reader->InfoName(), "ab ");
}

TEST(WavReaderWalk, SamplerWithLoopsBeyondTheFileIsIgnored) {
  auto reader =
      Read(Riff({Fmt16Mono(), Chunk("data", TBytes(2, 0)), Chunk("smpl", SamplerBody(1000000, {{1, 2}}))}));
  EXPECT_FALSE(reader->HasSampler());
  auto negative = Read(Riff({Fmt16Mono(), Chunk("data", TBytes(2, 0)), Chunk("smpl", SamplerBody(-5, {}))}));
  EXPECT_TRUE(negative->HasSampler());
  EXPECT_TRUE(negative->SamplerLoops().empty());
}

TEST(WavReaderWalk, SizesThatOverrunOrEndEarly) {
  // A data chunk longer than the file ends the walk before it is accepted...
  TBytes cut = Riff({Fmt16Mono(), Chunk("data", TBytes(100, 0))});
  cut.resize(cut.size() - 10);
  EXPECT_EQ(OpenError(cut), kMalformed);
  // ...but an earlier data chunk stays.
  TBytes late = Riff({Fmt16Mono(), Chunk("data", TBytes(4, 0)), Chunk("data", TBytes(100, 0))});
  late.resize(late.size() - 10);
  EXPECT_EQ(Read(late)->FrameCount(), 2);
  // A RIFF size beyond the file is tolerated; one that ends before the data is not.
  TBytes large = SmallWav(3);
  large[4] = 0xFF, large[5] = 0xFF, large[6] = 0xFF, large[7] = 0x7F;
  EXPECT_EQ(Read(large)->FrameCount(), 3);
  TBytes small = SmallWav(3);
  small[4] = 4 + 24, small[5] = 0;
  EXPECT_EQ(OpenError(small), kMalformed);
}

TEST(WavReaderWave64, AlignmentAndGuards) {
  // A chunk of length 30 is followed by 2 alignment bytes.
  auto reader =
      Read(Wave64({Wave64Chunk("fmt ", Fmt(1, 2, 44100, 4, 16)), Wave64Chunk("junk", TBytes(6, 0xEE)),
                   Wave64Chunk("data", {0, 0x40, 0, 0xC0, 1, 0, 2, 0}),
                   Wave64Chunk("smpl", SamplerBody(1, {{5, 6}})), Wave64Chunk("list", TBytes(8, 0))}));
  EXPECT_EQ(reader->FrameCount(), 2);
  EXPECT_TRUE(reader->HasSampler());
  EXPECT_FALSE(reader->BigEndian());
  const auto planes = ReadAll(*reader);
  EXPECT_EQ(planes[0][0], 0.5f);
  EXPECT_EQ(planes[1][0], -0.5f);

  // A chunk length below its 24-byte header ends the walk.
  TBytes shortLength = Wave64({Wave64Chunk("junk", {}), Wave64Chunk("fmt ", Fmt(1, 1, 44100, 2, 16)),
                               Wave64Chunk("data", TBytes(2, 0))});
  shortLength[40 + 16] = 8;
  EXPECT_EQ(OpenError(shortLength), kMalformed);
  // A container size below 24 or beyond int64 does not loop or overflow.
  TBytes tiny = Wave64({Wave64Chunk("fmt ", Fmt(1, 1, 44100, 2, 16)), Wave64Chunk("data", TBytes(2, 0))});
  std::fill_n(tiny.begin() + 16, 8, 0);
  EXPECT_EQ(OpenError(tiny), kMalformed);
  std::fill_n(tiny.begin() + 16, 8, 0xFF);
  EXPECT_EQ(Read(tiny)->FrameCount(), 1);
}

TEST(WavReaderRobustness, EveryTruncationFailsWithANumberedMessage) {
  for (const auto& [name, bytes] : SeedFixtures()) {
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
      const TBytes part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
      try {
        auto reader = Read(part);
        ReadAll(*reader);
      } catch (const TRavelinError& e) {
        const std::string message = e.what();
        EXPECT_TRUE(message.size() > 6 && message[3] == ' ' && message[0] == '0')
            << name << " " << cut << ": " << message;
      }
    }
  }
}

TEST(WavReaderRobustness, FileTruncatedWhileOpenGivesReadError) {
  TTempDir dir;
  const std::string path = dir.Path("cut.wav");
  WriteFile(path, SmallWav(50000));
  TWAVReader reader(path);
  EXPECT_EQ(reader.FileName(), path);
  ASSERT_EQ(truncate(path.c_str(), 100), 0);
  std::vector<float> a(50000), b(50000);
  float* dest[] = {a.data(), b.data()};
  try {
    reader.ReadFrames(dest, 50000);
    FAIL();
  } catch (const TRavelinError& e) {
    EXPECT_STREQ(e.what(), "008 - File read error");
  }
  // Open on the same object starts afresh.
  WriteFile(path, Riff({Chunk("fmt ", Fmt(1, 1, 8000, 1, 8)), Chunk("data", {1, 2, 3})}));
  reader.Open(path);
  EXPECT_EQ(reader.Channels(), 1);
  EXPECT_EQ(reader.FrameCount(), 3);
  EXPECT_EQ(reader.InfoName(), "");
}
