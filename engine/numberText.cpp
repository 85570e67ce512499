#include "numberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>

namespace ravelin {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Skips a run of digits from position i; returns how many there were.
size_t SkipDigits(std::string_view text, size_t& i) {
  const size_t start = i;
  while (i < text.size() && IsDigit(text[i]))
    ++i;
  return i - start;
}

// Decimal place of the leading nonzero digit of a mantissa ("1.5" 0, "120" 2,
// "0.003" -3) plus the exponent's digits (saturated far beyond any double), so
// a negative result means a magnitude below 1. The mantissa is not all zeros.
int64_t DecimalPlace(std::string_view mantissa, std::string_view exponent) {
  const size_t point = std::min(mantissa.find('.'), mantissa.size());
  const size_t lead = mantissa.find_first_not_of("0.");
  auto place = lead < point ? static_cast<int64_t>(point - lead) - 1 : -static_cast<int64_t>(lead - point);
  const bool negative = exponent.starts_with('-');
  int64_t e = 0;
  for (const char c : exponent)
    if (IsDigit(c))
      e = std::min<int64_t>(e * 10 + (c - '0'), int64_t{1} << 40);
  return place + (negative ? -e : e);
}

} // namespace

bool ParseNumber(std::string_view text, double& value) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    negative = text[i++] == '-';
  const size_t numberStart = i;
  size_t digits = SkipDigits(text, i);
  if (i < text.size() && text[i] == '.') {
    ++i;
    digits += SkipDigits(text, i);
  }
  if (digits == 0)
    return false;
  const size_t mantissaEnd = i;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
      ++i;
    if (SkipDigits(text, i) == 0)
      return false;
  }
  if (i != text.size())
    return false;
  // from_chars reads the C locale's format whatever the current locale.
  double parsed = 0.0;
  const char* first = text.data() + numberStart;
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(first, last, parsed);
  if (error == std::errc::result_out_of_range && end == last) {
    // Below the smallest double it is zero; beyond the largest, an error.
    const std::string_view mantissa = text.substr(numberStart, mantissaEnd - numberStart);
    if (DecimalPlace(mantissa, text.substr(std::min(mantissaEnd + 1, text.size()))) >= 0)
      return false;
    parsed = 0.0;
  } else if (error != std::errc() || end != last) {
    return false;
  }
  value = negative ? -parsed : parsed;
  return true;
}

bool ParseSingle(std::string_view text, float& value) {
  double parsed = 0.0;
  if (!ParseNumber(text, parsed) ||
      !(std::fabs(parsed) <= static_cast<double>(std::numeric_limits<float>::max())))
    return false;
  value = static_cast<float>(parsed);
  return true;
}

bool ParseInteger(std::string_view text, int& value) {
  // from_chars takes a '-' but not a '+'.
  const bool plus = text.starts_with('+');
  if (plus)
    text.remove_prefix(1);
  if (plus && text.starts_with('-'))
    return false;
  int parsed = 0;
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, parsed);
  if (text.empty() || error != std::errc() || end != last)
    return false;
  value = parsed;
  return true;
}

} // namespace ravelin
