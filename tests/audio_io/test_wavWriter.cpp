// WAV writer: header forms, sample packing, trailer chunks, size patches and
// failures, checked on the bytes written and by reading the files back.
#include "errors.h"
#include "fixtures.h"
#include "wavReader.h"
#include "wavWriter32.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <bit>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>

using namespace ravelin;
using namespace ravelin::fixtures;

namespace {

uint32_t LE32At(const TBytes& b, size_t at) {
  return uint32_t{b[at]} | (uint32_t{b[at + 1]} << 8) | (uint32_t{b[at + 2]} << 16) |
         (uint32_t{b[at + 3]} << 24);
}
std::string CodeAt(const TBytes& b, size_t at) {
  return std::string(b.begin() + static_cast<std::ptrdiff_t>(at),
                     b.begin() + static_cast<std::ptrdiff_t>(at) + 4);
}

// Words as the writer takes them: 32-bit integers carried in float arrays.
std::vector<float> Words(const std::vector<uint32_t>& values) {
  std::vector<float> words(values.size());
  std::memcpy(words.data(), values.data(), values.size() * 4);
  return words;
}

void SetFormat(TWAVWriter& w, int32_t kind, int32_t channels, int32_t rate, int32_t bits) {
  w.FormatKind = kind;
  w.Channels = channels;
  w.SampleRate = rate;
  w.BitsPerSample = bits;
  w.BlockAlign = channels * bits / 8;
}

// Writes planar words through a writer and returns the file's bytes.
TBytes WriteFileBytes(const TTempDir& dir, int32_t kind, int32_t bits,
                      const std::vector<std::vector<float>>& planes, const TWAVReader* source = nullptr,
                      int32_t rate = 44100) {
  const std::string path = dir.Path("out.wav");
  TWAVWriter w;
  SetFormat(w, kind, static_cast<int32_t>(planes.size()), rate, bits);
  w.Source = source;
  w.Open(path);
  std::vector<const float*> pointers;
  for (const auto& p : planes)
    pointers.push_back(p.data());
  EXPECT_TRUE(w.WriteFrames(pointers.data(), static_cast<int32_t>(planes[0].size())));
  w.Close();
  return ReadFile(path);
}

} // namespace

TEST(WavWriter, PlainHeaderSizesAndPadding) {
  TTempDir dir;
  const TBytes stereo = WriteFileBytes(dir, 1, 24, {Words({1, 2, 3}), Words({4, 5, 6})});
  ASSERT_EQ(stereo.size(), 62u);
  EXPECT_EQ(CodeAt(stereo, 0), "RIFF");
  EXPECT_EQ(LE32At(stereo, 4), 54u);
  EXPECT_EQ(CodeAt(stereo, 12), "fmt ");
  EXPECT_EQ(LE32At(stereo, 16), 16u);
  EXPECT_EQ(stereo[20], 1);
  EXPECT_EQ(LE32At(stereo, 28), 264600u);
  EXPECT_EQ(stereo[32], 6);
  EXPECT_EQ(LE32At(stereo, 40), 18u);

  // Mono 24-bit, odd frames: the pad byte is counted by RIFF, not by data.
  const TBytes mono = WriteFileBytes(dir, 1, 24, {Words({0x44332211u})});
  ASSERT_EQ(mono.size(), 48u);
  EXPECT_EQ(LE32At(mono, 40), 3u);
  EXPECT_EQ(LE32At(mono, 4), 40u);
  EXPECT_EQ((TBytes(mono.begin() + 44, mono.end())), (TBytes{0x11, 0x22, 0x33, 0x00}));

  const TBytes s16 = WriteFileBytes(dir, 1, 16, {Words({0x44332211u})});
  EXPECT_EQ((TBytes(s16.begin() + 44, s16.end())), (TBytes{0x11, 0x22}));

  const TBytes f32 = WriteFileBytes(dir, 3, 32, {{1.5f, -2.0f}});
  EXPECT_EQ(f32[20], 3);
  auto back = Read(f32);
  EXPECT_EQ(ReadAll(*back)[0], (std::vector<float>{1.5f, -2.0f}));
}

