// Fuzz target for the option validation: check states, list indexes and the
// four number texts come from the input. Validation never crashes; it either
// succeeds with usable values or fails with the exact message of one field
// and focuses that field's control. Anything else aborts.
#include "processOptions.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

namespace {

using namespace ravelin;

void Require(bool condition) {
  if (!condition)
    std::abort();
}

// Splits the next text off the input at a newline (the rest when there is none).
std::string NextText(std::string_view& rest) {
  const std::size_t end = rest.find('\n');
  const std::string text(rest.substr(0, end));
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  return text;
}

TOptionControls Controls(const uint8_t* data, size_t size) {
  TOptionControls c;
  const unsigned flags = (size > 0 ? data[0] : 0u) | (size > 1 ? data[1] : 0u) << 8;
  const auto bit = [flags](int i) { return (flags >> i & 1) != 0; };
  c.TestTone = bit(0) ? "" : "tone.wav";
  c.FileListEmpty = bit(1);
  c.Ignore = bit(2);
  c.Reversed = bit(3);
  c.Volume = bit(4);
  c.Normalize = bit(5);
  c.PreSilence = bit(6);
  c.LowCut = bit(7);
  c.HighCut = bit(8);
  c.MinPhase = bit(9);
  c.NoRename = bit(10);
  c.BitDepthIndex = static_cast<int>(flags >> 11 & 3);
  c.CutSlopeIndex = size > 2 ? data[2] % 9 : 0;
  std::string_view rest;
  if (size > 3)
    rest = std::string_view(reinterpret_cast<const char*>(data + 3), size - 3);
  c.VolumeText = NextText(rest);
  c.PreSilenceText = NextText(rest);
  c.LowCutText = NextText(rest);
  c.HighCutText = NextText(rest);
  return c;
}

void CheckSuccess(const TOptionControls& c, const TProcessOptions& o) {
  Require(o.OutBits == (c.BitDepthIndex == 0 ? 16 : c.BitDepthIndex == 1 ? 24 : 32));
  Require(o.FloatOutput == (c.BitDepthIndex == BitDepthIndexFloat));
  Require(o.ApplyVolume == c.Volume && o.Normalize == (c.Normalize && !c.Volume));
  // A gain beyond double range is +inf; the output stage refuses its samples.
  Require(!c.Volume || (!std::isnan(o.VolumeGain) && o.VolumeGain >= 0.0));
  Require(c.PreSilence ? std::isfinite(o.PreSilence) && o.PreSilence >= 0.0 : o.PreSilence == 0.0);
  Require(c.LowCut ? std::isfinite(o.LowCut) && o.LowCut >= 0.1f : o.LowCut == -1.0f);
  Require(c.HighCut ? std::isfinite(o.HighCut) && o.HighCut > o.LowCut : o.HighCut == -1.0f);
  Require(o.CutSlope == c.CutSlopeIndex && o.MinPhase == c.MinPhase && o.NoRename == c.NoRename);
}

void CheckFailure(const TOptionControls& c, const TValidationResult& r) {
  struct TFieldFailure {
    const char* Message;
    TFocusControl Focus;
    bool Checked;
  };
  const TFieldFailure failures[] = {
      {"Please select test tone file first!", TFocusControl::ButtonTT, c.TestTone.empty()},
      {"Please scan folders first!", TFocusControl::None, c.FileListEmpty},
      {"Invalid normalize value specified!", TFocusControl::EditVol, c.Volume},
      {"Invalid pre silence value specified!", TFocusControl::EditPreSilence, c.PreSilence},
      {"Invalid Low Cut value specified!\r\r(should be Hertz cutoff frequency above 0.1)",
       TFocusControl::EditHPF, c.LowCut},
      {"Invalid High Cut value specified!\r\r(should be Hertz cutoff frequency above Low Cut)",
       TFocusControl::EditLPF, c.HighCut},
  };
  for (const TFieldFailure& f : failures) {
    if (r.Message == f.Message) {
      Require(f.Checked && r.Focus == f.Focus);
      return;
    }
  }
  Require(false);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TOptionControls controls = Controls(data, size);
  TProcessOptions options;
  const TValidationResult result = ValidateOptions(controls, options);
  if (result.Ok)
    CheckSuccess(controls, options);
  else
    CheckFailure(controls, result);
  return 0;
}
