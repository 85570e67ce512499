// Sweep synthesis: writes an exponential sine sweep from 32 Hz to half the
// sample rate, peak 0.98, optional raised-cosine fades, as a WAV file. Samples
// are produced and written in blocks of 4096 frames (constant memory).
#pragma once

#include <cstdint>
#include <string>

namespace ravelin {

struct TSweepSettings {
  int32_t SampleRate = 44100; // Hz
  int32_t BitDepth = 24;      // 16, 24 or 32
  double Duration = 3.0;      // seconds
  int32_t ChannelCount = 1;   // 1 or 2
  bool Fades = false;         // 1.25 % raised-cosine fade at each end
  bool FloatOutput = false;   // 32-bit IEEE float instead of dithered integers
  bool LeftOn = true;         // the sweep on the left (or only) channel
  bool RightOn = false;       // the sweep on the right channel
};

// Creates or replaces fileName. Writer errors ("010 - File create error",
// "011 - File write error") propagate as TRavelinError.
void GenerateSweep(const std::string& fileName, const TSweepSettings& settings);

} // namespace ravelin