TEST(WavWriter, SourceMetadataIsCarried) {
  TTempDir dir;
  auto source = Read(Riff({Chunk("fmt ", FmtExtensible(2, 96000, 4, 16, 0x3, 1)), Chunk("data", TBytes(8, 0)),
                           InfoList({{"INAM", "abcd"}, {"ICMT", "remark"}}),
                           Chunk("smpl", SamplerBody(2, {{1000, 500000}, {96000, 192000}}))}));
  source->SetProductTag("Ravelin");
  source->Close(); // the output stage closes the recording first
  std::vector<float> plane(48000, 0.0f);
  const TBytes out = WriteFileBytes(dir, 1, 24, {plane, plane}, source.get(), 48000);

  EXPECT_EQ(LE32At(out, 16), 40u);
  EXPECT_EQ(out[20] | (out[21] << 8), 0xFFFE);
  EXPECT_EQ(out[36] | (out[37] << 8), 22);
  EXPECT_EQ(out[38] | (out[39] << 8), 24);
  EXPECT_EQ(LE32At(out, 40), 3u);
  EXPECT_EQ(out[44], 1); // PCM sub-format

  auto back = Read(out);
  EXPECT_EQ(back->ChannelMask(), 3u);
  EXPECT_EQ(back->FrameCount(), 48000);
  EXPECT_EQ(back->InfoName(), "abcd");
  EXPECT_EQ(back->InfoComment(), "remark");
  EXPECT_EQ(back->ProductTag(), "Ravelin");
  ASSERT_TRUE(back->HasSampler());
  ASSERT_EQ(back->SamplerLoops().size(), 2u);
  EXPECT_EQ(back->SamplerLoops()[0].Start, 500u);
  EXPECT_EQ(back->SamplerLoops()[0].End, 47999u); // beyond the output: its last frame
  EXPECT_EQ(back->SamplerLoops()[1].Start, 47999u);
  EXPECT_EQ(back->SamplerLoops()[0].PlayCount, 3u);
  EXPECT_EQ(std::memcmp(back->SamplerHeader().data(), source->SamplerHeader().data(), 36), 0);

  // LIST: INAM of length 5 with a pad byte, ICMT of 7 with a pad byte, QRVT of 8.
  const size_t list = 68 + 48000 * 6 + 8 + 36 + 48;
  EXPECT_EQ(CodeAt(out, list), "LIST");
  EXPECT_EQ(LE32At(out, list + 4), 4u + 14 + 16 + 16);
  EXPECT_EQ(LE32At(out, list + 16), 5u);
  EXPECT_EQ(LE32At(out, 4), out.size() - 8);
}

TEST(WavWriter, InfoLayoutAndOddLoopCounts) {
  TTempDir dir;
  auto source = Read(Riff({Chunk("fmt ", Fmt(1, 1, 44100, 2, 16)), Chunk("data", TBytes(2, 0)),
                           InfoList({{"INAM", "abcd"}}), Chunk("smpl", SamplerBody(-3, {}))}));
  source->SetProductTag("Ravelin");
  const TBytes out = WriteFileBytes(dir, 1, 16, {Words({0, 0})}, source.get());
  // smpl: a consistent 36-byte chunk with a loop count of 0.
  EXPECT_EQ(CodeAt(out, 48), "smpl");
  EXPECT_EQ(LE32At(out, 52), 36u);
  EXPECT_EQ(LE32At(out, 56 + 28), 0u);
  EXPECT_EQ(CodeAt(out, 92), "LIST");
  EXPECT_EQ(LE32At(out, 96), 34u);
  EXPECT_EQ(CodeAt(out, 100), "INFO");
  EXPECT_EQ(CodeAt(out, 104), "INAM");
  EXPECT_EQ(CodeAt(out, 118), "QRVT");
  EXPECT_EQ(out.size(), 92u + 8 + 34);

  // A source without texts or sampler adds nothing after the data.
  auto bare = Read(SmallWav(1));
  EXPECT_EQ(WriteFileBytes(dir, 1, 16, {Words({7})}, bare.get()).size(), 46u);
}

namespace {

// A sink in memory whose step number FailAt (counting writes, seeks and the
// finish together) fails.
class TFailingSink : public TByteSink {
public:
  explicit TFailingSink(int failAt, bool* finished) : FFailAt(failAt), FFinished(finished) {}
  bool Write(const void*, size_t) override { return Step(); }
  bool Seek(int64_t) override { return Step(); }
  bool Finish() override { return *FFinished = Step(); }

private:
  bool Step() { return ++FSteps != FFailAt; }
  int FSteps = 0;
  int FFailAt;
  bool* FFinished;
};

std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void ExpectWriteError(const std::function<void()>& action) {
  try {
    action();
    FAIL() << "no error";
  } catch (const TRavelinError& e) {
    EXPECT_STREQ(e.what(), "011 - File write error");
  }
}

} // namespace

