// The curves the results window plots for one response channel: the
// energy-time curve and its Schroeder backward integral per sample, and the
// spectrum (power, phase and group delay) per frequency bin. Phase and group
// delay are taken with the peak at time zero, so they show what is left after
// the arrival delay.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace ravelin {

struct TResponseCurves {
  double SampleRate = 0.0; // Hz
  int64_t PeakIndex = 0;   // sample of the largest |x|
  std::shared_ptr<const std::vector<float>> Impulse;
  std::shared_ptr<const std::vector<float>> EtcDb; // 20 log10 |x|, floored at EtcFloorDb
  std::shared_ptr<const std::vector<float>>
      SchroederDb;           // backward integral up to the decay end, from the peak's level
  double BinHz = 0.0;        // frequency step of the spectra, bin 0 at 0 Hz
  std::vector<double> Power; // |H|^2
  std::shared_ptr<const std::vector<float>> PhaseDeg; // wrapped to -180 .. 180
  std::shared_ptr<const std::vector<float>> GroupDelayMs;
};

inline constexpr float EtcFloorDb = -200.0f;
// At most this many samples from the start go into the spectrum (about 22 s
// at 48 kHz): enough for every room, and quick to transform.
inline constexpr int SpectrumOrderMax = 20;

// decayEnd: sample where the decay meets the noise (the Schroeder integral
// starts there, so the noise does not bend it).
TResponseCurves ComputeCurves(std::vector<float> response, double sampleRate, int64_t decayEnd);

// Magnitude in dB of power smoothed over 1/fraction octave bands (power
// averaged over the bins within half a band either side); fraction 0: none.
std::vector<float> SmoothedMagnitudeDb(const std::vector<double>& power, int fraction);

} // namespace ravelin
