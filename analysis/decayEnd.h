// Where one response's decay meets its noise, by the iteration of Lundeby et
// al. (1995) that AnalyzeResponse uses (see figures.h), with the late decay's
// slope, for analyses that compensate the energy lost beyond the truncation.
#pragma once

#include <cstdint>

namespace ravelin {

struct TDecayEnd {
  double Crosspoint = 0.0;      // sample index where the decay line meets the noise
  double NoiseMeanSquare = 0.0; // of the noise after the decay
  double SlopeDb = 0.0;         // of the late decay's mean square, dB per sample; 0: no decay found
  double OffsetDb = 0.0;        // the late decay's level at sample 0: OffsetDb + SlopeDb * index
};

// The decay of samples[peak .. length) at rate Hz.
TDecayEnd LundebyDecayEnd(const float* samples, int32_t peak, int32_t length, int32_t rate);

} // namespace ravelin