TEST(WavWriter, LifecycleAndFailures) {
  TTempDir dir;
  TWAVWriter idle;
  EXPECT_NO_THROW(idle.Close());

  TWAVWriter w;
  SetFormat(w, 1, 2, 44100, 16);
  try {
    w.Open(dir.Path("missing/out.wav"));
    FAIL();
  } catch (const TRavelinError& e) {
    EXPECT_STREQ(e.what(), "010 - File create error");
  }
  // A format the writer cannot lay out is refused before anything is created.
  w.BlockAlign = 2;
  EXPECT_THROW(w.Open(dir.Path("bad.wav")), TRavelinError);
  SetFormat(w, 3, 1, 44100, 24);
  EXPECT_THROW(w.Open(dir.Path("bad.wav")), TRavelinError);
  EXPECT_TRUE(Listing(dir.Path("")).empty());

  // Every failing step is a write error, and the file is never finished:
  // header writes (1, 2), data (3), the size patches (seek, write, seek,
  // write) and the finish itself (8).
  std::vector<float> words = Words({5, 6, 7});
  const float* planes[] = {words.data()};
  for (int failAt = 1; failAt <= 8; ++failAt) {
    SCOPED_TRACE(failAt);
    bool finished = false;
    TWAVWriter failing;
    SetFormat(failing, 1, 1, 8000, 16);
    ExpectWriteError([&] {
      failing.Open("x.wav", std::make_unique<TFailingSink>(failAt, &finished));
      failing.WriteFrames(planes, 3);
      failing.Close();
    });
    EXPECT_FALSE(finished);
    EXPECT_FALSE(failing.IsOpen());
  }
  {
    TWAVWriter unclosed; // abandoned: nothing appears, not even the temporary
    SetFormat(unclosed, 1, 1, 8000, 16);
    unclosed.Open(dir.Path("unclosed.wav"));
    unclosed.WriteFrames(planes, 3);
    EXPECT_EQ(Listing(dir.Path("")).size(), 1u);
  }
  EXPECT_TRUE(Listing(dir.Path("")).empty());
  {
    TWAVWriter reopened;
    SetFormat(reopened, 1, 1, 8000, 16);
    reopened.Open(dir.Path("first.wav"));
    reopened.WriteFrames(planes, 3);
    reopened.Open(dir.Path("second.wav")); // finishes the first file
    EXPECT_EQ(Read(ReadFile(dir.Path("first.wav")))->FrameCount(), 3);
    reopened.Close();
  }
  EXPECT_EQ(Read(ReadFile(dir.Path("second.wav")))->FrameCount(), 0);
  EXPECT_EQ(Listing(dir.Path("")), (std::vector<std::string>{"first.wav", "second.wav"}));
}

// Past a file size limit the buffered bytes fail when they are flushed (at
// the size patches' seek, or at the close): the old file stays as it was and
// no temporary is left.
TEST(WavWriter, AFailedCloseKeepsTheOldFile) {
  TTempDir dir;
  WriteFile(dir.Path("out.wav"), TBytes(300, 7));
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 200;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  std::vector<float> words(100, 0.0f);
  const float* planes[] = {words.data()};
  TWAVWriter w;
  SetFormat(w, 1, 1, 8000, 16);
  ExpectWriteError([&] {
    w.Open(dir.Path("out.wav"));
    w.WriteFrames(planes, 100);
    w.Close();
  });
  {
    // Bytes still buffered when the sink finishes fail in its flush and close.
    TFileSink sink(dir.Path("sink.wav"));
    const TBytes bytes(300, 1);
    EXPECT_TRUE(sink.Write(bytes.data(), bytes.size()));
    EXPECT_FALSE(sink.Finish());
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(ReadFile(dir.Path("out.wav")), TBytes(300, 7));
  EXPECT_EQ(Listing(dir.Path("")), std::vector<std::string>{"out.wav"});
}

TEST(WavWriter, OutputsReachingFourGibibytesAreRefusedCleanly) {
  TTempDir dir;
  TWAVWriter w;
  SetFormat(w, 1, 16, 48000, 32);
  w.Open(dir.Path("big.wav"));
  std::vector<float> words(16, 0.0f);
  std::vector<const float*> planes(16, words.data());
  ASSERT_TRUE(w.WriteFrames(planes.data(), 1));
  // 2^26 frames of 64 bytes would make the file pass 4 GiB: nothing of it is written.
  try {
    w.WriteFrames(planes.data(), 1 << 26);
    FAIL();
  } catch (const TRavelinError& e) {
    EXPECT_STREQ(e.what(), "011 - File write error");
  }
  w.Close();
  EXPECT_EQ(Read(ReadFile(dir.Path("big.wav")))->FrameCount(), 1);
}
