#include "bifilters.h"

#include <cmath>
#include <numbers>

namespace ravelin {

TBiquadCoefficients DesignBiquad(TBiquadKind kind, float frequency, float q, float sampleRate) {
  const double w0 = 2.0 * std::numbers::pi * static_cast<double>(frequency) / static_cast<double>(sampleRate);
  const double t = std::tan(w0 / 2.0);
  const double t2 = t * t;
  const double tq = t / static_cast<double>(q);
  const double a0 = t2 + tq + 1.0;
  const double a1 = 2.0 * (t2 - 1.0);
  const double a2 = t2 - tq + 1.0;
  const bool lowPass = kind == TBiquadKind::LowPass;
  const double b0 = lowPass ? t2 : 1.0;
  const double b1 = lowPass ? 2.0 * t2 : -2.0;
  return {b0 / a0, b1 / a0, b0 / a0, a1 / a0, a2 / a0};
}

} // namespace ravelin
