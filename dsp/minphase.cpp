#include "minphase.h"
#include "errors.h"
#include "sincos.h"
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
  constexpr uint64_t SqrtHalf = 0x3FE6A09E667F3BCD; // bits of sqrt(1/2)
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

// x[i] := ln max(work[first + i + 1], floor) for count bins. A block holding
// inf or NaN takes the library's logarithm, so that they spread into the
// result as they should.
void BlockLogs(const double* work, double floor, int32_t first, int32_t count, double* x) {
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
}

// data[2k], data[2k + 1] := gain * magnitude * (cos, sin) of the phase in
// data[2k + 1], for the bins first .. first + count - 1 (magnitudes in work[k + 1]).
// The phases stay far inside CosSin's exact range: the floored logarithms span
// less than 1500, and their Hilbert transform grows only with the logarithm of N.
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

// Magnitudes of the packed spectrum data into work (0 Hz, Nyquist, bins
// 1 .. half-1), then their floored logarithms times gain into data: bin k at
// data[Stride * k], the Nyquist bin at data[nyquist]. With Stride 2 the
// imaginary parts are cleared, giving a packed real spectrum.
template <int32_t Stride>
void LogSpectrum(double* data, int32_t half, int32_t nyquist, double* work, double gain) {
  work[0] = std::fabs(data[0]);
  work[1] = std::fabs(data[1]);
  BinMagnitudes(data, half, work);
  const double floor = LogFloor(work, half);
  data[0] = gain * std::log(std::max(work[0], floor));
  data[nyquist] = gain * std::log(std::max(work[1], floor));
  double x[Block];
  for (int32_t k = 1; k < half; k += Block) {
    const int32_t count = std::min(Block, half - k);
    BlockLogs(work, floor, k, count, x);
    for (int32_t i = 0; i < count; ++i) {
      data[Stride * (k + i)] = gain * x[i];
      if constexpr (Stride == 2)
        data[Stride * (k + i) + 1] = 0.0;
    }
  }
}

// Spectrum of magnitudes work with the phases in data[2k + 1], times gain.
void RebuildAll(double* data, int32_t half, const double* work, double gain) {
  data[0] = work[0] * gain;
  data[1] = work[1] * gain;
  for (int32_t k = 1; k < half; k += Block)
    Rebuild(data, work, gain, k, std::min(Block, half - k));
}

// MinimumPhaseSpectrum with the result times gain, a power of two: the
// scalings by powers of two below are exact, so folding them into passes that
// run anyway gives the same values as separate passes.
void MinimumPhase(double* data, int32_t n, const TFastFourierTransform& fft, double* work, double gain) {
  const int32_t half = n / 2;
  // Logarithms times the inverse transform's scale, so that the inverse
  // gives the real cepstrum.
  LogSpectrum<2>(data, half, 1, work, fft.InverseScale());
  // Real cepstrum, folded into the odd sequence whose transform holds the
  // minimum phase in its imaginary parts.
  fft.Inverse(data);
  for (int32_t j = half; j < n; ++j)
    data[j] = -data[j];
  fft.Forward(data);
  RebuildAll(data, half, work, gain);
}

// Calls pair(j, cos(pi j / m), sin(pi j / m)) for j = 1 .. m/2 - 1, the
// index pairs (j, m - j) that the half-size cosine and sine transforms mix.
template <class TPair> void ForEachPair(int32_t m, TPair pair) {
  const double step = std::numbers::pi / static_cast<double>(m);
  double c[Block], s[Block];
  for (int32_t first = 1; first < m / 2; first += Block) {
    const int32_t count = std::min(Block, m / 2 - first);
    for (int32_t i = 0; i < count; ++i)
      s[i] = static_cast<double>(first + i) * step;
    CosSin(count, c, s);
    for (int32_t i = 0; i < count; ++i)
      pair(first + i, c[i], s[i]);
  }
}

// f[j] := F[j] = (f[0] + (-1)^j f[m]) / 2 + sum_{k=1}^{m-1} f[k] cos(pi j k / m)
// for j = 0 .. m-1, f[m] left as it was: what the inverse transform of 2m
// points makes of a real packed spectrum with f[k] in bin k. A real transform
// of m points of the folded input holds F[2k] and F[2k+1] - F[2k-1] in bin k.
void CosineTransform(double* f, int32_t m, const TFastFourierTransform& half) {
  double first = 0.5 * (f[0] - f[m]);
  f[0] = 0.5 * (f[0] + f[m]);
  ForEachPair(m, [f, m, &first](int32_t j, double c, double s) {
    const double sum = 0.5 * (f[j] + f[m - j]), difference = f[j] - f[m - j];
    first += c * difference;
    f[j] = sum - s * difference;
    f[m - j] = sum + s * difference;
  });
  half.Forward(f);
  f[1] = first;
  for (int32_t j = 3; j < m; j += 2)
    f[j] += f[j - 2];
}

// f[j] := F[j] = 2 sum_{k=1}^{m-1} f[k] sin(pi j k / m) for j = 1 .. m-1: the
// imaginary parts of the spectrum of 2m points of f[1 .. m-1] followed by its
// negated mirror, through a real transform of m points whose bin k holds
// F[2k] in the imaginary and F[2k+1] - F[2k-1] in the real part.
void SineTransform(double* f, int32_t m, const TFastFourierTransform& half) {
  f[0] = 0.0;
  f[m / 2] *= 4.0;
  ForEachPair(m, [f, m](int32_t j, double, double s) {
    const double sum = 2.0 * s * (f[j] + f[m - j]), difference = f[j] - f[m - j];
    f[j] = sum + difference;
    f[m - j] = sum - difference;
  });
  half.Forward(f);
  f[1] = 0.5 * f[0];
  for (int32_t j = 2; j < m; j += 2) {
    const double re = f[j];
    f[j] = f[j + 1];
    f[j + 1] = f[j - 1] + re;
  }
}

// MinimumPhase through transforms of half the size: the logarithms of the
// magnitudes are real and even, so the cepstrum is a cosine transform of
// them, and of the folded cepstrum only the sine parts are needed.
void HalfSizeMinimumPhase(double* data, int32_t n, const TFastFourierTransform& half, double* work,
                          double gain) {
  const int32_t m = n / 2;
  // Logarithms times the full size's inverse scale, as in MinimumPhase.
  LogSpectrum<1>(data, m, m, work, 0.5 * half.InverseScale());
  CosineTransform(data, m, half);
  SineTransform(data, m, half);
  // Phase of bin k from data[k] to data[2k + 1], downwards so nothing unread is overwritten.
  for (int32_t k = m - 1; k > 0; --k)
    data[2 * k + 1] = data[k];
  RebuildAll(data, m, work, gain);
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

void MinimumPhaseImpulse(double* data, int32_t n, const TFastFourierTransform& fft,
                         const TFastFourierTransform& half, double* work) {
  if (half.Order() + 1 != fft.Order())
    throw TRavelinError("Minimum phase: the half-size transform does not match");
  fft.Forward(data);
  HalfSizeMinimumPhase(data, n, half, work, fft.InverseScale());
  fft.Inverse(data);
}

} // namespace ravelin
