#include "figures.h"

#include <algorithm>
#include <cmath>

#include "decayEnd.h"
#include "dither.h"

namespace ravelin {

namespace {

constexpr double InitialIntervalSeconds = 0.01; // first energy envelope: 10 ms intervals
constexpr int32_t MinIntervals = 10;            // an envelope has at least this many intervals
constexpr double IntervalsPer10Db = 5.0;        // later envelopes: intervals per 10 dB of decay
constexpr double NoiseMarginDb = 10.0; // the noise is taken from where the decay is this far below it
constexpr double FirstFitTopDb = 10.0; // first fit: from the peak down to the noise + this
constexpr double LateFitLowDb = 10.0;  // later fits: the late decay from noise + 30 dB
constexpr double LateFitHighDb = 30.0; //   down to noise + 10 dB
constexpr int MaxIterations = 5;
constexpr double TruncatedDb = 5.0; // a decay less far below the noise at the end is truncated
constexpr double MinPnrDb = 40.0;
constexpr double WordLengthLossDb = 3.0; // dither that raises the noise this much limits the output
constexpr double ShortOutputSeconds = 0.01;

double PowerDb(double meanSquare) {
  return meanSquare > 0.0 ? std::max(SilentDbfs, 10.0 * std::log10(meanSquare)) : SilentDbfs;
}

double Dbfs(double amplitude) {
  return PowerDb(amplitude * amplitude);
}

int32_t PeakIndex(const float* samples, int32_t length) {
  int32_t best = 0;
  for (int32_t i = 1; i < length; ++i)
    if (std::fabs(samples[i]) > std::fabs(samples[best]))
      best = i;
  return best;
}

double MeanSquare(const float* samples, int32_t first, int32_t end) {
  double sum = 0.0;
  for (int32_t i = first; i < end; ++i)
    sum += static_cast<double>(samples[i]) * static_cast<double>(samples[i]);
  return end > first ? sum / (end - first) : 0.0;
}

// Mean square in dB of consecutive intervals of Step samples from First (the
// last interval may be shorter).
struct TEnvelope {
  int32_t First = 0;
  int32_t Step = 1;
  std::vector<double> Db;

  double Center(size_t i) const { return First + (static_cast<double>(i) + 0.5) * Step; }
};

TEnvelope Envelope(const float* samples, int32_t first, int32_t end, int32_t step) {
  TEnvelope envelope{first, step, {}};
  for (int32_t start = first; start < end; start += std::min(step, end - start))
    envelope.Db.push_back(PowerDb(MeanSquare(samples, start, std::min(end, start + step))));
  return envelope;
}

// Level in dB = Offset + Slope * sample index.
struct TLine {
  double Offset = 0.0;
  double Slope = 0.0; // dB per sample; negative for a decay
  bool Decays() const { return Slope < 0.0; }
  double At(double index) const { return Offset + Slope * index; }
  // Sample index where the line reaches level (a decaying line only).
  double Reaches(double level) const { return (level - Offset) / Slope; }
};

// Least-squares line through the envelope's intervals [first, end); a flat
// line when fewer than two intervals are given.
TLine FitLine(const TEnvelope& envelope, size_t first, size_t end) {
  if (end < first + 2)
    return {};
  const double count = static_cast<double>(end - first);
  double sumX = 0.0, sumY = 0.0;
  for (size_t i = first; i < end; ++i) {
    sumX += envelope.Center(i);
    sumY += envelope.Db[i];
  }
  const double meanX = sumX / count, meanY = sumY / count;
  double sxy = 0.0, sxx = 0.0;
  for (size_t i = first; i < end; ++i) {
    const double dx = envelope.Center(i) - meanX;
    sxy += dx * (envelope.Db[i] - meanY);
    sxx += dx * dx;
  }
  const double slope = sxy / sxx;
  return {meanY - slope * meanX, slope};
}

// The first interval from start whose level lies below level.
size_t FirstBelow(const TEnvelope& envelope, size_t start, double level) {
  while (start < envelope.Db.size() && envelope.Db[start] >= level)
    ++start;
  return start;
}

// Where the decay meets the noise, the noise's mean square, and the line.
struct TDecay {
  double Crosspoint = 0.0; // sample index
  double NoiseMeanSquare = 0.0;
  TLine Line;
};

class TLundeby {
public:
  TLundeby(const float* samples, int32_t peak, int32_t length, int32_t rate) :
      FSamples(samples), FPeak(peak), FLength(length), FMaxStep(std::max(1, (length - peak) / MinIntervals)),
      FTailStart(length - std::max(1, (length - peak) / 10)) {
    FStep = std::clamp(static_cast<int32_t>(rate * InitialIntervalSeconds), 1, FMaxStep);
  }

