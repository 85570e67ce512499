// The batch driver: one processing run over a list of recordings.
#pragma once

#include <string>
#include <vector>

#include "frontEnd.h"
#include "processOptions.h"
#include "workspace.h"

namespace ravelin {

// Reads options.TestTone into the workspace. On failure shows
// "Error occured while trying to load test tone file\r\r" + the error message
// through the front end and returns false. Maps the test tone's channels to
// the recording channels (options.ToneChannel); a channel without the sweep
// that is replaced is reported once through ShowNotice. With options.Harmonics
// the sweep's parameters are estimated from the tone (a tone that is not an
// exponential sweep then fails to load).
bool LoadTestTone(TProcessWorkspace& workspace, const TProcessOptions& options, TBatchFrontEnd& frontEnd);

// Processes files (the test tone must be loaded) and returns the new file
// list: the failed files answered "Yes", then every file from the one at
// which the run stopped to the end. "Unable to create output folder!" escapes
// as TRavelinError; the caller then keeps its list unchanged. The front end's
// RunStarted/RunEnded bracket the run on every path.
// With options.Jobs 1, or a single file, the files go one after the other in
// the caller's workspace and cancel is looked at before each file (after
// ShowProgress); with more, RunParallelBatch runs them (its memory budget from
// AvailableMemory). The run keeps at most options.Jobs threads busy: the
// transforms of a file share their work only with the threads the other
// files going leave idle, and with options.Jobs 1 everything runs on the
// caller's thread.
// Integer output: each file reserves PlanFile's DitherCount numbers of the
// generator's sequence in list order and dithers from the reservation's
// start; the generator then stands at the reservation's end, however many the
// file used (none when it failed, fewer when trimmed). So one seed gives the
// same output files whatever the number of jobs.
std::vector<std::string> RunBatch(const std::vector<std::string>& files, TProcessOptions& options,
                                  TProcessWorkspace& workspace, TBatchFrontEnd& frontEnd,
                                  const TCancelToken& cancel);

} // namespace ravelin
