// One recording of a run: deconvolution, output stage and the per-file
// error question.
#pragma once

#include <exception>
#include <string>

#include "frontEnd.h"
#include "processOptions.h"
#include "workspace.h"

namespace ravelin {

// The message text of an error caught at the top of a user action.
std::string DescribeError(const std::exception& error);

// Processes one recording into outputPath (the test tone must be loaded).
// Returns true to go on with the next file: done, skipped as already
// processed, or failed and answered "Yes" (the path is then added to
// options.Retained); false when a failure was answered "No". Every error of
// the file becomes the front end's Yes/No question.
bool ProcessFile(const std::string& recordingPath, const std::string& outputPath, TProcessOptions& options,
                 TProcessWorkspace& workspace, TBatchFrontEnd& frontEnd);

} // namespace ravelin
