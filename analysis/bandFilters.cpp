#include "bandFilters.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "buffers.h"

namespace ravelin {

namespace {

const double OctaveRatio = std::pow(10.0, 0.3); // G

// Nominal mid-band frequencies of the thirds from 50 Hz (band -13 re 1 kHz) to
// 10 kHz (band 10); every third one is an octave's, from 63 Hz.
constexpr double ThirdNominals[] = {50,  63,   80,   100,  125,  160,  200,  250,  315,  400,  500,  630,
                                    800, 1000, 1250, 1600, 2000, 2500, 3150, 4000, 5000, 6300, 8000, 10000};
constexpr int LowestThird = -13;
constexpr double PadSeconds = 0.5;
// Sample steps of the reduced-rate zero-phase filtering, largest first; the
// lead is a multiple of the largest.
constexpr int32_t ReducedSteps[] = {64, 16, 4};
// A band is filtered at a reduced rate when its prototype frequency x at the
// reduced Nyquist is at least this (|H| below 1.3e-4 from there on).
constexpr double ReducedReach = 20.0;

double EdgeRatio(int fraction) {
  return std::pow(OctaveRatio, 0.5 / fraction);
}

int32_t LeadSamples(int32_t sampleRate) {
  const auto lead = static_cast<int32_t>(std::ceil(PadSeconds * std::max(sampleRate, 1)));
  return (lead + ReducedSteps[0] - 1) / ReducedSteps[0] * ReducedSteps[0];
}

// The order of the smallest transform holding the lead and length samples;
// one beyond the largest when none does (the transform's constructor refuses
// it).
int TransformOrder(int32_t length, int32_t sampleRate) {
  const int64_t padded = length + static_cast<int64_t>(LeadSamples(sampleRate));
  if (padded > int64_t{1} << TFastFourierTransform::MaxOrder)
    return TFastFourierTransform::MaxOrder + 1;
  return std::max(TFastFourierTransform::MinOrder, BitLength(static_cast<uint32_t>(padded - 1)));
}

// The band's response at f through x = f Scale - Offset / f, the low-pass
// prototype's frequency: the band-pass H(x) = 1 / ((1 + jx)(1 - x^2 + jx)),
// whose |H|^2 = 1 / (1 + x^6), and its time-reversed (anti-causal) form
// conj(H) = ((1 - 2x^2) + j(2x - x^3)) / (1 + x^6).
struct TBandShape {
  double Scale;  // 1 / (fm (G^(1/2b) - G^(-1/2b)))
  double Offset; // fm / (G^(1/2b) - G^(-1/2b))