  TDecay Run() {
    TDecay decay;
    decay.NoiseMeanSquare = MeanSquare(FSamples, FTailStart, FLength);
    TEnvelope envelope = Envelope(FSamples, FPeak, FLength, FStep);
    const double noiseDb = PowerDb(decay.NoiseMeanSquare);
    decay.Line = FitLine(envelope, 0, FirstBelow(envelope, 0, noiseDb + FirstFitTopDb));
    if (!decay.Line.Decays()) {
      // No decay above the noise: it ends within the first interval.
      const int32_t end = std::min(FLength, FPeak + FStep);
      decay.Crosspoint = end;
      decay.NoiseMeanSquare = MeanSquare(FSamples, std::min(end, FTailStart), FLength);
      return decay;
    }
    decay.Crosspoint = Clamp(decay.Line.Reaches(noiseDb));
    for (int i = 0; i < MaxIterations && Iterate(decay); ++i) {
    }
    return decay;
  }

private:
  // One step of the iteration; false once the crosspoint has settled.
  bool Iterate(TDecay& decay) {
    const double slope = -decay.Line.Slope;
    FStep = static_cast<int32_t>(std::clamp<double>(10.0 / slope / IntervalsPer10Db, 1, FMaxStep));
    const TEnvelope envelope = Envelope(FSamples, FPeak, FLength, FStep);
    const double noiseStart = std::min<double>(decay.Crosspoint + NoiseMarginDb / slope, FTailStart);
    decay.NoiseMeanSquare = MeanSquare(FSamples, static_cast<int32_t>(noiseStart), FLength);
    const double noiseDb = PowerDb(decay.NoiseMeanSquare);
    const size_t first = FirstBelow(envelope, 0, noiseDb + LateFitHighDb);
    const TLine line = FitLine(envelope, first, FirstBelow(envelope, first, noiseDb + LateFitLowDb));
    if (line.Decays())
      decay.Line = line;
    const double crosspoint = Clamp(decay.Line.Reaches(noiseDb));
    const bool moved = std::fabs(crosspoint - decay.Crosspoint) >= FStep;
    decay.Crosspoint = crosspoint;
    return moved;
  }

  double Clamp(double index) const { return std::clamp<double>(index, FPeak, FLength); }

