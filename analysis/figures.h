// Figures that judge one impulse response: where its peak lies, how loud it
// is, where its decay meets the noise and how far the peak stands above that
// noise, with short warnings a user can act on. Pure functions over sample
// arrays; levels in dB re full scale (a sample of 1.0 is 0 dBFS).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ravelin {

// The level given to exact silence (a zero peak or a zero noise), so that no
// figure is ever infinite or NaN.
inline constexpr double SilentDbfs = -400.0;

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
  double LatencyMs = 0.0; // (index of the largest |sample| - PreSilence) / rate
  double PeakDbfs = 0.0;  // largest |sample|
  // RMS of the tail's noise; for integer output the dither's noise of the
  // word length is added (power sum), as the file will hold it.
  double NoiseFloorDbfs = 0.0;
  double PnrDb = 0.0;        // PeakDbfs - NoiseFloorDbfs
  double DecayEndMs = 0.0;   // where the decay meets the noise, from the file's first sample
  int32_t PeakIndex = 0;     // sample of the largest |sample|
  int32_t DecayEndIndex = 0; // sample where the decay meets the noise
  std::vector<std::string> Warnings;
};

// The figures of one response channel of length samples. The noise floor and
// the decay end follow Lundeby et al. (1995): the squared response is averaged
// over intervals into an energy envelope in dB, the noise is estimated from
// the tail, a line is fitted to the decay above the noise, the crosspoint of
// line and noise moves the noise estimate, and this is iterated.
TChannelFigures AnalyzeResponse(const float* response, int32_t length, const TAnalysisSetup& setup);

// RMS level in dBFS of the noise a dithered integer output of outputBits
// adds (TPDF dither of +-1 LSB: LSB / 2); SilentDbfs for 0 (float output).
double DitherFloorDbfs(int outputBits);

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

// Warning texts, for the callers that add them and for tests.
inline constexpr char ClippedWarning[] = "recording clipped";
inline constexpr char LowPnrWarning[] = "peak-to-noise below 40 dB";
inline constexpr char TruncatedWarning[] = "response possibly truncated: record longer after the sweep";
inline constexpr char EarlyPeakWarning[] = "peak within the first ms: add pre-silence";
inline constexpr char LatePeakWarning[] =
    "peak in the last 10 % of the output: add pre-silence or record longer";
inline constexpr char RateWarning[] = "the recording's sample rate differs from the test tone's";
inline constexpr char ShortOutputWarning[] =
    "output only a few samples long: the test tone is longer than the sweep in the recording";
inline constexpr char WordLengthWarning[] =
    "the output's word length limits the peak-to-noise ratio: use float, 24-bit or normalise";

} // namespace ravelin
