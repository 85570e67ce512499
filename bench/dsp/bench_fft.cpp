// Forward + Inverse of the real FFT on each kernel path (0 = sse2, 1 = avx2,
// 2 = avx512; paths the processor lacks are skipped) on one thread, on the
// best path with the worker team (3) where the size uses it, and (when available)
// FFTW's in-place r2c + c2r pair with FFTW_MEASURE plans at the same sizes,
// side by side. scripts/bench-fft.sh prints the ratios.
#include "fft.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstring>
#include <random>
#include <vector>

#if defined(RAVELIN_HAVE_FFTW)
#include <fftw3.h>
#endif

namespace {

// Neither pair rescales, so the values grow by N/2 (or N) per iteration; the
// buffer is restored from this signal (outside the timing) before they overflow.
constexpr int RestoreEvery = 16;

void FillSignal(double* data, std::size_t n) {
  std::mt19937_64 generator(1);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  for (std::size_t i = 0; i < n; ++i)
    data[i] = uniform(generator);
}

void SetCounters(benchmark::State& state, std::size_t n) {
  state.counters["N"] = static_cast<double>(n);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(n));
}

// Path 3: the best path, sharing the work with the worker team.
constexpr int SharedPath = 3;

void BM_RavelinForwardInverse(benchmark::State& state) {
  const bool shared = state.range(1) == SharedPath;
  const auto path = shared ? ravelin::BestSimdPath() : static_cast<ravelin::TSimdPath>(state.range(1));
  if (path > ravelin::BestSimdPath()) {
    state.SkipWithError("the processor lacks this path");
    return;
  }
  const ravelin::TFastFourierTransform fft(static_cast<int>(state.range(0)), path, shared);
  const auto n = static_cast<std::size_t>(fft.Size());
  std::vector<double> signal(n), data(n);
  FillSignal(signal.data(), n);
  data = signal;
  int pass = 0;
  for (auto _ : state) {
    fft.Forward(data.data());
    fft.Inverse(data.data());
    benchmark::DoNotOptimize(data.data());
    if (++pass % RestoreEvery == 0) {
      state.PauseTiming();
      data = signal;
      state.ResumeTiming();
    }
  }
  SetCounters(state, n);
}
BENCHMARK(BM_RavelinForwardInverse)
    ->ArgsProduct({{12, 16, 20, 22, 24}, {0, 1, 2}})
    ->ArgNames({"order", "path"})
    ->Unit(benchmark::kMicrosecond);
// Wall time: the team's threads are not in the benchmark thread's CPU time.
BENCHMARK(BM_RavelinForwardInverse)
    ->ArgsProduct({{20, 22, 24}, {SharedPath}})
    ->ArgNames({"order", "path"})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

#if defined(RAVELIN_HAVE_FFTW)
void BM_FftwR2cC2r(benchmark::State& state) {
  const std::size_t n = std::size_t{1} << state.range(0);
  const int size = static_cast<int>(n);
  // In place: N real values need room for N/2 + 1 complex values.
  auto* data = static_cast<double*>(fftw_malloc(sizeof(double) * (n + 2)));
  auto* spectrum = reinterpret_cast<fftw_complex*>(data);
  fftw_plan forward = fftw_plan_dft_r2c_1d(size, data, spectrum, FFTW_MEASURE);
  fftw_plan inverse = fftw_plan_dft_c2r_1d(size, spectrum, data, FFTW_MEASURE);
  std::vector<double> signal(n);
  FillSignal(signal.data(), n);
  std::memcpy(data, signal.data(), n * sizeof(double));
  int pass = 0;
  for (auto _ : state) {
    fftw_execute(forward);
    fftw_execute(inverse);
    benchmark::DoNotOptimize(data);
    if (++pass % RestoreEvery == 0) {
      state.PauseTiming();
      std::memcpy(data, signal.data(), n * sizeof(double));
      state.ResumeTiming();
    }
  }
  fftw_destroy_plan(inverse);
  fftw_destroy_plan(forward);
  fftw_free(data);
  SetCounters(state, n);
}
BENCHMARK(BM_FftwR2cC2r)
    ->ArgsProduct({{12, 16, 20, 22, 24}})
    ->ArgNames({"order"})
    ->Unit(benchmark::kMicrosecond);
#endif

} // namespace

BENCHMARK_MAIN();
