// Low-cut / high-cut filtering of one deconvolved channel: a long minimum-phase
// FIR kernel designed in the frequency domain, applied with the partitioned
// FFT convolver, with the convolver's delay removed so that the filtered
// samples land in the same places.
#pragma once

#include "fft.h"
#include "fftconv.h"

#include <cstdint>
#include <vector>

namespace ravelin {

// Item index of the cut slope list: 0 .. 7 = -12 .. -96 dB/o, 8 = "Max".
constexpr int CutSlopeMax = 8;

// Filters samples[0 .. count-1] in place; nothing else of the array is touched.
// A corner that is not positive means that filter is off; with both off the
// samples are left as they are. Throws TRavelinError for a slope index outside
// 0 .. CutSlopeMax or a sample rate below MinCutSampleRate.
void ApplyCutFilters(double* samples, int32_t count, int32_t sampleRate, double lowCut, double highCut,
                     int slopeIndex);

// Lowest sample rate (Hz) whose kernel is long enough for the convolver.
constexpr int32_t MinCutSampleRate = 11;

// Kernel length K (samples): about 1.47 s, 65000 at 44100 Hz, up to 2^21
// samples (reached at 1.42 MHz; shorter in time above). Throws TRavelinError
// for a sample rate below MinCutSampleRate.
uint32_t CutKernelLength(int32_t sampleRate);

// Magnitudes of the cut filters before the slope power, on the bins 0 .. n/2
// of an n-point grid: w[0 .. n/2] receives them, w[n/2 + 1 .. n + 1] is
// scratch (w holds at least n + 2 doubles). Slopes 0 .. 7: products of the
// second-order sections; "Max": 1 between the corners and 0 outside, the
// corner bins cleared too.
void CutMagnitudes(double* w, uint32_t n, int32_t sampleRate, double lowCut, double highCut, int slopeIndex);

// The minimum-phase kernel (K single-precision taps) of the given setting.
std::vector<float> DesignCutKernel(int32_t sampleRate, double lowCut, double highCut, int slopeIndex);

// Where CutFilterSink writes: the caller's next sample, and the number of
// leading convolver output samples still to drop (its latency).
struct TCutFilterOutput {
  double* WritePosition;
  int32_t SkipCount;
};

// Convolver sink (context: TCutFilterOutput): drops SkipCount samples, then
// copies the output (zeros for a nil output) to WritePosition and advances it.
void CutFilterSink(const double* output, int32_t count, void* context);

// One cut-filter setting, designed once and applied to any number of
// channels; every Apply gives what ApplyCutFilters gives for the same setting.
class TCutFilter {
public:
  TCutFilter(int32_t sampleRate, double lowCut, double highCut, int slopeIndex);

  // Same setting as the one designed here.
  bool Matches(int32_t sampleRate, double lowCut, double highCut, int slopeIndex) const;
  // Filters samples[0 .. count-1] in place; nothing else of the array is touched.
  void Apply(double* samples, int32_t count);

  const std::vector<float>& Kernel() const { return FKernel; }
  int32_t PartitionLength() const { return FManager.BlockLength(); }
  int32_t Latency() const { return FConvolver.Latency(); }

private:
  int32_t FSampleRate;
  double FLowCut, FHighCut;
  int FSlopeIndex;
  std::vector<float> FKernel;
  TFFTBlockManager FManager;
  TFastFourierTransform FFFT; // size 2M, shared by response and convolver
  TFFTResponse FResponse;
  TFFTConvolver FConvolver;
  std::vector<double> FZeros; // flush input: Latency() zeros
};

} // namespace ravelin
