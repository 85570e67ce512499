// Harmonic distortion from the deconvolution of an exponential sweep. For a
// sweep of duration L from f1 to f2, the response of harmonic order k lies
// ahead of the linear response by L ln(k) / ln(f2 / f1); each order is cut out
// with windows reaching half-way to its neighbours, and its spectrum at k f
// relative to the linear response's at f is the level a stepped-sine analyser
// gives for order k at excitation frequency f.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace ravelin {

struct TSweepParameters {
  double StartHz = 0.0;   // f1
  double EndHz = 0.0;     // f2
  double DurationS = 0.0; // L
};

inline constexpr int MinHarmonicOrder = 2;
inline constexpr int MaxHarmonicOrder = 10;

// Seconds by which order k precedes the linear response.
double HarmonicAdvanceS(const TSweepParameters& sweep, int order);

// One order's window [Begin, End) and its time zero, as sample offsets from
// the linear response's time zero, negative ahead of it.
struct THarmonicWindow {
  int64_t Begin = 0;
  int64_t End = 0;
  int64_t Zero = 0;
};

// Windows of the linear response (index 0) and orders 2 .. maxOrder (index
// k - 1), each reaching half-way to its neighbours; the linear one as far
// after time zero as before it.
std::vector<THarmonicWindow> HarmonicWindows(const TSweepParameters& sweep, int maxOrder, int32_t sampleRate);

struct THarmonicCurves {
  std::vector<double> FrequencyHz; // excitation frequency
  // OrderDb[k - 2][i]: order k at FrequencyHz[i] re the linear response, dB;
  // none where f lies outside the sweep or k f above Nyquist.
  std::vector<std::vector<std::optional<double>>> OrderDb;
  // 100 sqrt(sum of the orders' powers) / linear, over the orders present;
  // none where order 2 is not.
  std::vector<std::optional<double>> ThdPct;
  std::vector<std::string> Warnings;
};

// The orders 2 .. maxOrder of a full deconvolution: size samples at
// sampleRate, circular (orders ahead of index 0 wrap to the end), with the
// linear response's time zero at zeroIndex. Levels at frequencies (Hz), the
// powers averaged over 1/smoothing octave (0: the nearest bin; see
// SmoothPower). Throws TRavelinError for an order outside 2 .. 10, a sweep
// without 0 < f1 < f2 and L > 0, or orders further apart than the response.
THarmonicCurves HarmonicDistortion(const double* full, int32_t size, int32_t zeroIndex, int32_t sampleRate,
                                   const TSweepParameters& sweep, int maxOrder,
                                   const std::vector<double>& frequencies, int smoothing);

// Excitation frequencies for the curves: 24 per octave on a grid through
// 1 kHz, from f1 to f2 (or Nyquist).
std::vector<double> HarmonicFrequencies(const TSweepParameters& sweep, int32_t sampleRate);

// CSV with the header frequency_hz,h2_db,...,hK_db,thd_pct; absent values
// empty.
void WriteHarmonicCurves(std::ostream& out, const THarmonicCurves& curves);

// Prefix of the warning where the system's decay outlasts the space between
// two orders: "orders overlap from order <k>: ...".
inline constexpr const char* OverlapWarning = "orders overlap from order ";

} // namespace ravelin
