// Texts of the live progress line on a terminal.
#pragma once

#include <string>

namespace ravelin {

// "m:ss", or "h:mm:ss" from an hour on; seconds are truncated.
std::string DurationText(double seconds);

// "[####......] done/total  m:ss elapsed, m:ss left": the estimate of the rest
// assumes the files still to come take as long as the done ones on average,
// and is left out until a file is done.
std::string ProgressLineText(int done, int total, double elapsedSeconds);

} // namespace ravelin
