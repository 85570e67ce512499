// Room parameters of a 2 s response at 48 kHz (a decaying noise over a noise
// floor) in one-third octaves and in octaves, band filtering included.
#include "roomParameters.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

using namespace ravelin;

namespace {

constexpr int32_t Rate = 48000;
constexpr int32_t Length = 2 * Rate;

std::vector<float> Response() {
  std::mt19937 generator(1);
  std::normal_distribution<double> gauss(0.0, 1.0);
  std::vector<float> x(Length);
  for (int32_t i = 0; i < Length; ++i) {
    const double decay = std::pow(10.0, -3.0 * i / (0.9 * Rate)); // T = 0.9 s
    x[static_cast<size_t>(i)] = static_cast<float>((decay + 1e-4) * gauss(generator));
  }
  return x;
}

void BM_RoomParameters(benchmark::State& state) {
  const std::vector<float> response = Response();
  const auto width = static_cast<TBandWidth>(state.range(0));
  for (auto _ : state)
    benchmark::DoNotOptimize(RoomParameters(response.data(), Length, Rate, width));
}
BENCHMARK(BM_RoomParameters)->Arg(3)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
