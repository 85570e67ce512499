// Which test tone channel deconvolves each recording channel. A measurement
// rig often plays the sweep on one output and silence on the other; dividing
// by the silent channel (exact zeros, or dither noise far below the sweep)
// gives an error or pure noise, so channels without the sweep are replaced by
// the first channel that carries it.
#pragma once

#include <cstdint>
#include <string>

#include "workspace.h"

namespace ravelin {

// A channel carries the sweep when its energy is not zero and at most this
// far below the loudest channel's (60 dB).
inline constexpr double SweepEnergyFloor = 1e-6;

// Sets workspace.ToneChannelFor for the loaded test tone. toneChannel 0 maps
// recording channel c to test tone channel min(c, Ct - 1), replaced by the
// first channel carrying the sweep when it carries none; toneChannel n >= 1
// uses channel n (1-based) for every recording channel. Returns a notice for
// the user when a channel without the sweep is replaced (else empty). Throws
// TRavelinError for a channel the tone does not have or that carries no sweep.
// A tone with no sweep at all keeps the plain mapping (its division fails).
std::string MapToneChannels(TProcessWorkspace& workspace, int toneChannel);

} // namespace ravelin