  explicit TBandShape(const TBand& band) {
    const double edge = EdgeRatio(band.Fraction);
    Scale = 1.0 / (band.MidHz * (edge - 1.0 / edge));
    Offset = band.MidHz / (edge - 1.0 / edge);
  }
  double X(double frequencyHz, double inverseHz) const { return frequencyHz * Scale - Offset * inverseHz; }
  double Magnitude(double frequencyHz, double inverseHz) const {
    const double x = X(frequencyHz, inverseHz);
    const double x2 = x * x;
    return 1.0 / std::sqrt(1.0 + x2 * x2 * x2);
  }
};

} // namespace

std::vector<TBand> AnalysisBands(TBandWidth width, int32_t sampleRate) {
  const int fraction = static_cast<int>(width);
  const int step = fraction == 1 ? 3 : 1;
  const int first = fraction == 1 ? 1 : 0; // the 63 Hz octave is the second third
  std::vector<TBand> bands;
  for (int i = first; i < static_cast<int>(std::size(ThirdNominals)); i += step) {
    const double mid = 1000.0 * std::pow(OctaveRatio, (i + LowestThird) / 3.0);
    if (mid * EdgeRatio(fraction) < sampleRate / 2.0)
      bands.push_back({ThirdNominals[i], mid, fraction});
  }
  return bands;
}

double BandwidthHz(const TBand& band) {
  const double edge = EdgeRatio(band.Fraction);
  return band.MidHz * (edge - 1.0 / edge);
}

double BandMagnitude(const TBand& band, double frequencyHz) {
  return TBandShape(band).Magnitude(frequencyHz, 1.0 / frequencyHz);
}

TBandFilterBank::TBandFilterBank(const float* response, int32_t length, int32_t sampleRate) :
    FLead(LeadSamples(sampleRate)), FLength(std::max(length, 0)), FSampleRate(sampleRate),
    FFft(TransformOrder(FLength, sampleRate)) {
  FSpectrum.assign(static_cast<size_t>(FFft.Size()), 0.0);
  std::copy(response, response + FLength, FSpectrum.begin() + FLead);
  FFft.Forward(FSpectrum.data());
  const double binHz = static_cast<double>(sampleRate) / FFft.Size();
  FBinHz.reserve(static_cast<size_t>(FFft.Size() / 2 + 1));
  FInverseBinHz.reserve(static_cast<size_t>(FFft.Size() / 2 + 1));
  for (int32_t k = 0; k <= FFft.Size() / 2; ++k) {
    FBinHz.push_back(k * binHz);
    FInverseBinHz.push_back(k > 0 ? 1.0 / (k * binHz) : 0.0);
  }
  for (const int32_t step : ReducedSteps)
    if (FFft.Order() - BitLength(static_cast<uint32_t>(step - 1)) >= TFastFourierTransform::MinOrder)
      FReduced.emplace_back(step,
                            TFastFourierTransform(FFft.Order() - BitLength(static_cast<uint32_t>(step - 1))));
}

std::vector<float> TBandFilterBank::Filter(const TBand& band, TBandPhase phase) const {
  std::vector<double> work;
  std::vector<float> filtered;
  Filter(band, phase, work, filtered);
  return filtered;
}

void TBandFilterBank::Filter(const TBand& band, TBandPhase phase, std::vector<double>& work,
                             std::vector<float>& filtered) const {
  const size_t half = static_cast<size_t>(FFft.Size()) / 2;
  const TBandShape shape(band);
  const std::vector<double>& spectrum = FSpectrum;
  work.resize(spectrum.size());
  work[0] = 0.0;
  if (phase == TBandPhase::Reversed) {
    // The transform's positive exponent conjugates every spectrum, so the
    // anti-causal conj(H) is applied as H = ((1 - 2x^2) - j(2x - x^3)) / (1 + x^6).
    for (size_t k = 1; k < half; ++k) {
      const double x = shape.X(FBinHz[k], FInverseBinHz[k]);
      const double x2 = x * x;
      const double inverse = 1.0 / (1.0 + x2 * x2 * x2);
      const double real = (1.0 - 2.0 * x2) * inverse;
      const double imaginary = x * (x2 - 2.0) * inverse;
      const double re = spectrum[2 * k];
      const double im = spectrum[2 * k + 1];
      work[2 * k] = re * real - im * imaginary;
      work[2 * k + 1] = re * imaginary + im * real;
    }
    const double x = shape.X(FBinHz[half], FInverseBinHz[half]);
    work[1] = spectrum[1] * (1.0 - 2.0 * x * x) / (1.0 + x * x * x * x * x * x); // the Nyquist bin stays real
  } else {
    for (size_t k = 1; k < half; ++k) {
      const double gain = shape.Magnitude(FBinHz[k], FInverseBinHz[k]);
      work[2 * k] = spectrum[2 * k] * gain;
      work[2 * k + 1] = spectrum[2 * k + 1] * gain;
    }
    work[1] = spectrum[1] * shape.Magnitude(FBinHz[half], FInverseBinHz[half]);
  }
  FFft.Inverse(work.data());
  filtered.resize(static_cast<size_t>(FLead + FLength));
  for (size_t i = 0; i < filtered.size(); ++i)
    filtered[i] = static_cast<float>(work[i] * FFft.InverseScale());
}

// Below the reduced Nyquist the spectrum is that of the full rate; what lies
// above is dropped (the band has almost nothing there), so the smaller
// inverse transform gives the full-rate samples at every step-th index.
int32_t TBandFilterBank::FilterReduced(const TBand& band, std::vector<double>& work,
                                       std::vector<float>& filtered) const {
  const TBandShape shape(band);
  for (const auto& [step, fft] : FReduced) {
    const double nyquist = FSampleRate / (2.0 * step);
    if (shape.X(nyquist, 1.0 / nyquist) < ReducedReach)
      continue;
    const size_t half = static_cast<size_t>(fft.Size()) / 2;
    work.resize(static_cast<size_t>(fft.Size()));
    work[0] = 0.0;
    work[1] = 0.0;
    for (size_t k = 1; k < half; ++k) {
      const double gain = shape.Magnitude(FBinHz[k], FInverseBinHz[k]);
      work[2 * k] = FSpectrum[2 * k] * gain;
      work[2 * k + 1] = FSpectrum[2 * k + 1] * gain;
    }
    fft.Inverse(work.data());
    const double scale = fft.InverseScale() / step;
    filtered.resize(static_cast<size_t>((FLead + FLength + step - 1) / step));
    for (size_t i = 0; i < filtered.size(); ++i)
      filtered[i] = static_cast<float>(work[i] * scale);
    return step;
  }
  Filter(band, TBandPhase::Zero, work, filtered);
  return 1;
}

} // namespace ravelin
