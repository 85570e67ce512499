// Cut filters on 10 s of 48 kHz audio with the 70748-tap kernel of that rate:
// the whole ApplyCutFilters (design included), the design alone, and the
// convolution alone at partition 16384 (the filter's own) and 8192, beside
// zita-convolver at 8192 (its largest partition) run synchronously with a
// single partition size, so that no worker thread takes part.
#include "cutfilter.h"
#include "fftconv.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#if defined(RAVELIN_HAVE_ZITA)
#include <zita-convolver.h>
#endif

using namespace ravelin;

namespace {

constexpr int32_t Rate = 48000;
constexpr int32_t Frames = 10 * Rate;
constexpr double LowCut = 20.0, HighCut = 20000.0;
constexpr int Slope = 3;

std::vector<double> Signal() {
  std::mt19937 generator(1);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<double> x(Frames);
  for (double& v : x)
    v = dist(generator);
  return x;
}

const std::vector<float>& Kernel() {
  static const std::vector<float> kernel = DesignCutKernel(Rate, LowCut, HighCut, Slope);
  return kernel;
}

void ReportFrames(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * Frames);
}

void BM_ApplyCutFilters(benchmark::State& state) {
  const std::vector<double> x = Signal();
  std::vector<double> y(x.size());
  for (auto _ : state) {
    std::copy(x.begin(), x.end(), y.begin());
    ApplyCutFilters(y.data(), Frames, Rate, LowCut, HighCut, Slope);
    benchmark::DoNotOptimize(y.data());
  }
  ReportFrames(state);
}

void BM_KernelDesign(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(DesignCutKernel(Rate, LowCut, HighCut, Slope).data());
}

// Convolution alone at the filter's own partition length (16384 at 48 kHz),
// with the latency flush; the kernel is designed outside the timing.
void BM_ConvolutionCutFilter(benchmark::State& state) {
  TCutFilter filter(Rate, LowCut, HighCut, Slope);
  const std::vector<double> x = Signal();
  std::vector<double> y(x.size());
  for (auto _ : state) {
    std::copy(x.begin(), x.end(), y.begin());
    filter.Apply(y.data(), Frames);
    benchmark::DoNotOptimize(y.data());
  }
  state.counters["partition"] = filter.PartitionLength();
  ReportFrames(state);
}

// The convolver at an explicit partition length (range(0) = log2 M).
void BM_ConvolutionOurs(benchmark::State& state) {
  const int order = static_cast<int>(state.range(0));
  TFFTBlockManager manager(order, 8);
  TFastFourierTransform fft(order + 1);
  TFFTResponse response(manager, fft);
  TFFTConvolver convolver(manager, response, fft);
  response.SetKernel(Kernel().data(), static_cast<uint32_t>(Kernel().size()));
  const std::vector<double> x = Signal();
  const std::vector<double> zeros(static_cast<size_t>(convolver.Latency()), 0.0);
  std::vector<double> y(x.size());
  for (auto _ : state) {
    convolver.Reset();
    TCutFilterOutput out{y.data(), convolver.Latency()};
    convolver.Process(x.data(), Frames, CutFilterSink, &out);
    convolver.Process(zeros.data(), convolver.Latency(), CutFilterSink, &out);
    benchmark::DoNotOptimize(y.data());
  }
  ReportFrames(state);
}

#if defined(RAVELIN_HAVE_ZITA)
// zita-convolver, one level of partition = quantum = 8192: processed in the
// calling thread by process(true). Input and output pass through its float
// buffers one quantum at a time; the last quantum is zero-padded.
void BM_ConvolutionZita(benchmark::State& state) {
  const auto part = static_cast<uint32_t>(state.range(0));
  Convproc conv;
  if (conv.configure(1, 1, static_cast<uint32_t>(Kernel().size()), part, part, part, 0.0f) != 0) {
    state.SkipWithError("zita-convolver configure failed");
    return;
  }
  std::vector<float> kernel = Kernel();
  conv.impdata_create(0, 0, 1, kernel.data(), 0, static_cast<int32_t>(kernel.size()));
  conv.start_process(0, 0);
  const std::vector<double> x = Signal();
  std::vector<double> y(x.size() + part);
  for (auto _ : state) {
    for (size_t at = 0; at < x.size(); at += part) {
      const size_t n = std::min<size_t>(part, x.size() - at);
      float* in = conv.inpdata(0);
      std::fill_n(in, part, 0.0f);
      for (size_t i = 0; i < n; ++i)
        in[i] = static_cast<float>(x[at + i]);
      conv.process(true);
      const float* out = conv.outdata(0);
      for (size_t i = 0; i < part; ++i)
        y[at + i] = static_cast<double>(out[i]);
    }
    benchmark::DoNotOptimize(y.data());
  }
  conv.stop_process();
  conv.cleanup();
  ReportFrames(state);
}
BENCHMARK(BM_ConvolutionZita)->Arg(8192)->Unit(benchmark::kMillisecond);
#endif

} // namespace

BENCHMARK(BM_ApplyCutFilters)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KernelDesign)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvolutionCutFilter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvolutionOurs)->Arg(13)->Arg(14)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
