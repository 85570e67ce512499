// The options of one processing run and their validation from the option
// controls' texts and check states.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dither.h"
#include "outputLedger.h"

namespace ravelin {

// Item indexes of the output bit depth list "16", "24", "32", "32 float".
constexpr int BitDepthIndex24 = 1;
constexpr int BitDepthIndexFloat = 3;

struct TProcessOptions {
  int32_t OutBits = 24;        // 16, 24 or 32
  bool FloatOutput = false;    // "32 float"
  bool IgnoreProcessed = true; // skip files this program wrote
  bool Reversed = false;       // reversed technique instead of division
  bool ApplyVolume = false;
  bool Normalize = false;  // forced false when ApplyVolume
  double VolumeGain = 1.0; // linear, 10^(0.05 dB)
  double PreSilence = 0.0; // seconds
  float LowCut = -1.0f;    // Hz; -1 = off
  float HighCut = -1.0f;   // Hz; -1 = off
  bool MinPhase = false;
  int CutSlope = 0;           // cut slope item index: 0..7 = -12..-96 dB/o, 8 = Max
  int ToneChannel = 0;        // 0 automatic, else the 1-based test tone channel for all
  bool NoRename = false;      // give the output the recording's own name
  bool Trim = false;          // keep only the part that carries the response
  double TrimMarginMs = 5.0;  // kept before the peak and after the decay end
  int Harmonics = 0;          // highest harmonic order, 2..10; 0 = off (plain division only)
  int HarmonicSmoothing = 0;  // the levels' averaging, 1/n octave (0: the nearest bin)
  bool HarmonicFiles = false; // each order's response as its own file beside the output
  std::string TestTone;       // test tone path
  std::string ScanFolder;     // folder the recordings were found in (ends with a separator)
  std::string OutFolder;      // output root folder (ends with a separator)
  int Jobs = 1;               // files processed at the same time, and threads busy at most
  // Integer output only: the run's generator. Each file takes its own stretch
  // of the sequence, reserved in list order (see RunBatch).
  std::unique_ptr<TOutputDither> Dither;
  std::vector<std::string> Retained; // failed files the user chose to skip
  TOutputLedger Written;             // outputs written so far and the recording of each
};

// The option controls as the window (or the command line) holds them.
struct TOptionControls {
  std::string TestTone;   // EditTT
  std::string ScanFolder; // EditFolder
  std::string OutFolder;  // EditOutFolder
  bool FileListEmpty = true;
  int BitDepthIndex = BitDepthIndex24; // ComboBoxBD
  bool Ignore = true;                  // CheckBoxIgnore
  bool Reversed = false;               // CheckBoxRev
  bool Volume = false;                 // CheckBoxVolume
  std::string VolumeText;              // EditVol
  bool Normalize = false;              // CheckBoxNormalize
  bool PreSilence = false;             // CheckBoxPS
  std::string PreSilenceText;          // EditPreSilence
  bool LowCut = false;                 // CheckBoxHPF
  std::string LowCutText;              // EditHPF
  bool HighCut = false;                // CheckBoxLPF
  std::string HighCutText;             // EditLPF
  bool MinPhase = false;               // CheckBoxMPT
  bool NoRename = false;               // CheckBoxNoRename
  int CutSlopeIndex = 0;               // ComboCutSlope
  int ToneChannel = 0;                 // ComboToneChannel: 0 automatic, else 1-based
};

// The control that receives the focus after a validation failure.
enum class TFocusControl { None, ButtonTT, EditVol, EditPreSilence, EditHPF, EditLPF };

struct TValidationResult {
  bool Ok = false;
  std::string Message; // the message box text on failure
  TFocusControl Focus = TFocusControl::None;
};

// Fills options from the controls, checking in the window's order; the first
// failure returns its message and the control to focus. The dither is not
// created here (the run does that).
TValidationResult ValidateOptions(const TOptionControls& controls, TProcessOptions& options);

} // namespace ravelin
