#include "cutfilter.h"

#include "bifilters.h"
#include "buffers.h"
#include "errors.h"
#include "fltresponses.h"
#include "minphase.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace ravelin {
namespace {

// Sizes of the design for one sample rate.
struct TCutGeometry {
  double Half;     // half the window length (samples)
  uint32_t Length; // K = 2 * trunc(Half)
  int Order;       // log2 N1, N1 = smallest power of two not below K
  uint32_t Size;   // N1
};

void CheckSetting(int32_t sampleRate, int slopeIndex) {
  if (slopeIndex < 0 || slopeIndex > CutSlopeMax)
    throw TRavelinError("Cut slope index out of range");
  if (sampleRate < MinCutSampleRate)
    throw TRavelinError("Sample rate too low for the cut filters");
}

// Longest half window: kernels of 2^21 taps at most (1.47 s up to 1.42 MHz,
// shorter above), so that the design's memory (about 100 MB) and the
// transform sizes stay bounded at every sample rate.
constexpr double MaxHalf = 1 << 20;

TCutGeometry Geometry(int32_t sampleRate) {
  TCutGeometry g;
  g.Half = std::min(static_cast<double>(sampleRate) * 65000.0 / 44100.0 * 0.5, MaxHalf);
  g.Length = 2 * static_cast<uint32_t>(g.Half);
  g.Order = BitLength(g.Length - 1);
  g.Size = uint32_t{1} << g.Order;
  return g;
}

// Index of the bin nearest to frequency (ties to even), at most n/2.
uint32_t CornerBin(double frequency, int32_t sampleRate, uint32_t n) {
  const double half = static_cast<double>(n / 2);
  const double bin = std::nearbyint(frequency * 2.0 / static_cast<double>(sampleRate) * half);
  return static_cast<uint32_t>(std::min(bin, half));
}

// Rate above which the sections' prototype corner rises with the rate.
constexpr double PrototypeScaleRate = 192000.0;

// The prototype corner of the sections: CutPrototypeCorner up to 192 kHz, in
// proportion to the rate above. A fixed corner brings the poles ever closer
// to z = 1, and the rounding of the coefficients then sets the pass band: at
// -96 dB/o the low-pass's level at 0 Hz is off by 0.04 dB at 192 kHz, -0.8 dB
// at 768 kHz, +3.1 dB at 1 MHz, infinite at 10 MHz (poles on the unit circle).
// Scaled, the sections keep their precision at 192 kHz.
double PrototypeCorner(int32_t sampleRate) {
  return CutPrototypeCorner * std::max(1.0, static_cast<double>(sampleRate) / PrototypeScaleRate);
}

void ApplySection(double* w, uint32_t n, TBiquadKind kind, double corner, int32_t sampleRate) {
  const double prototype = PrototypeCorner(sampleRate);
  const TBiquadCoefficients c =
      DesignBiquad(kind, static_cast<float>(prototype), CutQ, static_cast<float>(sampleRate));
  CutResponse(w, w + n / 2 + 1, n / 2 + 1, corner, prototype, c);
}

// v^p for p >= 1 by repeated multiplication (p is at most 8).
double Power(double v, int p) {
  double result = v;
  for (int i = 1; i < p; ++i)
    result *= v;
  return result;
}

// Magnitudes w[0 .. n/2] raised to p, as a zero-phase packed spectrum.
void PackZeroPhase(double* w, uint32_t n, int p) {
  const double nyquist = Power(w[n / 2], p);
  for (uint32_t k = n / 2; k-- > 0;) {
    w[2 * k] = Power(w[k], p);
    w[2 * k + 1] = 0.0;
  }
  w[1] = nyquist;
}

// Zero-phase kernel (centred on sample 0, wrapping) -> centred on n/2, scaled.
void CentreAndScale(double* w, uint32_t n, double scale) {
  for (uint32_t k = 0; k < n / 2; ++k) {
    const double first = w[k];
    w[k] = w[n / 2 + k] * scale;
    w[n / 2 + k] = first * scale;
  }
}

// Moves the central K samples to the start under a Hann window of length
// 2 * half, which is 1 at the kernel's centre: 0.5 - 0.5 cos(s pi / half).
// The cosines come from cos(a + b) = cos a cos b - sin a sin b, with a on a
// coarse and b on a fine grid, at extended precision: the window is exact to
// double rounding at two library calls per WindowRun samples.
void WindowKernel(double* w, const TCutGeometry& g) {
  constexpr uint32_t WindowRun = 256;
  const long double step = std::numbers::pi_v<long double> / static_cast<long double>(g.Half);
  long double fineCos[WindowRun], fineSin[WindowRun];
  for (uint32_t j = 0; j < WindowRun; ++j) {
    fineCos[j] = std::cos(static_cast<long double>(j) * step);
    fineSin[j] = std::sin(static_cast<long double>(j) * step);
  }
  const double* kernel = w + (g.Size - g.Length) / 2;
  for (uint32_t start = 0; start < g.Length; start += WindowRun) {
    const long double a = static_cast<long double>(start) * step;
    const long double ca = std::cos(a), sa = std::sin(a);
    const uint32_t n = std::min(WindowRun, g.Length - start);
    for (uint32_t j = 0; j < n; ++j) {
      const long double c = ca * fineCos[j] - sa * fineSin[j];
      w[start + j] = static_cast<double>(0.5L - 0.5L * c) * kernel[start + j];
    }
  }
}

} // namespace

