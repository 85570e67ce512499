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
// The same through transforms of half the size for the cepstrum and the
// phase (half.Order() = fft.Order() - 1, else TRavelinError): two full-size
// transforms fewer, equal results up to rounding.
void MinimumPhaseImpulse(double* data, int32_t n, const TFastFourierTransform& fft,
                         const TFastFourierTransform& half, double* work);

} // namespace ravelin
