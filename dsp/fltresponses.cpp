#include "fltresponses.h"

#include <cmath>
#include <numbers>

namespace ravelin {
namespace {

// |p0 + p1 e^{-iw} + p2 e^{-2iw}|^2 with the partial sums rounded to double and
// the squares at extended precision: near the prototype corner the sums are
// tiny differences of numbers near 1.
long double SquaredMagnitude(double p0, double p1, double p2, double cw, double sw, double c2w, double s2w) {
  double re = p0 + p1 * cw;
  re = re + p2 * c2w;
  double im = p1 * sw;
  im = im + p2 * s2w;
  const auto lre = static_cast<long double>(re), lim = static_cast<long double>(im);
  return lre * lre + lim * lim;
}

} // namespace

void BiquadMagnitude(const double* grid, uint32_t count, double* response, const TBiquadCoefficients& c) {
  for (uint32_t i = 0; i < count; ++i) {
    const double w = std::numbers::pi * grid[i];
    const double cw = std::cos(w), sw = std::sin(w);
    // Double-angle forms: within an ulp or two of cos 2w and sin 2w (the form
    // 1 - 2 sin^2 w keeps its accuracy at the tiny angles used here) and half
    // the cost.
    const double c2w = 1.0 - 2.0 * sw * sw, s2w = 2.0 * sw * cw;
    const long double num = SquaredMagnitude(c.B0, c.B1, c.B2, cw, sw, c2w, s2w);
    const long double den = SquaredMagnitude(1.0, c.A1, c.A2, cw, sw, c2w, s2w);
    response[i] *= static_cast<double>(std::sqrt(num / den));
  }
}

void CutResponse(double* response, double* scratch, uint32_t count, double corner,
                 double prototypeCorner, const TBiquadCoefficients& c) {
  const double half = static_cast<double>(count - 1);
  for (uint32_t i = 0; i < count; ++i)
    scratch[i] = static_cast<double>(i) / half * prototypeCorner / corner;
  BiquadMagnitude(scratch, count, response, c);
}

} // namespace ravelin
