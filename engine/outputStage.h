// The output stage of one file: the output path, gain or normalisation,
// dither, writing with the recording's metadata, and the optional replacement
// of the recording by its impulse response.
#pragma once

#include <string>

#include "processOptions.h"
#include "workspace.h"

namespace ravelin {

class TWAVReader;

// The folder part of a path, up to and including the last '/' (may be empty).
std::string FolderOf(const std::string& path);
// The file name part of a path, after the last '/'.
std::string FileNameOf(const std::string& path);

// OutFolder + the recording's folder with the first ScanFolder.size()
// characters removed + its name with the extension replaced by "_rv.wav".
// Creates the missing folders; throws "Unable to create output folder!".
std::string MakeOutputName(const std::string& recordingPath, const TProcessOptions& options);

// Writes the workspace's RecordChannels results of length frames each to
// outputPath (gain, dither, the recording's metadata with the product marker),
// closes the reader and, with NoRename, replaces the file of the recording's
// name in the output folder in one step. Returns the path of the file written.
std::string WriteOutput(TWAVReader& reader, float peak, int32_t length,
                        const std::string& outputPath, const TProcessOptions& options,
                        TProcessWorkspace& workspace);

} // namespace ravelin
