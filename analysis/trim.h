// Trimming of an output to the part that carries the response: from a margin
// before the peak to a margin after the decay end, faded out over the end
// margin with half a Hann window.
#pragma once

#include <cstdint>
#include <vector>

#include "figures.h"

namespace ravelin {

// The kept samples [First, First + Count) of an output; the last Fade of them
// are faded out.
struct TTrimRange {
  int32_t First = 0;
  int32_t Count = 0;
  int32_t Fade = 0;
};

// The range common to all channels of an output of length samples: from
// marginMs before the earliest peak (at least preSilence samples before it,
// so that the silence asked for is kept) to marginMs after the latest decay end.
TTrimRange TrimRange(const std::vector<TChannelFigures>& channels, int32_t length, int32_t sampleRate,
                     int32_t preSilence, double marginMs);

// Moves the range to the start of samples and fades its end out.
void ApplyTrim(float* samples, const TTrimRange& range);

// The figures of the trimmed output: peak and decay end count from its start
// (the latency, a property of the measurement, stays).
void TrimFigures(TChannelFigures& figures, const TTrimRange& range, int32_t sampleRate);

} // namespace ravelin
