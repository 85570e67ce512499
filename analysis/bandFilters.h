// Octave and one-third-octave band filters for room-acoustic analysis. The
// bands are those of base ten (G = 10^(3/10)) around 1 kHz, from the 63 Hz
// octave to the 8 kHz octave (50 Hz to 10 kHz in thirds), and a band is
// offered only when its upper edge lies below Nyquist.
//
// Design: a zero-phase filter applied in the frequency domain whose magnitude
// is that of a sixth-order Butterworth band-pass (a third-order low-pass
// prototype),
//   |H(f)|^2 = 1 / (1 + x^6),  x = (f / fm - fm / f) / (G^(1/2b) - G^(-1/2b)),
// 0 dB at mid-band, -3 dB at the band edges fm G^(+-1/2b). It lies within the
// class 1 limits of IEC 61260-1 for octaves and thirds.
#pragma once

#include <cstdint>
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

// One response transformed once and filtered into any band. The transform is
// zero-padded by at least half a second, so that the filters' ringing at low
// frequencies does not wrap around onto the response.
class TBandFilterBank {
public:
  // Throws TRavelinError beyond the transform's largest size.
  TBandFilterBank(const float* response, int32_t length, int32_t sampleRate);

  // The response filtered into band: Length() samples, aligned with the input.
  std::vector<float> Filter(const TBand& band) const;
  int32_t Length() const { return FLength; }

private:
  int32_t FLength;
  int32_t FSampleRate;
  TFastFourierTransform FFft;
  std::vector<double> FSpectrum;     // packed, as TFastFourierTransform leaves it
  std::vector<double> FBinHz;        // frequency of bins 0 .. N/2
  std::vector<double> FInverseBinHz; // its inverse (0 for bin 0)
};

} // namespace ravelin
