// Reading a 200 MB 24-bit stereo WAV into float buffers and writing it back as
// 24-bit, side by side with libsndfile. The file is generated in a temporary
// folder at start-up; reads come from the page cache after the first pass.
#include "wavReader.h"
#include "wavWriter32.h"

#include <benchmark/benchmark.h>
#ifdef RAVELIN_HAVE_SNDFILE
#include <sndfile.h>
#endif

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace ravelin;

namespace {

constexpr int32_t kChannels = 2;
constexpr int64_t kFileBytes = 200'000'000;
constexpr int32_t kFrames = static_cast<int32_t>(kFileBytes / (3 * kChannels));

// The test file and the buffers every case shares.
struct TFixture {
  std::filesystem::path Folder;
  std::string Input, Output;
  std::vector<std::vector<float>> Planes{kChannels, std::vector<float>(kFrames)};
  std::vector<float> InterleavedFloat = std::vector<float>(size_t{kFrames} * kChannels);
  std::vector<int32_t> InterleavedInt = std::vector<int32_t>(size_t{kFrames} * kChannels);

  TFixture() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ravelin-bench-XXXXXX").string();
    Folder = mkdtemp(pattern.data());
    Input = (Folder / "input.wav").string();
    Output = (Folder / "output.wav").string();
    // 24-bit codes in 32-bit words (the writer's input), and the same codes
    // left-aligned for libsndfile's int interface.
    uint32_t state = 12345;
    for (int32_t f = 0; f < kFrames; ++f)
      for (int32_t c = 0; c < kChannels; ++c) {
        state = state * 1664525u + 1013904223u;
        const int32_t code = static_cast<int32_t>(state) >> 8;
        std::memcpy(&Planes[static_cast<size_t>(c)][static_cast<size_t>(f)], &code, 4);
        InterleavedInt[static_cast<size_t>(f) * kChannels + static_cast<size_t>(c)] = code * 256;
      }
    Write(Input);
  }
  ~TFixture() { std::filesystem::remove_all(Folder); }

  void Write(const std::string& path) {
    TWAVWriter writer;
    writer.FormatKind = 1;
    writer.Channels = kChannels;
    writer.SampleRate = 48000;
    writer.BitsPerSample = 24;
    writer.BlockAlign = kChannels * 3;
    writer.Open(path);
    const float* planes[] = {Planes[0].data(), Planes[1].data()};
    writer.WriteFrames(planes, kFrames);
    writer.Close();
  }
};

TFixture& Fixture() {
  static TFixture fixture;
  return fixture;
}

void SetBytes(benchmark::State& state) {
  state.SetBytesProcessed(state.iterations() * kFrames * kChannels * 3);
}

void BM_ReadRavelin(benchmark::State& state) {
  TFixture& fx = Fixture();
  std::vector<std::vector<float>> planes(kChannels, std::vector<float>(kFrames));
  float* pointers[] = {planes[0].data(), planes[1].data()};
  for (auto _ : state) {
    TWAVReader reader(fx.Input);
    reader.ReadFrames(pointers, static_cast<int32_t>(reader.FrameCount()));
    benchmark::DoNotOptimize(planes[1][kFrames - 1]);
  }
  SetBytes(state);
}

void BM_WriteRavelin(benchmark::State& state) {
  TFixture& fx = Fixture();
  for (auto _ : state)
    fx.Write(fx.Output);
  SetBytes(state);
}

#ifdef RAVELIN_HAVE_SNDFILE
void BM_ReadSndfile(benchmark::State& state) {
  TFixture& fx = Fixture();
  for (auto _ : state) {
    SF_INFO info{};
    SNDFILE* in = sf_open(fx.Input.c_str(), SFM_READ, &info);
    benchmark::DoNotOptimize(sf_readf_float(in, fx.InterleavedFloat.data(), kFrames));
    sf_close(in);
  }
  SetBytes(state);
}

void BM_WriteSndfile(benchmark::State& state) {
  TFixture& fx = Fixture();
  for (auto _ : state) {
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = kChannels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    SNDFILE* out = sf_open(fx.Output.c_str(), SFM_WRITE, &info);
    benchmark::DoNotOptimize(sf_writef_int(out, fx.InterleavedInt.data(), kFrames));
    sf_close(out);
  }
  SetBytes(state);
}
BENCHMARK(BM_ReadSndfile)->Unit(benchmark::kMillisecond)->MinTime(3);
#endif
BENCHMARK(BM_ReadRavelin)->Unit(benchmark::kMillisecond)->MinTime(3);
#ifdef RAVELIN_HAVE_SNDFILE
BENCHMARK(BM_WriteSndfile)->Unit(benchmark::kMillisecond)->MinTime(3);
#endif
BENCHMARK(BM_WriteRavelin)->Unit(benchmark::kMillisecond)->MinTime(3);

} // namespace

BENCHMARK_MAIN();
