// Path text helpers shared by the engine and its front ends. Paths use '/'.
#pragma once

#include <string>

namespace ravelin {

// The folder part of a path, up to and including the last '/' (may be empty).
std::string FolderOf(const std::string& path);
// The file name part of a path, after the last '/'.
std::string FileNameOf(const std::string& path);
// folder with a trailing '/' added when it is not empty and lacks one.
std::string WithSlash(std::string folder);

} // namespace ravelin
