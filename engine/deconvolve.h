// Per-file deconvolution: the sizes of one recording's job and the channel by
// channel division (or correlation) by the test tone in the frequency domain.
#pragma once

#include <cstdint>
#include <vector>

#include "fft.h"
#include "figures.h"
#include "harmonicsStage.h"
#include "processOptions.h"
#include "workspace.h"

namespace ravelin {

class TWAVReader;

// The sizes of one file's deconvolution, all in sample frames.
struct TDeconvolutionSizes {
  int32_t PreSilence = 0;   // S: zeros placed ahead of the recording
  int32_t Padding = 0;      // P = 2 S
  int32_t OutputLength = 0; // L = R + P - T + 1
  int32_t Stride = 0;       // floats per recording channel: max(R, L)
  int Order = 0;            // N = 2^Order >= 2 (R + P)
};

// Sizes for a recording of recordFrames frames. Throws TRavelinError for a
// recording shorter than the test tone, and for sizes that do not fit the
// 32-bit counts or the largest transform.
TDeconvolutionSizes ComputeSizes(int64_t recordFrames, int32_t testToneLength, double preSilence,
                                 int32_t sampleRate);

// Reverses a range of doubles in place: first with last, the second with the
// last but one, and so on, for pairCount pairs.
void ReverseDoubles(double* first, double* last, int32_t pairCount);

struct TDeconvolutionResult {
  float Peak = 1e-15f;                    // largest |sample| over all channels (with Normalize)
  int32_t Length = 0;                     // L, frames per channel
  int32_t PreSilence = 0;                 // S, frames
  std::vector<TRecordingLevel> Recording; // level of each recording channel as read
  // Per channel with options.Harmonics, neither Reversed nor MinPhase (the
  // levels assume the plain division); else empty.
  std::vector<TChannelHarmonics> Harmonics;
};

// Reads the open recording into the workspace and replaces every channel by
// its impulse response (Length single-precision samples at the start of each
// recording channel). Peak is tracked only when options.Normalize is set and
// is 1e-15 otherwise. Recording channel c is deconvolved by test tone channel
// workspace.ToneChannelFor[c]. The harmonics are taken from each channel's
// full deconvolution, before the cut filter. The output stage checks that the samples are
// finite.
TDeconvolutionResult DeconvolveRecording(TWAVReader& reader, const TProcessOptions& options,
                                         TProcessWorkspace& workspace);

} // namespace ravelin
