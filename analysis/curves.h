// Curves of one impulse response for plots and exports: magnitude (with
// fractional-octave smoothing), phase and group delay over frequency, the
// energy-time curve and the Schroeder backward integral over time.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <vector>

namespace ravelin {

// Smoothing bandwidths, as the n of 1/n octave; 0 is none.
inline constexpr int SmoothingFractions[] = {0, 1, 3, 6, 12, 24, 48};
bool IsSmoothingFraction(int fraction);

// Mean power over the bins whose frequencies lie within the 1/fraction octave
// band around each frequency (f 2^(-1/(2 fraction)) .. f 2^(1/(2 fraction))),
// or the bin nearest to it when the band holds none; fraction 0 takes the
// nearest bin. Power holds bins 0 .. N/2, bin k at k binHz.
std::vector<double> SmoothPower(const std::vector<double>& power, double binHz,
                                const std::vector<double>& frequencies, int fraction);

struct TResponseCurves {
  // Over frequency: every bin from 20 Hz to Nyquist without smoothing, else 96
  // points per octave. Magnitude in dB re a unit impulse; phase in degrees
  // (-180, 180], with the delay to the peak removed; group delay in ms from the
  // file's first sample.
  std::vector<double> FrequencyHz, MagnitudeDb, PhaseDeg, GroupDelayMs;
  // Over time, in blocks of equal length (at most MaxTimePoints): the
  // energy-time curve (dB re full scale, the block's largest squared sample)
  // and the backward integral of the squared response up to where its decay
  // meets the noise (dB re its total; no level after that point), both at the
  // block's first sample.
  std::vector<double> TimeMs, EtcDb, SchroederDb;
};
inline constexpr int32_t MaxTimePoints = 10000;

// The curves of length samples at sampleRate; the response is transformed
// whole (TRavelinError beyond the transform's largest size). Smoothing is one
// of SmoothingFractions.
TResponseCurves ResponseCurves(const float* response, int32_t length, int32_t sampleRate, int smoothing);

// The curves of every channel as CSV records "channel,curve,x,y": channels
// from 1; curve magnitude_db, phase_deg or group_delay_ms with x in Hz, or
// etc_db or schroeder_db with x in ms.
void WriteCurves(std::ostream& out, const std::vector<TResponseCurves>& channels);

} // namespace ravelin
