// The output stage of one file: the output path, the file it finally goes to
// and whether writing it would lose a file, gain or normalisation, dither, and
// writing with the recording's metadata (optionally under the recording's name).
#pragma once

#include <string>

#include "processOptions.h"
#include "workspace.h"

namespace ravelin {

class TWAVReader;

// The maker's marker ("QRVT" INFO text) of every file this program writes.
inline constexpr const char* ProductName = "Ravelin";

// OutFolder + the recording's folder with the first ScanFolder.size()
// characters removed + its name with the extension replaced by "_rv.wav".
// Creates the missing folders; throws "Unable to create output folder!".
std::string MakeOutputName(const std::string& recordingPath, const TProcessOptions& options);

// The file the output finally takes: outputPath, or with NoRename the
// recording's own path when the output's folder is the recording's, else the
// recording's file name in the output's folder.
std::string OutputTarget(const std::string& recordingPath, const std::string& outputPath,
                         const TProcessOptions& options);

// Throws TRavelinError when writing target would lose a file: another
// recording of this run has already written it (the same recording again
// may replace its own output), or a file that does not carry
// the product marker is there (the recording itself, replaced with NoRename on
// request, excepted). Earlier outputs carrying the marker may be replaced.
void CheckTarget(const std::string& target, const std::string& recordingPath, const TProcessOptions& options);

// The gain of the output: the fixed gain and/or the normalisation to 0.966 of
// full scale by the common peak (1 with neither).
float OutputGain(float peak, const TProcessOptions& options);

// Records target as written for recordingPath in options.Written.
void RecordWritten(const std::string& target, const std::string& recordingPath, TProcessOptions& options);

// Applies the fixed gain or the normalisation by the common peak to the
// workspace's RecordChannels results of length frames each, and checks that
// every sample is finite (TRavelinError otherwise).
void ApplyOutputGain(float peak, int32_t length, const TProcessOptions& options,
                     TProcessWorkspace& workspace);

// Integer output: quantises the workspace's RecordChannels results of length
// frames each in place with dither's generator (nothing for float output or
// without a dither).
void DitherOutput(int32_t length, TOutputDither* dither, const TProcessOptions& options,
                  TProcessWorkspace& workspace);

// Writes the results (dithered already for integer output) to target with the
// recording's metadata and the product marker, closing the reader first. The
// file appears under its name only when complete; target is then recorded in
// options.Written.
void WriteOutput(TWAVReader& reader, int32_t length, const std::string& target, TProcessOptions& options,
                 TProcessWorkspace& workspace);

} // namespace ravelin
