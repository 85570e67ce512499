#include "minphase.h"
#include "vectorclones.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

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

// Logarithms and phases are handled in blocks of this many bins.
constexpr int32_t Block = 256;

// x[i] := ln x[i] for positive, normal, finite x, within an ulp of the
// library's values, in branch-free code that vectorises: x = 2^k m with
// sqrt(1/2) <= m < sqrt(2), then ln m = f - f^2/2 + s (f^2/2 + R(s^2)) with
// f = m - 1, s = f / (2 + f) and the minimax polynomial R.
RAVELIN_VECTOR_CLONES void Log(double* x, int32_t count) {
  constexpr uint64_t SqrtHalf = 0x3FE6A09E667F3BCD;   // bits of sqrt(1/2)
  constexpr uint64_t ExponentMask = 0xFFF0000000000000;
  constexpr uint64_t IntegerBits = 0x4330000000000000; // 2^52: low bits hold an integer
  constexpr double Ln2Hi = 6.93147180369123816490e-01, Ln2Lo = 1.90821492927058770002e-10;
  constexpr double Lg1 = 6.666666666666735130e-01, Lg2 = 3.999999999940941908e-01,
                   Lg3 = 2.857142874366239149e-01, Lg4 = 2.222219843214978396e-01,
                   Lg5 = 1.818357216161805012e-01, Lg6 = 1.531383769920937332e-01,
                   Lg7 = 1.479819860511658591e-01;
  for (int32_t i = 0; i < count; ++i) {
    const uint64_t bits = std::bit_cast<uint64_t>(x[i]);
    const uint64_t offset = bits - SqrtHalf; // k, two's complement, in the top 12 bits
    const double m = std::bit_cast<double>(bits - (offset & ExponentMask));
    // k + 2048 as the low bits of 2^52, then k exactly.
    const double k = std::bit_cast<double>(IntegerBits | ((offset >> 52) ^ 0x800)) - 0x1.0000000000800p52;
    const double f = m - 1.0, s = f / (2.0 + f), z = s * s, w = z * z;
    const double r = z * (Lg1 + w * (Lg3 + w * (Lg5 + w * Lg7))) + w * (Lg2 + w * (Lg4 + w * Lg6));
    const double hfsq = 0.5 * f * f;
    x[i] = k * Ln2Hi - ((hfsq - (s * (hfsq + r) + k * Ln2Lo)) - f);
  }
}

// data[2k] := gain * ln max(work[k + 1], floor), data[2k + 1] := 0 for the
// bins first .. first + count - 1. A block holding inf or NaN takes the
// library's logarithm, so that they spread into the result as they should.
void LogMagnitudes(double* data, const double* work, double floor, double gain, int32_t first, int32_t count) {
  double x[Block];
  bool finite = true;
  for (int32_t i = 0; i < count; ++i) {
    x[i] = std::max(work[first + i + 1], floor);
    finite &= x[i] <= std::numeric_limits<double>::max();
  }
  if (finite) {
    Log(x, count);
  } else {
    for (int32_t i = 0; i < count; ++i)
      x[i] = std::log(x[i]);
  }
  for (int32_t i = 0; i < count; ++i) {
    data[2 * (first + i)] = gain * x[i];
    data[2 * (first + i) + 1] = 0.0;
  }
}

