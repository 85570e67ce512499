#include "progressText.h"

#include <cstdio>

namespace ravelin {

namespace {

constexpr int BarWidth = 30;

std::string Bar(int done, int total) {
  const int filled = total > 0 ? done * BarWidth / total : BarWidth;
  std::string bar(static_cast<size_t>(BarWidth) + 2, '.');
  bar.front() = '[';
  bar.back() = ']';
  bar.replace(1, static_cast<size_t>(filled), static_cast<size_t>(filled), '#');
  return bar;
}

} // namespace

std::string DurationText(double seconds) {
  const long whole = seconds > 0 ? static_cast<long>(seconds) : 0;
  char text[32];
  if (whole >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
  else
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

std::string ProgressLineText(int done, int total, double elapsedSeconds) {
  std::string line = Bar(done, total) + " " + std::to_string(done) + "/" + std::to_string(total) + "  " +
                     DurationText(elapsedSeconds) + " elapsed";
  if (done > 0 && done < total)
    line += ", " + DurationText(elapsedSeconds / done * (total - done)) + " left";
  return line;
}

} // namespace ravelin
