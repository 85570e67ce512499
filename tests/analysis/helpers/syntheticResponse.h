// Synthetic impulse responses with known figures: an impulse of known delay
// and gain, an exponentially decaying diffuse tail and stationary noise.
#pragma once

#include <cstdint>
#include <vector>

namespace ravelin::test {

struct TSyntheticResponse {
  int32_t SampleRate = 48000;
  int32_t Length = 48000;  // samples
  int32_t Delay = 480;     // samples to the impulse
  double GainDb = -6.0;    // level of the impulse, dBFS
  double TailDb = -26.0;   // RMS level of the diffuse tail at the impulse, re the impulse
  double Rt60 = 0.3;       // seconds for the tail to decay by 60 dB; 0: no tail
  double NoiseDb = -100.0; // RMS of the stationary noise, dBFS; below -300: none
  uint32_t Seed = 1;

  std::vector<float> Make() const;
  // Where the tail's RMS envelope meets the noise, in samples from the file's start.
  double CrosspointIndex() const;
};

} // namespace ravelin::test
