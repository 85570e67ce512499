// The one exception class of the system: every failure carries its message text.
#pragma once

#include <stdexcept>
#include <string>

namespace ravelin {

class TRavelinError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

} // namespace ravelin
