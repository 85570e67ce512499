#include "trim.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ravelin {

TTrimRange TrimRange(const std::vector<TChannelFigures>& channels, int32_t length, int32_t sampleRate,
                     int32_t preSilence, double marginMs) {
  if (channels.empty() || length <= 0)
    return {0, std::max(length, 0), 0};
  const double margin = std::clamp(marginMs * sampleRate / 1000.0, 0.0, static_cast<double>(length));
  const auto margins = static_cast<int32_t>(std::ceil(margin));
  int32_t peak = length, decayEnd = 0;
  for (const TChannelFigures& channel : channels) {
    peak = std::min(peak, channel.PeakIndex);
    decayEnd = std::max(decayEnd, channel.DecayEndIndex);
  }
  const int32_t first = std::max(0, peak - std::max(margins, preSilence));
  const int32_t end = static_cast<int32_t>(std::min<int64_t>(length, int64_t{decayEnd} + margins + 1));
  const int32_t count = std::max(1, end - first);
  return {first, count, std::clamp(end - 1 - decayEnd, 0, count)};
}

void ApplyTrim(float* samples, const TTrimRange& range) {
  std::copy(samples + range.First, samples + range.First + range.Count, samples);
  float* fade = samples + range.Count - range.Fade;
  for (int32_t j = 0; j < range.Fade; ++j) {
    const double x = std::numbers::pi * (j + 1) / (range.Fade + 1);
    fade[j] = static_cast<float>(static_cast<double>(fade[j]) * 0.5 * (1.0 + std::cos(x)));
  }
}

void TrimFigures(TChannelFigures& figures, const TTrimRange& range, int32_t sampleRate) {
  figures.PeakIndex -= range.First;
  figures.DecayEndIndex -= range.First;
  figures.DecayEndMs = figures.DecayEndIndex * 1000.0 / sampleRate;
}

} // namespace ravelin
