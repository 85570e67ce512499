// The parameters of an exponential sweep read from its samples: the
// instantaneous frequency from the spacing of upward zero crossings, and a
// least-squares line of its logarithm over time.
#pragma once

#include <cstdint>

#include "harmonics.h"

namespace ravelin {

// Below this share of the peak a sample counts as silence before or after the
// sweep.
inline constexpr double SweepActiveShare = 1e-3;
// Crossings closer than this share of the sample rate are left out of the fit:
// near Nyquist their interpolated times are too coarse.
inline constexpr double SweepFitTopShare = 0.1;

// f1 and f2 are the fitted line's frequencies at the first and last sample
// at least SweepActiveShare of the peak, L the time between them. Throws
// TRavelinError when the tone is silent, too short, or its frequency does not
// rise exponentially (the log-frequency residual over 5 %).
TSweepParameters EstimateSweep(const float* tone, int32_t length, int32_t sampleRate);

} // namespace ravelin
