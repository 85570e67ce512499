// Second-order (biquad) filter design by the bilinear transform with
// pre-warping.
#pragma once

namespace ravelin {

// Kind codes of the designs offered here.
enum class TBiquadKind { LowPass = 4, HighPass = 5 };

// Transfer function (B0 + B1 z^-1 + B2 z^-2) / (1 + A1 z^-1 + A2 z^-2).
struct TBiquadCoefficients {
  double B0, B1, B2, A1, A2;
};

// Corner frequency and sample rate in Hz; unity gain in the pass band.
TBiquadCoefficients DesignBiquad(TBiquadKind kind, float frequency, float q, float sampleRate);

} // namespace ravelin
