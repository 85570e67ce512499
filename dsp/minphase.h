// Minimum-phase transform by the real-cepstrum method. Both functions work in
// place on N doubles (N = fft.Size()) and use work (N/2 + 1 doubles, supplied by
// the caller) for the magnitudes: on return work holds |X(0)|, |X(N/2)|, then
// |X(1)| .. |X(N/2-1)|. The logarithm has a floor, so a bin of zero magnitude
// stays zero instead of turning the result into NaN. Nothing is allocated.
#pragma once

#include "fft.h"

namespace ravelin {

// Packed spectrum in, packed minimum-phase spectrum with the same magnitudes out.
void MinimumPhaseSpectrum(double* data, int32_t n, const TFastFourierTransform& fft, double* work);
// N time samples in, N samples of the minimum-phase signal out (same level).
void MinimumPhaseImpulse(double* data, int32_t n, const TFastFourierTransform& fft, double* work);

} // namespace ravelin
