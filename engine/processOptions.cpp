#include "processOptions.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace ravelin {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Skips a run of digits from position i; returns how many there were.
size_t SkipDigits(std::string_view text, size_t& i) {
  const size_t start = i;
  while (i < text.size() && IsDigit(text[i]))
    ++i;
  return i - start;
}

TValidationResult Failure(std::string message, TFocusControl focus) {
  return TValidationResult{false, std::move(message), focus};
}

// Parses an optional single-precision corner frequency.
bool ParseFloat(std::string_view text, float& value) {
  double parsed = 0.0;
  if (!ParseNumber(text, parsed))
    return false;
  value = static_cast<float>(parsed);
  return true;
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
  if (error != std::errc() || end != last)
    return false;
  value = negative ? -parsed : parsed;
  return true;
}

TValidationResult ValidateOptions(const TOptionControls& controls, TProcessOptions& options) {
  if (controls.TestTone.empty())
    return Failure("Please select test tone file first!", TFocusControl::ButtonTT);
  if (controls.FileListEmpty)
    return Failure("Please scan folders first!", TFocusControl::None);

  const int index = controls.BitDepthIndex;
  options.OutBits = index == 0 ? 16 : index == 1 ? 24 : 32;
  options.FloatOutput = index == BitDepthIndexFloat;
  options.IgnoreProcessed = controls.Ignore;
  options.Reversed = controls.Reversed;
  options.ApplyVolume = controls.Volume;
  options.Normalize = !controls.Volume && controls.Normalize;

  if (options.ApplyVolume) {
    double decibels = 0.0;
    if (!ParseNumber(controls.VolumeText, decibels))
      return Failure("Invalid normalize value specified!", TFocusControl::EditVol);
    options.VolumeGain = std::pow(10.0, 0.05 * decibels);
  }

  options.PreSilence = 0.0;
  if (controls.PreSilence) {
    double seconds = 0.0;
    if (!ParseNumber(controls.PreSilenceText, seconds) || seconds < 0.0)
      return Failure("Invalid pre silence value specified!", TFocusControl::EditPreSilence);
    options.PreSilence = seconds;
  }

  options.LowCut = -1.0f;
  if (controls.LowCut) {
    // The single-precision value is compared, so a text of 0.1 passes.
    if (!ParseFloat(controls.LowCutText, options.LowCut) || static_cast<double>(options.LowCut) < 0.1)
      return Failure("Invalid Low Cut value specified!\r\r(should be Hertz cutoff frequency above 0.1)",
                     TFocusControl::EditHPF);
  }

  options.HighCut = -1.0f;
  if (controls.HighCut) {
    if (!ParseFloat(controls.HighCutText, options.HighCut) || !(options.HighCut > options.LowCut))
      return Failure("Invalid High Cut value specified!\r\r(should be Hertz cutoff frequency above Low Cut)",
                     TFocusControl::EditLPF);
  }

  options.MinPhase = controls.MinPhase;
  options.CutSlope = controls.CutSlopeIndex;
  options.NoRename = controls.NoRename;
  options.TestTone = controls.TestTone;
  options.ScanFolder = controls.ScanFolder;
  options.OutFolder = controls.OutFolder;
  return TValidationResult{true, {}, TFocusControl::None};
}

} // namespace ravelin
