// Folder scan for recordings: the patterns "*.wav", "*.aif", "*.aiff" matched
// against the lower-cased file name, depth first, optionally recursive.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ravelin {

// What the scan needs from its front end (the scan dialog, the command line).
class TScanObserver {
public:
  virtual ~TScanObserver() = default;
  // The folder being read (shown in the dialog's label).
  virtual void FolderEntered(const std::string& folder) = 0;
  // Called before every directory entry: handle pending events, then report
  // whether Cancel was pressed.
  virtual bool CancelRequested() = 0;
  // "Error locating files!" with caption "Error" and the error icon.
  virtual void ShowError(const std::string& text) = 0;
};

// '*' matches any run (also none), '?' exactly one character, every other
// character itself; the whole name must match.
bool MatchesPattern(std::string_view name, std::string_view pattern);

// Appends folder + name of every matching file to list (folder ends with '/').
// True when the folder (and, with recurse, its subfolders) was read to the end;
// false on cancel or error (the error has been shown through the observer).
bool ScanFolder(const std::string& folder, std::vector<std::string>& list, TScanObserver& observer,
                bool recurse);

// Case-insensitive text order, as the file list shows it after a scan.
void SortFileList(std::vector<std::string>& list);

} // namespace ravelin
