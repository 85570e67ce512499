// Magnitude responses of the low-cut and high-cut filters: second-order
// sections with exactly -3.0 dB at the corner, sampled on the bins of an FFT
// grid. They come from a biquad designed at a very low prototype corner, where
// the bilinear transform does not warp, evaluated at frequencies scaled by
// prototype corner / corner.
#pragma once

#include "bifilters.h"

#include <cstdint>

namespace ravelin {

// Prototype corner (Hz) and Q of the cut filters. Q = 10^-0.15 makes the
// magnitude at the corner exactly Q, i.e. -3.0 dB.
constexpr double CutPrototypeCorner = 0.01;
constexpr float CutQ = 0.70794578f;

// response[i] *= |H(e^{i*pi*grid[i]})| for i < count; grid is normalised so that
// 1.0 is the Nyquist frequency of the design's sample rate.
void BiquadMagnitude(const double* grid, uint32_t count, double* response, const TBiquadCoefficients& c);

// Multiplies response[0 .. count-1], the bins 0 .. N/2 of an N-point transform
// (count = N/2 + 1 >= 2), by the magnitude of the section c, designed at
// prototypeCorner, moved to corner (Hz). scratch receives the grid (count doubles).
// Bins beyond the design's Nyquist frequency after the scaling (corners below
// the prototype's) take the value at Nyquist.
void CutResponse(double* response, double* scratch, uint32_t count, double corner, double prototypeCorner,
                 const TBiquadCoefficients& c);

} // namespace ravelin
