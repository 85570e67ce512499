// Harmonic distortion of each channel's full deconvolution (before it is cut
// to the output's length): the THD at the report's frequencies, the curves,
// the overlap warning and, on request, each order's response as its own file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "harmonics.h"
#include "processOptions.h"

namespace ravelin {

class TWAVReader;

// Excitation frequencies of the report's THD columns.
inline constexpr std::array<double, 3> ReportHarmonicHz{100.0, 1000.0, 10000.0};

struct TChannelHarmonics {
  std::array<std::optional<double>, 3> ThdPct; // at ReportHarmonicHz; none outside the sweep
  THarmonicCurves Curves;                      // over HarmonicFrequencies, with the warnings
  // With options.HarmonicFiles: Orders[k - 2] is order k's window, its time
  // zero at the pre-silence (as the linear response's in the output).
  std::vector<std::vector<float>> Orders;
};

// Orders 2 .. options.Harmonics of the circular full response (size samples,
// the linear response's time zero at zeroIndex), levels averaged over
// 1/options.HarmonicSmoothing octave.
TChannelHarmonics ChannelHarmonics(const double* full, int32_t size, int32_t zeroIndex, int32_t sampleRate,
                                   const TSweepParameters& sweep, const TProcessOptions& options);

// The file of order k beside the output target: its base name + "_h<k>.wav".
std::string HarmonicFilePath(const std::string& target, int order);

// CheckTarget for every order's file.
void CheckHarmonicTargets(const std::string& target, const std::string& recordingPath,
                          const TProcessOptions& options);

// Writes order k of every channel to HarmonicFilePath(target, k) as 32-bit
// float scaled by gain, with source's metadata and the product marker (source
// must carry it and stay open), and records each file in options.Written.
void WriteHarmonicFiles(const std::vector<TChannelHarmonics>& channels, float gain, const std::string& target,
                        const TWAVReader& source, TProcessOptions& options);

} // namespace ravelin
