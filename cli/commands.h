// The subcommands of ravelin-cli. Each returns the process exit status:
// 0 every file processed or skipped, 1 a file failed, 2 usage or validation.
#pragma once

#include "argumentList.h"

namespace ravelin {

int RunDeconvolveCommand(TArgumentList& arguments);
int RunAnalyzeCommand(TArgumentList& arguments);
int RunSweepCommand(TArgumentList& arguments);
void PrintHelp();

} // namespace ravelin
