#include "paths.h"

namespace ravelin {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string WithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/')
    folder += '/';
  return folder;
}

} // namespace ravelin
