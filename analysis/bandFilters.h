// Octave and one-third-octave band filters for room-acoustic analysis. The
// bands are those of base ten (G = 10^(3/10)) around 1 kHz, from the 63 Hz
// octave to the 8 kHz octave (50 Hz to 10 kHz in thirds), and a band is
// offered only when its upper edge lies below Nyquist.
//
// Design: a sixth-order Butterworth band-pass (a third-order low-pass
// prototype) applied in the frequency domain,
//   |H(f)|^2 = 1 / (1 + x^6),  x = (f / fm - fm / f) / (G^(1/2b) - G^(-1/2b)),
// 0 dB at mid-band, -3 dB at the band edges fm G^(+-1/2b). It lies within the
// class 1 limits of IEC 61260-1 for octaves and thirds. It is applied with
// zero phase or backwards in time (the causal filter's impulse response
// reversed, so the output at t depends only on the input from t on): the
// filter's own ringing then lies ahead of each arrival instead of
// lengthening the decay after it, and an exponential decay comes out an
// exact exponential from its onset, however narrow the band.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "fft.h"

namespace ravelin {

// The b of 1/b octave.
enum class TBandWidth { Octave = 1, Third = 3 };

struct TBand {
  double NominalHz = 0.0; // the band's name: 63, 125, ... or 50, 63, 80, ...
  double MidHz = 0.0;     // exact mid-band frequency fm
  int Fraction = 1;       // b
};

// The bands of width at sampleRate, lowest first.
std::vector<TBand> AnalysisBands(TBandWidth width, int32_t sampleRate);

// Width between the band edges fm G^(+-1/2b), Hz.
double BandwidthHz(const TBand& band);

// |H(f)| of the band's filter (f > 0 in Hz).
double BandMagnitude(const TBand& band, double frequencyHz);

// How a band filter's phase places its output in time.
enum class TBandPhase {
  Zero,     // symmetric about each arrival: energy keeps its time, smeared both ways
  Reversed, // the filter run backwards in time: its ringing lies ahead of each arrival
};

// One response transformed once and filtered into any band. Half a second of
// silence goes ahead of the response: the filters' ringing ahead of the first
// arrivals lands there, and the zero-phase filters' ringing after the last
// samples wraps around into it, clear of the response.
class TBandFilterBank {
public:
  // Throws TRavelinError beyond the transform's largest size.
  TBandFilterBank(const float* response, int32_t length, int32_t sampleRate);

  // The response filtered into band with phase: Lead() + Length() samples,
  // the input's sample i at Lead() + i.
  std::vector<float> Filter(const TBand& band, TBandPhase phase) const;
  // The same into filtered, with work as the transform's buffer: both keep
  // their storage from one band to the next.
  void Filter(const TBand& band, TBandPhase phase, std::vector<double>& work,
              std::vector<float>& filtered) const;
  // The zero-phase filtering at a reduced rate where the band allows: every
  // step-th sample of Filter(band, TBandPhase::Zero), the step (1, 4, 16 or
  // 64) returned; the largest whose Nyquist leaves the band's magnitude below
  // 1.3e-4.
  int32_t FilterReduced(const TBand& band, std::vector<double>& work, std::vector<float>& filtered) const;
  int32_t Lead() const { return FLead; } // a multiple of 64
  int32_t Length() const { return FLength; }

private:
  int32_t FLead; // samples ahead of the response
  int32_t FLength;
  int32_t FSampleRate;
  TFastFourierTransform FFft;
  std::vector<double> FSpectrum;     // packed, as TFastFourierTransform leaves it
  std::vector<double> FBinHz;        // frequency of bins 0 .. N/2
  std::vector<double> FInverseBinHz; // its inverse (0 for bin 0)
  // The reduced-rate inverse transforms by their step, largest first.
  std::vector<std::pair<int32_t, TFastFourierTransform>> FReduced;
};

} // namespace ravelin
