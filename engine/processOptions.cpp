#include "processOptions.h"

#include <cmath>

#include "numberText.h"

namespace ravelin {

namespace {

TValidationResult Failure(std::string message, TFocusControl focus) {
  return TValidationResult{false, std::move(message), focus};
}

} // namespace

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
    // The single-precision value is compared, so a text of 0.1 passes; a
    // corner beyond single precision's range is refused with the others.
    if (!ParseSingle(controls.LowCutText, options.LowCut) || static_cast<double>(options.LowCut) < 0.1)
      return Failure("Invalid Low Cut value specified!\r\r(should be Hertz cutoff frequency above 0.1)",
                     TFocusControl::EditHPF);
  }

  options.HighCut = -1.0f;
  if (controls.HighCut) {
    if (!ParseSingle(controls.HighCutText, options.HighCut) || !(options.HighCut > options.LowCut))
      return Failure("Invalid High Cut value specified!\r\r(should be Hertz cutoff frequency above Low Cut)",
                     TFocusControl::EditLPF);
  }

  options.MinPhase = controls.MinPhase;
  options.CutSlope = controls.CutSlopeIndex;
  options.ToneChannel = controls.ToneChannel;
  options.NoRename = controls.NoRename;
  options.TestTone = controls.TestTone;
  options.ScanFolder = controls.ScanFolder;
  options.OutFolder = controls.OutFolder;
  return TValidationResult{true, {}, TFocusControl::None};
}

} // namespace ravelin
