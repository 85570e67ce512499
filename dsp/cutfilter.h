// Low-cut / high-cut filtering of one deconvolved channel: a long minimum-phase
// FIR kernel designed in the frequency domain, applied with the partitioned
// FFT convolver, with the convolver's delay removed so that the filtered
// samples land in the same places.
#pragma once

#include <cstdint>

namespace ravelin {

// Item index of the cut slope list: 0 .. 7 = -12 .. -96 dB/o, 8 = "Max".
constexpr int CutSlopeMax = 8;

// Filters samples[0 .. count-1] in place; nothing else of the array is touched.
// A corner that is not positive means that filter is off.
void ApplyCutFilters(double* samples, int32_t count, int32_t sampleRate,
                     double lowCut, double highCut, int slopeIndex);

} // namespace ravelin
