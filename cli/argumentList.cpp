#include "argumentList.h"

#include "numberText.h"

namespace ravelin {

TArgumentList::TArgumentList(std::vector<std::string> arguments) : FArguments(std::move(arguments)) {}

std::string TArgumentList::Next() {
  std::string argument = FArguments.at(FIndex++);
  FHasInlineValue = false;
  const size_t equals = argument.find('=');
  if (argument.starts_with("--") && equals != std::string::npos) {
    FInlineValue = argument.substr(equals + 1);
    FHasInlineValue = true;
    argument.resize(equals);
  }
  return argument;
}

std::string TArgumentList::Value(const std::string& option) {
  if (FHasInlineValue) {
    FHasInlineValue = false;
    return FInlineValue;
  }
  if (AtEnd())
    throw TUsageError("option " + option + " needs a value");
  return FArguments[FIndex++];
}

void TArgumentList::NoValue(const std::string& option) const {
  if (FHasInlineValue)
    throw TUsageError("option " + option + " takes no value");
}

int ParseIntegerOption(const std::string& option, const std::string& text, int low, int high) {
  int value = 0;
  if (!ParseInteger(text, value) || value < low || value > high)
    throw TUsageError("invalid value '" + text + "' for " + option);
  return value;
}

} // namespace ravelin
