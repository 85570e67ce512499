#include "curves.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <ostream>
#include <utility>

#include "buffers.h"
#include "errors.h"
#include "fft.h"
#include "figures.h"

namespace ravelin {

namespace {

constexpr double LowestHz = 20.0;
constexpr double PointsPerOctave = 96.0;

double PowerDb(double power) {
  return power > 0.0 ? std::max(SilentDbfs, 10.0 * std::log10(power)) : SilentDbfs;
}

// Index of the bin nearest to frequency, within 0 .. bins - 1.
size_t NearestBin(double frequency, double binHz, size_t bins) {
  return static_cast<size_t>(std::clamp(std::round(frequency / binHz), 0.0, static_cast<double>(bins - 1)));
}

// The spectrum of the response and of the response weighted by its sample
// index (for the group delay), bins 0 .. N/2 as (real, imaginary) pairs in
// the e^(-i w n) convention.
struct TSpectra {
  double BinHz = 0.0;
  std::vector<double> Plain, Weighted; // 2 (N/2 + 1) values each
};

// Packed spectrum of N values -> bins 0 .. N/2 as N + 2 values, in place.
void Unpack(std::vector<double>& spectrum) {
  const double nyquist = spectrum.at(1);
  spectrum[1] = 0.0;
  for (size_t k = 1; 2 * k < spectrum.size(); ++k)
    spectrum[2 * k + 1] = -spectrum[2 * k + 1]; // the transform's positive exponent, conjugated
  spectrum.push_back(nyquist);
  spectrum.push_back(0.0);
}

TSpectra Transform(const float* response, int32_t length, int32_t sampleRate) {
  const int order = std::max(TFastFourierTransform::MinOrder, BitLength(static_cast<uint32_t>(length - 1)));
  if (order > TFastFourierTransform::MaxOrder)
    throw TRavelinError("Response too long for its curves");
  const TFastFourierTransform fft(order);
  const size_t size = static_cast<size_t>(fft.Size());
  std::vector<double> plain, weighted;
  for (std::vector<double>* spectrum : {&plain, &weighted}) {
    spectrum->reserve(size + 2); // room for the unpacked Nyquist bin
    spectrum->assign(size, 0.0);
  }
  for (int32_t i = 0; i < length; ++i) {
    plain[static_cast<size_t>(i)] = static_cast<double>(response[i]);
    weighted[static_cast<size_t>(i)] = i * static_cast<double>(response[i]);
  }
  fft.Forward(plain.data());
  fft.Forward(weighted.data());
  Unpack(plain);
  Unpack(weighted);
  return {static_cast<double>(sampleRate) / static_cast<double>(size), std::move(plain), std::move(weighted)};
}

std::vector<double> FrequencyPoints(double binHz, size_t bins, int smoothing) {
  const double nyquist = binHz * static_cast<double>(bins - 1);
  std::vector<double> points;
  if (smoothing == 0) {
    for (size_t k = std::max<size_t>(1, static_cast<size_t>(std::ceil(LowestHz / binHz))); k < bins; ++k)
      points.push_back(static_cast<double>(k) * binHz);
    return points;
  }
  const double lowest = std::min(LowestHz, nyquist / 2.0);
  const double count = std::floor(PointsPerOctave * std::log2(nyquist / lowest));
  for (double i = 0.0; i <= count; ++i)
    points.push_back(lowest * std::exp2(i / PointsPerOctave));
  return points;
}

void AddFrequencyCurves(const TSpectra& spectra, int32_t peak, int smoothing, TResponseCurves& curves) {
  const size_t bins = spectra.Plain.size() / 2;
  std::vector<double> power(bins);
  for (size_t k = 0; k < bins; ++k)
    power[k] =
        spectra.Plain[2 * k] * spectra.Plain[2 * k] + spectra.Plain[2 * k + 1] * spectra.Plain[2 * k + 1];
  curves.FrequencyHz = FrequencyPoints(spectra.BinHz, bins, smoothing);
  for (double smoothed : SmoothPower(power, spectra.BinHz, curves.FrequencyHz, smoothing))
    curves.MagnitudeDb.push_back(PowerDb(smoothed));
  const double sampleHz = spectra.BinHz * 2.0 * static_cast<double>(bins - 1);
  for (double frequency : curves.FrequencyHz) {
    const size_t k = NearestBin(frequency, spectra.BinHz, bins);
    const double re = spectra.Plain[2 * k], im = spectra.Plain[2 * k + 1];
    // The delay to the peak removed: times e^(+i w peak).
    const double turns = static_cast<double>(k) * spectra.BinHz / sampleHz * peak;
    const double phase = std::atan2(im, re) / (2.0 * std::numbers::pi) + (turns - std::floor(turns));
    curves.PhaseDeg.push_back(360.0 * (phase - std::ceil(phase - 0.5)));
    // Re(W / H), the delay in samples of the response's group at this bin.
    const double wr = spectra.Weighted[2 * k], wi = spectra.Weighted[2 * k + 1];
    const double delay = power[k] > 0.0 ? (wr * re + wi * im) / power[k] : 0.0;
    curves.GroupDelayMs.push_back(1000.0 * delay / sampleHz);
  }
}

// The backward integral runs from where the decay meets the noise (Lundeby's
// truncation), so that the noise after it does not bend the curve flat; it
// has no level beyond that point.
void AddTimeCurves(const float* response, int32_t length, int32_t sampleRate, TResponseCurves& curves) {
  const int32_t end =
      std::clamp(AnalyzeResponse(response, length, {sampleRate, 0, 0}).DecayEndIndex + 1, 1, length);
  std::vector<double> backward(static_cast<size_t>(length) + 1, 0.0);
  for (int32_t i = end - 1; i >= 0; --i)
    backward[static_cast<size_t>(i)] = backward[static_cast<size_t>(i) + 1] +
                                       static_cast<double>(response[i]) * static_cast<double>(response[i]);
  const int32_t step = (length + MaxTimePoints - 1) / MaxTimePoints;
  for (int32_t start = 0; start < length; start += step) {
    double peak = 0.0;
    for (int32_t i = start; i < std::min(length, start + step); ++i)
      peak = std::max(peak, static_cast<double>(response[i]) * static_cast<double>(response[i]));
    curves.TimeMs.push_back(1000.0 * start / sampleRate);
    curves.EtcDb.push_back(PowerDb(peak));
    curves.SchroederDb.push_back(
        backward[0] > 0.0 ? PowerDb(backward[static_cast<size_t>(start)] / backward[0]) : SilentDbfs);
  }
}

void WriteCurve(std::ostream& out, size_t channel, const char* name, const std::vector<double>& x,
                const std::vector<double>& y) {
  char line[128];
  for (size_t i = 0; i < x.size(); ++i) {
    std::snprintf(line, sizeof line, "%zu,%s,%.6g,%.6g\n", channel, name, x[i], y[i]);
    out << line;
  }
}

} // namespace

bool IsSmoothingFraction(int fraction) {
  return std::find(std::begin(SmoothingFractions), std::end(SmoothingFractions), fraction) !=
         std::end(SmoothingFractions);
}

std::vector<double> SmoothPower(const std::vector<double>& power, double binHz,
                                const std::vector<double>& frequencies, int fraction) {
  std::vector<double> sums(power.size() + 1, 0.0); // sums[k]: bins 0 .. k - 1
  for (size_t k = 0; k < power.size(); ++k)
    sums[k + 1] = sums[k] + power[k];
  const double halfBand = fraction > 0 ? std::exp2(0.5 / fraction) : 1.0;
  std::vector<double> smoothed;
  for (double frequency : frequencies) {
    const double first = std::ceil(frequency / halfBand / binHz);
    const double last =
        std::min(std::floor(frequency * halfBand / binHz), static_cast<double>(power.size() - 1));
    if (fraction == 0 || last < first) {
      smoothed.push_back(power[NearestBin(frequency, binHz, power.size())]);
      continue;
    }
    const auto begin = static_cast<size_t>(first), end = static_cast<size_t>(last) + 1;
    smoothed.push_back((sums[end] - sums[begin]) / static_cast<double>(end - begin));
  }
  return smoothed;
}

TResponseCurves ResponseCurves(const float* response, int32_t length, int32_t sampleRate, int smoothing) {
  TResponseCurves curves;
  if (length <= 0 || sampleRate <= 0)
    return curves;
  const int32_t peak =
      static_cast<int32_t>(std::max_element(response, response + length,
                                            [](float a, float b) { return std::fabs(a) < std::fabs(b); }) -
                           response);
  AddFrequencyCurves(Transform(response, length, sampleRate), peak, smoothing, curves);
  AddTimeCurves(response, length, sampleRate, curves);
  return curves;
}

void WriteCurves(std::ostream& out, const std::vector<TResponseCurves>& channels) {
  out << "channel,curve,x,y\n";
  for (size_t c = 0; c < channels.size(); ++c) {
    const TResponseCurves& curves = channels[c];
    WriteCurve(out, c + 1, "magnitude_db", curves.FrequencyHz, curves.MagnitudeDb);
    WriteCurve(out, c + 1, "phase_deg", curves.FrequencyHz, curves.PhaseDeg);
    WriteCurve(out, c + 1, "group_delay_ms", curves.FrequencyHz, curves.GroupDelayMs);
    WriteCurve(out, c + 1, "etc_db", curves.TimeMs, curves.EtcDb);
    WriteCurve(out, c + 1, "schroeder_db", curves.TimeMs, curves.SchroederDb);
  }
}

} // namespace ravelin
