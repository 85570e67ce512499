#include "minphase.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ravelin {

namespace {

// Logarithms are taken of max(magnitude, floor). The floor lies 400 dB below
// the largest magnitude, far under the rounding noise of a double-precision
// spectrum (about 300 dB down), so no meaningful bin is changed; it only keeps
// exact zeros from becoming -inf, which would make the whole result NaN. The
// smallest normal double bounds it from below for an all-zero spectrum.
constexpr double RelativeLogFloor = 1e-20;

double LogFloor(const double* work, int32_t half) {
  const double peak = *std::max_element(work, work + half + 1);
  return std::max(peak * RelativeLogFloor, std::numeric_limits<double>::min());
}

} // namespace

void MinimumPhaseSpectrum(double* data, int32_t n, const TFastFourierTransform& fft, double* work) {
  const int32_t half = n / 2;

  // Magnitudes into work (0 Hz, Nyquist, bins 1 .. n/2-1), logarithms into data.
  work[0] = std::fabs(data[0]);
  work[1] = std::fabs(data[1]);
  for (int32_t k = 1; k < half; ++k)
    work[k + 1] = std::sqrt(data[2 * k] * data[2 * k] + data[2 * k + 1] * data[2 * k + 1]);
  const double floor = LogFloor(work, half);
  data[0] = std::log(std::max(work[0], floor));
  data[1] = std::log(std::max(work[1], floor));
  for (int32_t k = 1; k < half; ++k) {
    data[2 * k] = std::log(std::max(work[k + 1], floor));
    data[2 * k + 1] = 0.0;
  }

  // Real cepstrum, folded into the odd sequence whose transform holds the
  // minimum phase in its imaginary parts.
  fft.Inverse(data);
  const double scale = fft.InverseScale();
  for (int32_t j = 0; j < half; ++j)
    data[j] *= scale;
  for (int32_t j = half; j < n; ++j)
    data[j] *= -scale;
  fft.Forward(data);

  data[0] = work[0];
  data[1] = work[1];
  for (int32_t k = 1; k < half; ++k) {
    const double phase = data[2 * k + 1];
    data[2 * k] = work[k + 1] * std::cos(phase);
    data[2 * k + 1] = work[k + 1] * std::sin(phase);
  }
}

void MinimumPhaseImpulse(double* data, int32_t n, const TFastFourierTransform& fft, double* work) {
  fft.Forward(data);
  MinimumPhaseSpectrum(data, n, fft, work);
  fft.Inverse(data);
  fft.Scale(data, fft.InverseScale());
}

} // namespace ravelin