// c[i], s[i] := cos x, sin x of the angle x in s[i], within about an ulp of
// the library's values, in branch-free code that vectorises: x = q pi/2 + r
// with pi/2 in three parts, the minimax polynomials of sin and cos on
// |r| <= pi/4, then the quadrant q mod 4 by swapping and sign bits. Exact
// reduction up to |x| = 2^20 pi/2, as accurate as x itself beyond; valid for
// |x| < 2^50. The minimum phase stays far
// inside: the floored logarithms span less than 1500, and their Hilbert
// transform grows only with the logarithm of N.
RAVELIN_VECTOR_CLONES void CosSin(int32_t count, double* c, double* s) {
  constexpr double Shifter = 0x1.8p52; // adding it rounds to an integer in the low bits
  constexpr double PiO2[3] = {1.57079632673412561417e+00, 6.07710050630396597660e-11,
                              2.02226624871116645580e-21};
  constexpr double S1 = -1.66666666666666324348e-01, S2 = 8.33333333332248946124e-03,
                   S3 = -1.98412698298579493134e-04, S4 = 2.75573137070700676789e-06,
                   S5 = -2.50507602534068634195e-08, S6 = 1.58969099521155010221e-10;
  constexpr double C1 = 4.16666666666666019037e-02, C2 = -1.38888888888741095749e-03,
                   C3 = 2.48015872894767294178e-05, C4 = -2.75573143513906633035e-07,
                   C5 = 2.08757232129817482790e-09, C6 = -1.13596475577881948265e-11;
  for (int32_t i = 0; i < count; ++i) {
    const double x = s[i];
    const double shifted = x * std::numbers::inv_pi * 2.0 + Shifter;
    const double q = shifted - Shifter;
    const double r = ((x - q * PiO2[0]) - q * PiO2[1]) - q * PiO2[2];
    const double z = r * r;
    const double sr = r + r * z * (S1 + z * (S2 + z * (S3 + z * (S4 + z * (S5 + z * S6)))));
    const double cr = 1.0 - (0.5 * z - z * z * (C1 + z * (C2 + z * (C3 + z * (C4 + z * (C5 + z * C6))))));
    const uint64_t quadrant = std::bit_cast<uint64_t>(shifted);
    const uint64_t swap = uint64_t{0} - (quadrant & 1); // all ones in odd quadrants
    const uint64_t sb = std::bit_cast<uint64_t>(sr), cb = std::bit_cast<uint64_t>(cr);
    s[i] = std::bit_cast<double>(((sb & ~swap) | (cb & swap)) ^ ((quadrant & 2) << 62));
    c[i] = std::bit_cast<double>(((cb & ~swap) | (sb & swap)) ^ (((quadrant + 1) & 2) << 62));
  }
}

// data[2k], data[2k + 1] := gain * magnitude * (cos, sin) of the phase in
// data[2k + 1], for the bins first .. first + count - 1 (magnitudes in work[k + 1]).
void Rebuild(double* data, const double* work, double gain, int32_t first, int32_t count) {
  double c[Block], s[Block];
  for (int32_t i = 0; i < count; ++i)
    s[i] = data[2 * (first + i) + 1];
  CosSin(count, c, s);
  for (int32_t i = 0; i < count; ++i) {
    const double magnitude = work[first + i + 1];
    data[2 * (first + i)] = magnitude * c[i] * gain;
    data[2 * (first + i) + 1] = magnitude * s[i] * gain;
  }
}

// work[k + 1] := |bin k| for k = 1 .. half - 1 of the packed spectrum data.
RAVELIN_VECTOR_CLONES void BinMagnitudes(const double* data, int32_t half, double* work) {
  for (int32_t k = 1; k < half; ++k)
    work[k + 1] = std::sqrt(data[2 * k] * data[2 * k] + data[2 * k + 1] * data[2 * k + 1]);
}

// MinimumPhaseSpectrum with the result times gain, a power of two: the
// scalings by powers of two below are exact, so folding them into passes that
// run anyway gives the same values as separate passes.
void MinimumPhase(double* data, int32_t n, const TFastFourierTransform& fft, double* work, double gain) {
  const int32_t half = n / 2;
  const double scale = fft.InverseScale();

  // Magnitudes into work (0 Hz, Nyquist, bins 1 .. n/2-1), logarithms times
  // the inverse transform's scale into data.
  work[0] = std::fabs(data[0]);
  work[1] = std::fabs(data[1]);
  BinMagnitudes(data, half, work);
  const double floor = LogFloor(work, half);
  data[0] = scale * std::log(std::max(work[0], floor));
  data[1] = scale * std::log(std::max(work[1], floor));
  for (int32_t k = 1; k < half; k += Block)
    LogMagnitudes(data, work, floor, scale, k, std::min(Block, half - k));

  // Real cepstrum, folded into the odd sequence whose transform holds the
  // minimum phase in its imaginary parts.
  fft.Inverse(data);
  for (int32_t j = half; j < n; ++j)
    data[j] = -data[j];
  fft.Forward(data);

  data[0] = work[0] * gain;
  data[1] = work[1] * gain;
  for (int32_t k = 1; k < half; k += Block)
    Rebuild(data, work, gain, k, std::min(Block, half - k));
}

} // namespace

void MinimumPhaseSpectrum(double* data, int32_t n, const TFastFourierTransform& fft, double* work) {
  MinimumPhase(data, n, fft, work, 1.0);
}

void MinimumPhaseImpulse(double* data, int32_t n, const TFastFourierTransform& fft, double* work) {
  fft.Forward(data);
  MinimumPhase(data, n, fft, work, fft.InverseScale());
  fft.Inverse(data);
}

} // namespace ravelin
