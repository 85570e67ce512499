#include "syntheticResponse.h"

#include <cmath>
#include <random>

namespace ravelin::test {

std::vector<float> TSyntheticResponse::Make() const {
  std::mt19937 generator(Seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  const double gain = std::pow(10.0, GainDb / 20.0);
  const double tail = gain * std::pow(10.0, TailDb / 20.0);
  const double noise = std::pow(10.0, NoiseDb / 20.0);
  std::vector<float> samples(static_cast<size_t>(Length));
  for (int32_t i = 0; i < Length; ++i) {
    double x = NoiseDb > -300.0 ? noise * gauss(generator) : 0.0;
    if (Rt60 > 0.0 && i > Delay)
      x += tail * std::pow(10.0, -3.0 * (i - Delay) / (Rt60 * SampleRate)) * gauss(generator);
    samples[static_cast<size_t>(i)] = static_cast<float>(x);
  }
  samples[static_cast<size_t>(Delay)] = static_cast<float>(gain);
  return samples;
}

double TSyntheticResponse::CrosspointIndex() const {
  return Delay + (GainDb + TailDb - NoiseDb) / 60.0 * Rt60 * SampleRate;
}

} // namespace ravelin::test
