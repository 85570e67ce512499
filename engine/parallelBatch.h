// The batch driver for several files at the same time: each file goes on a
// thread with a workspace of its own, and the front end hears of the files in
// list order from the calling thread, as from a run one file at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frontEnd.h"
#include "processOptions.h"
#include "workspace.h"

namespace ravelin {

// Bytes of memory a run may give to the workspaces of its files: three
// quarters of the memory the system reports available (MemAvailable of
// /proc/meminfo, else the free physical pages), leaving room for what the
// estimate leaves out; 0 when neither can be read (then one file at a time).
uint64_t AvailableMemory();

// RunBatch's work for options.Jobs > 1, inside the run's RunStarted/RunEnded,
// with the dither prepared and options.Retained cleared. What the front end
// hears, what is written and the list returned are those of RunBatch one file
// at a time; only the work of the files overlaps.
//
// Files start in list order on up to jobs threads, each thread with a
// workspace that holds a copy of workspace's test tone. A file waits to start
// while the workspaces of the files going and its own would exceed
// memoryBudget by PlanFile's estimate (a file always starts when none is
// going), and while an earlier file still going shares one of its FilePaths.
// The threads never call the front end: this thread calls ShowProgress,
// FileDone and the Yes/No question for each file in list order. A file does
// its work at once but writes its outputs only in its turn: after the
// earlier files have been reported and its own ShowProgress has found no
// cancel. A failure answered "No", or cancel found after a ShowProgress,
// stops the run: no file starts any more, and the files going give up before
// they write anything.
std::vector<std::string> RunParallelBatch(const std::vector<std::string>& files, TProcessOptions& options,
                                          const TProcessWorkspace& workspace, TBatchFrontEnd& frontEnd,
                                          const TCancelToken& cancel, int jobs, uint64_t memoryBudget);

} // namespace ravelin
