// A walk over the command line's arguments: flags, options with a value
// ("--name VALUE" or "--name=VALUE") and positional arguments.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace ravelin {

// A usage error: wrong option, missing or malformed value (exit status 2).
class TUsageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class TArgumentList {
public:
  explicit TArgumentList(std::vector<std::string> arguments);

  bool AtEnd() const { return FIndex >= FArguments.size(); }
  // Takes the next argument; an option's inline "=VALUE" is kept for Value().
  std::string Next();
  // The value of the option just taken; throws TUsageError when it has none.
  std::string Value(const std::string& option);
  // Throws TUsageError when the option just taken carried an "=VALUE".
  void NoValue(const std::string& option) const;

private:
  std::vector<std::string> FArguments;
  size_t FIndex = 0;
  std::string FInlineValue; // after '=' in the argument just taken
  bool FHasInlineValue = false;
};

// Parses a whole decimal integer (ParseInteger) within [low, high]; throws
// TUsageError naming the option otherwise.
int ParseIntegerOption(const std::string& option, const std::string& text, int low, int high);

} // namespace ravelin