  const float* FSamples;
  int32_t FPeak;
  int32_t FLength;
  int32_t FMaxStep;   // keeps MinIntervals intervals after the peak
  int32_t FTailStart; // the last tenth after the peak: the noise at least
  int32_t FStep = 1;  // samples per envelope interval
};

void AddWarnings(const TDecay& decay, int32_t length, const TAnalysisSetup& setup, double floatPnrDb,
                 TChannelFigures& figures) {
  std::vector<std::string>& warnings = figures.Warnings;
  if (figures.PnrDb < MinPnrDb)
    warnings.push_back(LowPnrWarning);
  if (decay.Line.Decays() && decay.Line.At(length) > PowerDb(decay.NoiseMeanSquare) - TruncatedDb)
    warnings.push_back(TruncatedWarning);
  if (setup.PreSilence == 0 && figures.PeakIndex < setup.SampleRate / 1000)
    warnings.push_back(EarlyPeakWarning);
  if (length >= 10 && figures.PeakIndex >= length - length / 10)
    warnings.push_back(LatePeakWarning);
  if (setup.OutputBits > 0 && floatPnrDb - figures.PnrDb >= WordLengthLossDb)
    warnings.push_back(WordLengthWarning);
}

} // namespace

TDecayEnd LundebyDecayEnd(const float* samples, int32_t peak, int32_t length, int32_t rate) {
  const TDecay decay = TLundeby(samples, peak, length, rate).Run();
  if (!decay.Line.Decays())
    return {decay.Crosspoint, decay.NoiseMeanSquare, 0.0, 0.0};
  return {decay.Crosspoint, decay.NoiseMeanSquare, decay.Line.Slope, decay.Line.Offset};
}

double DitherFloorDbfs(int outputBits) {
  if (outputBits <= 0)
    return SilentDbfs;
  TOutputDither rule(0);
  rule.SetOutputBits(outputBits);
  return Dbfs(std::ldexp(0.5, -(rule.Bits() - 1)));
}

TChannelFigures AnalyzeResponse(const float* response, int32_t length, const TAnalysisSetup& setup) {
  TChannelFigures figures{0.0, SilentDbfs, SilentDbfs, 0.0, 0.0, 0, 0, {}};
  if (length <= 0 || setup.SampleRate <= 0)
    return figures;
  const double msPerSample = 1000.0 / setup.SampleRate;
  figures.PeakIndex = PeakIndex(response, length);
  figures.LatencyMs = (figures.PeakIndex - setup.PreSilence) * msPerSample;
  figures.PeakDbfs = Dbfs(std::fabs(static_cast<double>(response[figures.PeakIndex])));
  TDecay decay = TLundeby(response, figures.PeakIndex, length, setup.SampleRate).Run();
  const double floatPnrDb = figures.PeakDbfs - PowerDb(decay.NoiseMeanSquare);
  const double dither = std::pow(10.0, 0.1 * DitherFloorDbfs(setup.OutputBits));
  figures.NoiseFloorDbfs = PowerDb(decay.NoiseMeanSquare + (setup.OutputBits > 0 ? dither : 0.0));
  if (decay.Line.Decays())
    decay.Crosspoint =
        std::clamp<double>(decay.Line.Reaches(figures.NoiseFloorDbfs), figures.PeakIndex, decay.Crosspoint);
  figures.PnrDb = figures.PeakDbfs - figures.NoiseFloorDbfs;
  figures.DecayEndIndex = static_cast<int32_t>(decay.Crosspoint);
  figures.DecayEndMs = figures.DecayEndIndex * msPerSample;
  AddWarnings(decay, length, setup, floatPnrDb, figures);
  return figures;
}

TRecordingLevel MeasureRecording(const float* samples, int64_t count, int bitsPerSample, bool floatFormat) {
  // The reader scales integer codes by 2^-(bits-1): full scale is the largest code.
  const double fullScale = floatFormat ? 1.0 : 1.0 - std::ldexp(1.0, -(std::clamp(bitsPerSample, 8, 32) - 1));
  TRecordingLevel level;
  double peak = 0.0;
  for (int64_t i = 0; i < count; ++i) {
    const double magnitude = std::fabs(static_cast<double>(samples[i]));
    peak = std::max(peak, magnitude);
    level.ClippedSamples += magnitude >= fullScale;
  }
  level.PeakDbfs = Dbfs(peak);
  return level;
}

std::vector<std::string> FileWarnings(const TFileChecks& checks) {
  std::vector<std::string> warnings;
  if (checks.ToneRate > 0 && checks.ToneRate != checks.RecordingRate)
    warnings.push_back(RateWarning);
  if (checks.OutputLength < std::max(16.0, checks.RecordingRate * ShortOutputSeconds))
    warnings.push_back(ShortOutputWarning);
  return warnings;
}

} // namespace ravelin