uint32_t CutKernelLength(int32_t sampleRate) {
  CheckSetting(sampleRate, 0);
  return Geometry(sampleRate).Length;
}

void CutMagnitudes(double* w, uint32_t n, int32_t sampleRate, double lowCut, double highCut, int slopeIndex) {
  FillDoubles(w, n / 2 + 1, 1.0);
  if (slopeIndex == CutSlopeMax) {
    if (lowCut > 0.0)
      ZeroDoubles(w, CornerBin(lowCut, sampleRate, n) + 1);
    if (highCut > 0.0) {
      const uint32_t j = CornerBin(highCut, sampleRate, n);
      ZeroDoubles(w + j, n / 2 + 1 - j);
    }
    return;
  }
  if (lowCut > 0.0)
    ApplySection(w, n, TBiquadKind::HighPass, lowCut, sampleRate);
  if (highCut > 0.0)
    ApplySection(w, n, TBiquadKind::LowPass, highCut, sampleRate);
}

std::vector<float> DesignCutKernel(int32_t sampleRate, double lowCut, double highCut, int slopeIndex) {
  CheckSetting(sampleRate, slopeIndex);
  const TCutGeometry g = Geometry(sampleRate);
  const uint32_t n1 = g.Size, n2 = 2 * g.Size;
  // [0, n2): spectra and kernels; [n2, n2 + n1]: magnitude work area.
  std::vector<double> w(3 * static_cast<size_t>(n1) + 1);
  const TFastFourierTransform half(g.Order), fft(g.Order + 1);
  CutMagnitudes(w.data(), n1, sampleRate, lowCut, highCut, slopeIndex);
  PackZeroPhase(w.data(), n1, slopeIndex == CutSlopeMax ? 1 : slopeIndex + 1);
  half.Inverse(w.data());
  CentreAndScale(w.data(), n1, half.InverseScale());
  WindowKernel(w.data(), g);
  ZeroDoubles(w.data() + g.Length, n2 - g.Length);
  MinimumPhaseImpulse(w.data(), static_cast<int32_t>(n2), fft, half, w.data() + n2);
  std::vector<float> kernel(g.Length);
  DoublesToFloats(w.data(), kernel.data(), g.Length);
  return kernel;
}

void CutFilterSink(const double* output, int32_t count, void* context) {
  auto& out = *static_cast<TCutFilterOutput*>(context);
  if (out.SkipCount >= count) {
    out.SkipCount -= count;
    return;
  }
  if (output)
    output += out.SkipCount;
  count -= out.SkipCount;
  out.SkipCount = 0;
  const auto n = static_cast<size_t>(count);
  if (output)
    std::memcpy(out.WritePosition, output, n * sizeof(double));
  else
    std::fill_n(out.WritePosition, n, 0.0);
  out.WritePosition += n;
}

TCutFilter::TCutFilter(int32_t sampleRate, double lowCut, double highCut, int slopeIndex) :
    FSampleRate(sampleRate), FLowCut(lowCut), FHighCut(highCut), FSlopeIndex(slopeIndex),
    FKernel(DesignCutKernel(sampleRate, lowCut, highCut, slopeIndex)),
    FManager(BitLength(static_cast<uint32_t>(FKernel.size())) - 3, 8), FFFT(FManager.BlockOrder() + 1),
    FResponse(FManager, FFFT), FConvolver(FManager, FResponse, FFFT),
    FZeros(static_cast<size_t>(FConvolver.Latency()), 0.0) {
  FResponse.SetKernel(FKernel.data(), static_cast<uint32_t>(FKernel.size()));
}

bool TCutFilter::Matches(int32_t sampleRate, double lowCut, double highCut, int slopeIndex) const {
  return sampleRate == FSampleRate && lowCut == FLowCut && highCut == FHighCut && slopeIndex == FSlopeIndex;
}

void TCutFilter::Apply(double* samples, int32_t count) {
  if (count <= 0)
    return;
  FConvolver.Reset();
  TCutFilterOutput out{samples, FConvolver.Latency()};
  FConvolver.Process(samples, count, CutFilterSink, &out);
  // The latency is shorter than the kernel, so one piece of zeros flushes.
  FConvolver.Process(FZeros.data(), FConvolver.Latency(), CutFilterSink, &out);
}

void ApplyCutFilters(double* samples, int32_t count, int32_t sampleRate, double lowCut, double highCut,
                     int slopeIndex) {
  CheckSetting(sampleRate, slopeIndex);
  if (lowCut <= 0.0 && highCut <= 0.0)
    return;
  TCutFilter(sampleRate, lowCut, highCut, slopeIndex).Apply(samples, count);
}

} // namespace ravelin
