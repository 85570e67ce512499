// One recording of a run: deconvolution, output stage and the per-file
// error question.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "frontEnd.h"
#include "processOptions.h"
#include "workspace.h"

namespace ravelin {

// The message text of an error caught at the top of a user action.
std::string DescribeError(const std::exception& error);

// What one file of a run has of its own besides the shared options, and how
// a run of several files at once paces it.
struct TFileRun {
  TOutputDither* Dither = nullptr; // integer output: the file's generator (none: no dither)
  std::function<bool()> MayStart;  // asked first; false: the file gives up (empty: it starts)
  // Asked after the work, before anything is written; returns when it is the
  // file's turn to write, false when it is to give up instead (empty: at once).
  std::function<bool()> AwaitWriteTurn;
};

// Processes one recording into outputPath (the test tone must be loaded)
// without the front end: the file's result, Failed with the error's message
// for every error of the file, or nothing when it gave up at one of run's
// two points. Of the options it changes only options.Written, which guards
// itself, so files may run at once.
std::optional<TFileResult> ProcessRecording(const std::string& recordingPath, const std::string& outputPath,
                                            TProcessOptions& options, TProcessWorkspace& workspace,
                                            const TFileRun& run);

// Hands a file's result to the front end: FileDone and, for a failure, the
// Yes/No question; Yes adds the path to options.Retained. False when a
// failure was answered "No".
bool ReportFile(const TFileResult& result, TProcessOptions& options, TBatchFrontEnd& frontEnd);

// Processes one recording with options.Dither and reports it. Returns true
// to go on with the next file: done, skipped as already processed, or failed
// and answered "Yes"; false when a failure was answered "No".
bool ProcessFile(const std::string& recordingPath, const std::string& outputPath, TProcessOptions& options,
                 TProcessWorkspace& workspace, TBatchFrontEnd& frontEnd);

// What a recording will take, from its header alone.
struct TFilePlan {
  // Random numbers the file reserves in the dither's sequence: 2 per sample
  // of every output channel at its full length (a trimmed output uses
  // fewer). 0 for float output, for a file skipped as already processed and
  // for one whose header cannot be read or sized.
  uint64_t DitherCount = 0;
  uint64_t SpectrumBytes = 0; // the two spectrum buffers of the transform
  uint64_t RecordBytes = 0;   // channels x stride floats
};
TFilePlan PlanFile(const std::string& recordingPath, const TProcessOptions& options, int32_t testToneLength);

// The files a recording's processing reads or may write: the recording, its
// output target and, with the harmonic files, each order's file.
std::vector<std::string> FilePaths(const std::string& recordingPath, const std::string& outputPath,
                                   const TProcessOptions& options);

} // namespace ravelin
