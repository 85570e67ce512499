#include "scan.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <system_error>

namespace ravelin {

namespace fs = std::filesystem;

namespace {

constexpr std::array<std::string_view, 3> Patterns = {"*.wav", "*.aif", "*.aiff"};

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), LowerAscii);
  return text;
}

bool IsRecordingName(const std::string& name) {
  const std::string lowered = Lowered(name);
  return std::any_of(Patterns.begin(), Patterns.end(),
                     [&](std::string_view pattern) { return MatchesPattern(lowered, pattern); });
}

bool ScanFailed(TScanObserver& observer) {
  observer.ShowError("Error locating files!");
  return false;
}

} // namespace

bool MatchesPattern(std::string_view name, std::string_view pattern) {
  size_t n = 0;
  size_t p = 0;
  size_t starPattern = std::string_view::npos; // position after the last '*'
  size_t starName = 0;                         // name position that '*' matched up to
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starPattern = ++p;
      starName = n;
    } else if (starPattern != std::string_view::npos) {
      p = starPattern; // let the last '*' take one more character
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*')
    ++p;
  return p == pattern.size();
}

bool ScanFolder(const std::string& folder, std::vector<std::string>& list, TScanObserver& observer,
                bool recurse) {
  observer.FolderEntered(folder);
  std::error_code error;
  fs::directory_iterator entry(folder, error);
  if (error)
    return ScanFailed(observer);
  for (; entry != fs::directory_iterator(); entry.increment(error)) {
    if (error)
      return ScanFailed(observer);
    if (observer.CancelRequested())
      return false;
    const std::string name = entry->path().filename().string();
    std::error_code statusError;
    if (!entry->is_directory(statusError)) {
      if (IsRecordingName(name))
        list.push_back(folder + name);
    } else if (recurse && !entry->is_symlink(statusError)) {
      // Links to folders are not followed, so a link cycle cannot trap the scan.
      if (!ScanFolder(folder + name + "/", list, observer, true))
        return false;
      observer.FolderEntered(folder);
    }
  }
  return error ? ScanFailed(observer) : true;
}

void SortFileList(std::vector<std::string>& list) {
  std::stable_sort(list.begin(), list.end(), [](const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return LowerAscii(x) < LowerAscii(y); });
  });
}

} // namespace ravelin
