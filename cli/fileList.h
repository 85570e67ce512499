// Recording paths read from a list (deconvolve --files-from): one path per
// line, or NUL-separated as `find -print0` writes them; "-" reads standard
// input. Each entry counts as an INPUT argument; empty entries are skipped.
#pragma once

#include <string>
#include <vector>

namespace ravelin {

enum class TListSeparator { Newline, Nul };

// Appends the entries of the list at listPath to entries; throws TUsageError
// when the list cannot be opened or read.
void AppendFileList(const std::string& listPath, TListSeparator separator, std::vector<std::string>& entries);

} // namespace ravelin
