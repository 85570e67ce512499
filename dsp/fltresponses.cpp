#include "fltresponses.h"
#include "vectorclones.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ravelin {
namespace {

// Angles below this (radians) take the series below; the cut filters' grids
// stay under it for every corner above 0.51 Hz (pi * 0.01 / corner < 0.0625).
constexpr double SmallAngle = 0.0625;

// cos w and sin w for |w| < SmallAngle by their Taylor series, truncated where
// the next term is below 1e-19 of the value: the results are the correctly
// rounded values but for rare ties, at a fraction of the library's cost, and
// the loop over them vectorises.
void SmallAngleCosSin(const double* w, uint32_t count, double* cw, double* sw) {
  for (uint32_t i = 0; i < count; ++i) {
    const double x = w[i], x2 = x * x;
    sw[i] = x + x * x2 * (-1.0 / 6.0 + x2 * (1.0 / 120.0 + x2 * (-1.0 / 5040.0 + x2 * (1.0 / 362880.0))));
    cw[i] = 1.0 - x2 * (0.5 - x2 * (1.0 / 24.0 - x2 * (1.0 / 720.0 - x2 * (1.0 / 40320.0 - x2 / 3628800.0))));
  }
}

// cw[i], sw[i] := cos, sin of pi * grid[i].
void CosSin(const double* grid, uint32_t count, double* w, double* cw, double* sw) {
  bool small = true;
  for (uint32_t i = 0; i < count; ++i) {
    w[i] = std::numbers::pi * grid[i];
    small &= std::fabs(w[i]) < SmallAngle;
  }
  if (small) {
    SmallAngleCosSin(w, count, cw, sw);
    return;
  }
  for (uint32_t i = 0; i < count; ++i) {
    cw[i] = std::cos(w[i]);
    sw[i] = std::sin(w[i]);
  }
}

// |p0 + p1 e^{-iw} + p2 e^{-2iw}|^2 with the partial sums rounded to double:
// near the prototype corner they are tiny differences of numbers near 1, and
// their rounding, not the one of the squares, sets the precision.
double SquaredMagnitude(double p0, double p1, double p2, double cw, double sw, double c2w, double s2w) {
  double re = p0 + p1 * cw;
  re = re + p2 * c2w;
  double im = p1 * sw;
  im = im + p2 * s2w;
  return re * re + im * im;
}

// Values per block: the angles and their cosines and sines live on the stack.
constexpr uint32_t Block = 256;

// BiquadMagnitude on count <= Block values.
RAVELIN_VECTOR_CLONES void MagnitudeBlock(const double* grid, uint32_t count, double* response,
                                          const TBiquadCoefficients& c) {
  double w[Block], cw[Block], sw[Block];
  CosSin(grid, count, w, cw, sw);
  for (uint32_t i = 0; i < count; ++i) {
    // Double-angle forms: within an ulp or two of cos 2w and sin 2w (the
    // form 1 - 2 sin^2 w keeps its accuracy at the tiny angles used here).
    const double c2w = 1.0 - 2.0 * sw[i] * sw[i], s2w = 2.0 * sw[i] * cw[i];
    const double num = SquaredMagnitude(c.B0, c.B1, c.B2, cw[i], sw[i], c2w, s2w);
    const double den = SquaredMagnitude(1.0, c.A1, c.A2, cw[i], sw[i], c2w, s2w);
    response[i] *= std::sqrt(num / den);
  }
}

} // namespace

void BiquadMagnitude(const double* grid, uint32_t count, double* response, const TBiquadCoefficients& c) {
  for (uint32_t start = 0; start < count; start += Block)
    MagnitudeBlock(grid + start, std::min(Block, count - start), response + start, c);
}

void CutResponse(double* response, double* scratch, uint32_t count, double corner,
                 double prototypeCorner, const TBiquadCoefficients& c) {
  const double half = static_cast<double>(count - 1);
  for (uint32_t i = 0; i < count; ++i)
    scratch[i] = static_cast<double>(i) / half * prototypeCorner / corner;
  BiquadMagnitude(scratch, count, response, c);
}

} // namespace ravelin
