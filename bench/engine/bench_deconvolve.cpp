// End to end (read, deconvolve, write) for one stereo 48 kHz 24-bit
// recording (the argument: 12 s, or 600 s for a long one) and a 10 s sweep,
// 32-bit float output: the engine's batch against a straightforward
// implementation of the same work on FFTW and libsndfile. Run one benchmark
// per process (--benchmark_filter) to see its peak memory;
// scripts/bench-e2e.sh runs them side by side.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "batch.h"
#include "buffers.h"
#include "sweep.h"

#if defined(RAVELIN_HAVE_FFTW) && defined(RAVELIN_HAVE_SNDFILE)
#include <fftw3.h>
#include <sndfile.h>
#endif

namespace {

using namespace ravelin;

constexpr int32_t Rate = 48000;

const std::string& Folder() {
  static const std::string folder = [] {
    const std::string path = (std::filesystem::temp_directory_path() / "ravelin-bench-e2e").string() + "/";
    std::filesystem::create_directories(path + "out");
    return path;
  }();
  return folder;
}

#if defined(RAVELIN_HAVE_FFTW) && defined(RAVELIN_HAVE_SNDFILE)

std::string TakeName(int seconds) {
  return Folder() + "take" + std::to_string(seconds) + ".wav";
}

// The sweep (10 s, 24-bit mono) and a stereo 24-bit recording of the given
// length: the sweep through two short delays, repeated every 12 s, with a
// little noise; made once.
void MakeInputs(int seconds) {
  const std::string tone = Folder() + "tone.wav";
  if (std::filesystem::exists(TakeName(seconds)))
    return;
  TSweepSettings settings;
  settings.SampleRate = Rate;
  settings.Duration = 10.0;
  if (!std::filesystem::exists(tone))
    GenerateSweep(tone, settings);
  SF_INFO info{};
  SNDFILE* in = sf_open(tone.c_str(), SFM_READ, &info);
  std::vector<float> sweep(static_cast<size_t>(info.frames));
  sf_readf_float(in, sweep.data(), info.frames);
  sf_close(in);
  const size_t frames = static_cast<size_t>(Rate) * static_cast<size_t>(seconds);
  const size_t period = static_cast<size_t>(Rate) * 12;
  std::vector<float> interleaved(2 * frames, 0.0f);
  for (size_t i = 0; i < frames; ++i) {
    const float noise = 1e-4f * static_cast<float>((i * 7919) % 101) / 101.0f;
    const size_t j = i % period;
    interleaved[2 * i] = (j >= 100 && j - 100 < sweep.size() ? 0.5f * sweep[j - 100] : 0.0f) + noise;
    interleaved[2 * i + 1] = (j >= 300 && j - 300 < sweep.size() ? 0.4f * sweep[j - 300] : 0.0f) - noise;
  }
  SF_INFO outInfo{};
  outInfo.samplerate = Rate;
  outInfo.channels = 2;
  outInfo.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
  SNDFILE* out = sf_open(TakeName(seconds).c_str(), SFM_WRITE, &outInfo);
  sf_writef_float(out, interleaved.data(), static_cast<sf_count_t>(frames));
  sf_close(out);
}

// What the driver reports to nobody.
class TSilentFrontEnd : public TBatchFrontEnd {
public:
  void RunStarted(int) override {}
  void RunEnded() override {}
  void ShowProgress(const std::string&, int, int) override {}
  bool AskYesNo(const std::string&) override { return false; }
  void ShowMessage(const std::string&) override {}
  void FileDone(const TFileResult&) override {}
};

void EngineBatch(benchmark::State& state) {
  const TFPUModeGuard fpuMode;
  const auto seconds = static_cast<int>(state.range(0));
  MakeInputs(seconds);
  TProcessWorkspace workspace; // grow-only, kept across files as in a batch
  TSilentFrontEnd frontEnd;
  const TCancelToken never;
  TProcessOptions options;
  options.TestTone = Folder() + "tone.wav";
  options.FloatOutput = true;
  options.OutBits = 32;
  options.ScanFolder = Folder();
  options.OutFolder = Folder() + "out/";
  options.Jobs =
      static_cast<int>(std::max(1u, std::thread::hardware_concurrency())); // the front ends' default
  for (auto _ : state) {
    if (!LoadTestTone(workspace, options, frontEnd) ||
        !RunBatch({TakeName(seconds)}, options, workspace, frontEnd, never).empty())
      state.SkipWithError("run failed");
  }
  state.counters["realtime_x"] = benchmark::Counter(seconds, benchmark::Counter::kIsIterationInvariantRate);
}

// Straightforward: read with libsndfile, per channel two r2c transforms and
// one c2r with FFTW, complex division, write with libsndfile.
void BaselineFile(int seconds) {
  SF_INFO toneInfo{};
  SNDFILE* toneFile = sf_open((Folder() + "tone.wav").c_str(), SFM_READ, &toneInfo);
  std::vector<float> tone(static_cast<size_t>(toneInfo.frames));
  sf_readf_float(toneFile, tone.data(), toneInfo.frames);
  sf_close(toneFile);
  SF_INFO info{};
  SNDFILE* in = sf_open(TakeName(seconds).c_str(), SFM_READ, &info);
  const auto r = static_cast<size_t>(info.frames);
  const auto channels = static_cast<size_t>(info.channels);
  std::vector<float> samples(r * channels);
  sf_readf_float(in, samples.data(), info.frames);
  sf_close(in);

  size_t n = 1;
  while (n < 2 * r)
    n *= 2;
  const size_t bins = n / 2 + 1;
  const size_t l = r - tone.size() + 1;
  auto* a = fftw_alloc_real(2 * bins);
  auto* b = fftw_alloc_real(2 * bins);
  const int size = static_cast<int>(n);
  fftw_plan forwardA = fftw_plan_dft_r2c_1d(size, a, reinterpret_cast<fftw_complex*>(a), FFTW_ESTIMATE);
  fftw_plan forwardB = fftw_plan_dft_r2c_1d(size, b, reinterpret_cast<fftw_complex*>(b), FFTW_ESTIMATE);
  fftw_plan inverse = fftw_plan_dft_c2r_1d(size, reinterpret_cast<fftw_complex*>(a), a, FFTW_ESTIMATE);
  std::vector<float> result(l * channels);
  for (size_t c = 0; c < channels; ++c) {
    for (size_t i = 0; i < n; ++i)
      a[i] = i < r ? static_cast<double>(samples[i * channels + c]) : 0.0;
    for (size_t i = 0; i < n; ++i)
      b[i] = i < tone.size() ? static_cast<double>(tone[i]) : 0.0;
    fftw_execute(forwardA);
    fftw_execute(forwardB);
    auto* x = reinterpret_cast<std::complex<double>*>(a);
    const auto* y = reinterpret_cast<const std::complex<double>*>(b);
    for (size_t k = 0; k < bins; ++k)
      x[k] /= y[k];
    fftw_execute(inverse);
    for (size_t i = 0; i < l; ++i)
      result[i * channels + c] = static_cast<float>(a[i] / static_cast<double>(n));
  }
  fftw_destroy_plan(forwardA);
  fftw_destroy_plan(forwardB);
  fftw_destroy_plan(inverse);
  fftw_free(a);
  fftw_free(b);

  SF_INFO outInfo{};
  outInfo.samplerate = info.samplerate;
  outInfo.channels = info.channels;
  outInfo.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* out = sf_open((Folder() + "out/baseline.wav").c_str(), SFM_WRITE, &outInfo);
  sf_writef_float(out, result.data(), static_cast<sf_count_t>(l));
  sf_close(out);
}

void Baseline(benchmark::State& state) {
  const auto seconds = static_cast<int>(state.range(0));
  MakeInputs(seconds);
  for (auto _ : state)
    BaselineFile(seconds);
  state.counters["realtime_x"] = benchmark::Counter(seconds, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(EngineBatch)->Arg(12)->Arg(600)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(Baseline)->Arg(12)->Arg(600)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

#endif

} // namespace

BENCHMARK_MAIN();
