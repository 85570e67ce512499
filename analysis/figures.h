// Figures that judge one impulse response: where its peak lies, how loud it
// is, where its decay meets the noise and how far the peak stands above that
// noise, with short warnings a user can act on. Pure functions over sample
// arrays; levels in dB re full scale (a sample of 1.0 is 0 dBFS).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ravelin {

// What is known of a response besides its samples.
struct TAnalysisSetup {
  int32_t SampleRate = 0; // Hz
  int32_t PreSilence = 0; // samples of silence placed ahead of the impulse (S)
  // Word length of the file as written: 16, 24 or 32 for dithered integer
  // output, 0 for float output or an existing file (its noise is measured).
  int OutputBits = 0;
};

// Per channel.
struct TChannelFigures {
  double LatencyMs = 0.0;      // (index of the largest |sample| - PreSilence) / rate
  double PeakDbfs = 0.0;       // largest |sample|
  double NoiseFloorDbfs = 0.0; // RMS of the tail's noise
  double PnrDb = 0.0;          // PeakDbfs - NoiseFloorDbfs
  double DecayEndMs = 0.0;     // where the decay meets the noise (from the peak's index 0)
  std::vector<std::string> Warnings;
};

// The figures of one response channel of length samples.
TChannelFigures AnalyzeResponse(const float* response, int32_t length, const TAnalysisSetup& setup);

// Level of a recording channel; clipped samples are those at the integer
// format's full scale, or |x| >= 1 for float formats.
struct TRecordingLevel {
  double PeakDbfs = 0.0;
  int64_t ClippedSamples = 0;
};
TRecordingLevel MeasureRecording(const float* samples, int64_t count, int bitsPerSample, bool floatFormat);

// Warnings of a whole file, given to every channel's row.
struct TFileChecks {
  int32_t RecordingRate = 0; // Hz
  int32_t ToneRate = 0;      // Hz (0: unknown)
  int32_t OutputLength = 0;  // frames
};
std::vector<std::string> FileWarnings(const TFileChecks& checks);

} // namespace ravelin
