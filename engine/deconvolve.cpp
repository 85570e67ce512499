#include "deconvolve.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "buffers.h"
#include "cutfilter.h"
#include "errors.h"
#include "minphase.h"
#include "wavReader.h"

namespace ravelin {

namespace {

constexpr int64_t MaxInt32 = std::numeric_limits<int32_t>::max();

// The packed spectrum of a real signal has N/2 + 1 bins; counts those of zero
// power, that is those a division would turn into inf or NaN.
uint32_t CountZeroBins(const double* spectrum, uint32_t n) {
  uint32_t zeros = (spectrum[0] == 0.0) + (spectrum[1] == 0.0);
  for (uint32_t i = 2; i < n; i += 2)
    zeros += spectrum[i] * spectrum[i] + spectrum[i + 1] * spectrum[i + 1] == 0.0;
  return zeros;
}

void CheckDivisor(const double* spectrum, uint32_t n) {
  const uint32_t zeros = CountZeroBins(spectrum, n);
  if (zeros == n / 2 + 1)
    throw TRavelinError("Cannot deconvolve: the test tone is silent!");
  if (zeros > 0)
    throw TRavelinError("Cannot deconvolve: the test tone spectrum has zero bins!");
}

// +6 dB per octave through -98.6 dB at 1 kHz, on both parts of every bin;
// the DC and Nyquist terms are cleared.
void ApplyTilt(double* spectrum, uint32_t n, int32_t sampleRate) {
  spectrum[0] = 0.0;
  spectrum[1] = 0.0;
  const double binWidth = static_cast<double>(sampleRate) / static_cast<double>(n);
  for (uint32_t j = 1; j < n / 2; ++j) {
    const double f = static_cast<double>(j) * binWidth;
    const double gain = std::pow(10.0, (6.0 * std::log2(f / 1000.0) - 98.6) * 0.05);
    spectrum[2 * j] *= gain;
    spectrum[2 * j + 1] *= gain;
  }
}

// Everything one channel's deconvolution needs besides the channel numbers.
struct TChannelJob {
  const TProcessOptions& Options;
  TProcessWorkspace& Workspace;
  const TFastFourierTransform& Fft;
  const TDeconvolutionSizes& Sizes;
  int32_t SampleRate;
};

// Test tone channel k into B as its spectrum: the divisor or the correlator.
void TransformTone(const TChannelJob& job, int32_t k) {
  const auto n = static_cast<uint32_t>(job.Fft.Size());
  const auto t = static_cast<uint32_t>(job.Workspace.TestToneLength);
  double* b = job.Workspace.B();
  const float* tone = job.Workspace.TestTone[static_cast<size_t>(k)];
  if (job.Options.Reversed) {
    // Time-reversed test tone ending at the last element: element N-1-m holds
    // sample m, so the product is the cross-correlation.
    ZeroDoubles(b, n - t);
    FloatsToDoubles(tone, b + (n - t), t);
    ReverseDoubles(b + (n - t), b + (n - 1), static_cast<int32_t>(t / 2));
  } else {
    FloatsToDoubles(tone, b, t);
    ZeroDoubles(b + t, n - t);
  }
  job.Fft.Forward(b);
}

// b := scale / b bin by bin (the two real terms [0], [1] on their own), so
// that dividing by b becomes one multiplication, the scale folded in.
void InvertSpectrum(double* b, uint32_t n, double scale) {
  b[0] = scale / b[0];
  b[1] = scale / b[1];
  for (uint32_t i = 2; i < n; i += 2) {
    const double r = scale / (b[i] * b[i] + b[i + 1] * b[i + 1]);
    b[i] *= r;
    b[i + 1] *= -r;
  }
}

// Makes B the spectrum that recording spectra are multiplied by for test
// tone channel k: the correlator, or the reciprocal of the divisor, with the
// inverse transform's scale folded in. Kept in the workspace while the tone
// channel, the size and the technique stay the same.
void PrepareDivisor(const TChannelJob& job, int32_t k) {
  TProcessWorkspace& ws = job.Workspace;
  const TProcessWorkspace::TDivisorKey key{k, job.Fft.Order(), job.Options.Reversed};
  if (ws.Divisor == key)
    return;
  ws.Divisor = {};
  TransformTone(job, k);
  const auto n = static_cast<uint32_t>(job.Fft.Size());
  if (job.Options.Reversed) {
    job.Fft.Scale(ws.B(), job.Fft.InverseScale());
  } else {
    CheckDivisor(ws.B(), n);
    InvertSpectrum(ws.B(), n, job.Fft.InverseScale());
  }
  ws.Divisor = key;
}

// The orders' levels assume the plain division of the recording by the tone.
bool WantsHarmonics(const TProcessOptions& options) {
  return options.Harmonics > 0 && !options.Reversed && !options.MinPhase;
}

// Recording channel c -> impulse response in place; updates the running peak
// (when normalising) and adds the channel's harmonics (when wanted).
void DeconvolveChannel(const TChannelJob& job, int32_t c, TDeconvolutionResult& result) {
  TProcessWorkspace& ws = job.Workspace;
  const auto n = static_cast<uint32_t>(job.Fft.Size());
  const auto s = static_cast<uint32_t>(job.Sizes.PreSilence);
  const auto r = static_cast<uint32_t>(ws.RecordLength);
  const int32_t l = job.Sizes.OutputLength;
  float* channel = ws.Record[static_cast<size_t>(c)];
  double* a = ws.A();

  ZeroDoubles(a, s);
  FloatsToDoubles(channel, a + s, r);
  ZeroDoubles(a + s + r, n - s - r);
  job.Fft.Forward(a);

  PrepareDivisor(job, ws.ToneChannelFor[static_cast<size_t>(c)]);
  job.Fft.Multiply(a, ws.B());
  if (job.Options.MinPhase) {
    ws.Divisor = {}; // B becomes scratch
    MinimumPhaseSpectrum(a, job.Fft.Size(), job.Fft, ws.B());
  }
  if (job.Options.Reversed)
    ApplyTilt(a, n, job.SampleRate);
  job.Fft.Inverse(a);
  if (WantsHarmonics(job.Options))
    result.Harmonics.push_back(
        ChannelHarmonics(a, job.Fft.Size(), job.Sizes.PreSilence, job.SampleRate, ws.Sweep, job.Options));

  if (job.Options.HighCut > 0.0f || job.Options.LowCut > 0.0f)
    ws.CutFilter(job.SampleRate, static_cast<double>(job.Options.LowCut),
                 static_cast<double>(job.Options.HighCut), job.Options.CutSlope)
        .Apply(a, l);
  DoublesToFloats(a, channel, static_cast<uint32_t>(l));
  if (job.Options.Normalize)
    result.Peak = PeakAbsFloats(channel, static_cast<uint32_t>(l), result.Peak);
}

} // namespace

TDeconvolutionSizes ComputeSizes(int64_t recordFrames, int32_t testToneLength, double preSilence,
                                 int32_t sampleRate) {
  // P = Round(2 x pre-silence x rate) + 1 with its lowest bit cleared.
  const double rounded = std::nearbyint(preSilence * 2.0 * static_cast<double>(sampleRate));
  if (!(rounded >= 0.0 && rounded < static_cast<double>(MaxInt32)))
    throw TRavelinError("Pre silence is too long to process!");
  const auto padding = (static_cast<int64_t>(rounded) + 1) & ~int64_t{1};
  if (testToneLength > recordFrames + padding)
    throw TRavelinError("Recorded file cannot be shorter than the test tone file!");
  const int64_t total = recordFrames + padding; // R + P
  constexpr int64_t largestTotal = int64_t{1} << (TFastFourierTransform::MaxOrder - 1);
  if (recordFrames > MaxInt32 || total > largestTotal)
    throw TRavelinError("Recorded file is too long to process!");
  const int order = std::max(TFastFourierTransform::MinOrder,
                             BitLength(static_cast<uint32_t>(std::max<int64_t>(2 * total - 1, 1))));
  TDeconvolutionSizes sizes;
  sizes.Padding = static_cast<int32_t>(padding);
  sizes.PreSilence = sizes.Padding / 2;
  sizes.OutputLength = static_cast<int32_t>(total - testToneLength + 1);
  sizes.Stride = std::max(static_cast<int32_t>(recordFrames), sizes.OutputLength);
  sizes.Order = order;
  return sizes;
}

void ReverseDoubles(double* first, double* last, int32_t pairCount) {
  for (int32_t i = 0; i < pairCount; ++i)
    std::swap(*first++, *last--);
}

TDeconvolutionResult DeconvolveRecording(TWAVReader& reader, const TProcessOptions& options,
                                         TProcessWorkspace& workspace) {
  const int32_t sampleRate = reader.SampleRate();
  const TDeconvolutionSizes sizes =
      ComputeSizes(reader.FrameCount(), workspace.TestToneLength, options.PreSilence, sampleRate);
  const auto frames = static_cast<int32_t>(reader.FrameCount());
  workspace.PrepareRecording(reader.Channels(), frames, sizes.Stride);
  reader.ReadFrames(workspace.Record.data(), frames);

  const TFastFourierTransform& fft = workspace.Transform(sizes.Order);
  workspace.PrepareSpectra(static_cast<uint32_t>(fft.Size()));
  const TChannelJob job{options, workspace, fft, sizes, sampleRate};
  TDeconvolutionResult result;
  result.Length = sizes.OutputLength;
  result.PreSilence = sizes.PreSilence;
  for (int32_t c = 0; c < workspace.RecordChannels; ++c) {
    result.Recording.push_back(MeasureRecording(workspace.Record[static_cast<size_t>(c)], frames,
                                                reader.BitsPerSample(), reader.FormatKind() == 3));
    DeconvolveChannel(job, c, result);
  }
  return result;
}

} // namespace ravelin
