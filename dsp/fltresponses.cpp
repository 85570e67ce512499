#include "fltresponses.h"
#include "sincos.h"
#include "vectorclones.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ravelin {
namespace {

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
  double cw[Block], sw[Block];
  for (uint32_t i = 0; i < count; ++i)
    sw[i] = std::numbers::pi * grid[i];
  CosSin(static_cast<int32_t>(count), cw, sw);
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

void CutResponse(double* response, double* scratch, uint32_t count, double corner, double prototypeCorner,
                 const TBiquadCoefficients& c) {
  // Frequencies beyond the design's Nyquist frequency (a corner below the
  // prototype's) take its value there, the high-pass's 1 and the low-pass's 0,
  // instead of an alias of the periodic response.
  const double half = static_cast<double>(count - 1);
  for (uint32_t i = 0; i < count; ++i)
    scratch[i] = std::min(static_cast<double>(i) / half * prototypeCorner / corner, 1.0);
  BiquadMagnitude(scratch, count, response, c);
}

} // namespace ravelin
