#include "fileList.h"

#include <fstream>
#include <iostream>

#include "argumentList.h"

namespace ravelin {

namespace {

void AppendEntries(std::istream& stream, char separator, std::vector<std::string>& entries) {
  std::string entry;
  while (std::getline(stream, entry, separator))
    if (!entry.empty())
      entries.push_back(entry);
}

} // namespace

void AppendFileList(const std::string& listPath, TListSeparator separator,
                    std::vector<std::string>& entries) {
  const char character = separator == TListSeparator::Nul ? '\0' : '\n';
  if (listPath == "-") {
    AppendEntries(std::cin, character, entries);
    if (std::cin.bad())
      throw TUsageError("cannot read the file list from standard input");
    return;
  }
  std::ifstream stream(listPath, std::ios::binary);
  if (stream.is_open())
    AppendEntries(stream, character, entries);
  if (!stream.is_open() || stream.bad())
    throw TUsageError("cannot read file list '" + listPath + "'");
}

} // namespace ravelin
