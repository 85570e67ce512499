// Numbers typed by the user or stored as text: plain decimals for the option
// and generator fields, whole decimal integers for settings and command-line
// values. No locale is involved.
#pragma once

#include <string_view>

namespace ravelin {

// Plain decimal number: leading blanks, optional sign, digits, '.' as the
// decimal separator whatever the locale, optional exponent. Empty text or any
// other character (trailing blanks included) fails, and so does a value
// beyond the range of a double; one too small for a double reads as zero of
// its sign.
bool ParseNumber(std::string_view text, double& value);

// ParseNumber for a single-precision field: a value beyond single precision's
// range fails too (it would become infinite); the result is rounded to single.
bool ParseSingle(std::string_view text, float& value);

// Whole decimal integer: optional sign, digits, nothing else (no blanks), within
// the range of int.
bool ParseInteger(std::string_view text, int& value);

} // namespace ravelin
