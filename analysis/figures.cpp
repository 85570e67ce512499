#include "figures.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ravelin {

namespace {

constexpr double SilentDbfs = -400.0; // the level given to exact zeros

double Dbfs(double amplitude) {
  return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : SilentDbfs;
}

int32_t PeakIndex(const float* samples, int32_t length) {
  int32_t best = 0;
  for (int32_t i = 1; i < length; ++i)
    if (std::fabs(samples[i]) > std::fabs(samples[best]))
      best = i;
  return best;
}

double Rms(const float* samples, int32_t count) {
  if (count <= 0)
    return 0.0;
  double sum = 0.0;
  for (int32_t i = 0; i < count; ++i)
    sum += static_cast<double>(samples[i]) * static_cast<double>(samples[i]);
  return std::sqrt(sum / count);
}

} // namespace

TChannelFigures AnalyzeResponse(const float* response, int32_t length, const TAnalysisSetup& setup) {
  TChannelFigures figures;
  if (length <= 0 || setup.SampleRate <= 0)
    return figures;
  const double msPerSample = 1000.0 / setup.SampleRate;
  const int32_t peak = PeakIndex(response, length);
  figures.LatencyMs = (peak - setup.PreSilence) * msPerSample;
  figures.PeakDbfs = Dbfs(std::fabs(response[peak]));
  // The last tenth after the peak stands for the noise.
  const int32_t tail = std::max<int32_t>(1, (length - peak) / 10);
  figures.NoiseFloorDbfs = Dbfs(Rms(response + length - tail, tail));
  figures.PnrDb = figures.PeakDbfs - figures.NoiseFloorDbfs;
  figures.DecayEndMs = (length - tail) * msPerSample;
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
    warnings.push_back("the recording's sample rate differs from the test tone's");
  return warnings;
}

} // namespace ravelin
