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

double EdgeRatio(int fraction) {
  return std::pow(OctaveRatio, 0.5 / fraction);
}

// The order of the smallest transform holding length samples and the pad; one
// beyond the largest when none does (the transform's constructor refuses it).
int TransformOrder(int32_t length, int32_t sampleRate) {
  const int64_t padded = length + static_cast<int64_t>(std::ceil(PadSeconds * std::max(sampleRate, 1)));
  if (padded > int64_t{1} << TFastFourierTransform::MaxOrder)
    return TFastFourierTransform::MaxOrder + 1;
  return std::max(TFastFourierTransform::MinOrder, BitLength(static_cast<uint32_t>(padded - 1)));
}

// |H(f)| of a band as 1 / sqrt(1 + x^6), x = f Scale - Offset / f.
struct TBandShape {
  double Scale;  // 1 / (fm (G^(1/2b) - G^(-1/2b)))
  double Offset; // fm / (G^(1/2b) - G^(-1/2b))

  explicit TBandShape(const TBand& band) {
    const double edge = EdgeRatio(band.Fraction);
    Scale = 1.0 / (band.MidHz * (edge - 1.0 / edge));
    Offset = band.MidHz / (edge - 1.0 / edge);
  }
  double Magnitude(double frequencyHz, double inverseHz) const {
    const double x = frequencyHz * Scale - Offset * inverseHz;
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
    FLength(std::max(length, 0)), FSampleRate(sampleRate), FFft(TransformOrder(FLength, sampleRate)) {
  FSpectrum.assign(static_cast<size_t>(FFft.Size()), 0.0);
  std::copy(response, response + FLength, FSpectrum.begin());
  FFft.Forward(FSpectrum.data());
  const double binHz = static_cast<double>(sampleRate) / FFft.Size();
  for (int32_t k = 0; k <= FFft.Size() / 2; ++k) {
    FBinHz.push_back(k * binHz);
    FInverseBinHz.push_back(k > 0 ? 1.0 / (k * binHz) : 0.0);
  }
}

std::vector<float> TBandFilterBank::Filter(const TBand& band) const {
  const size_t half = static_cast<size_t>(FFft.Size()) / 2;
  const TBandShape shape(band);
  std::vector<double> gains(half + 1);
  for (size_t k = 1; k <= half; ++k) // a plain loop over arrays, so that it vectorises
    gains[k] = shape.Magnitude(FBinHz[k], FInverseBinHz[k]);
  std::vector<double> work(FSpectrum);
  work[0] = 0.0;
  work[1] *= gains[half];
  for (size_t k = 1; k < half; ++k) {
    work[2 * k] *= gains[k];
    work[2 * k + 1] *= gains[k];
  }
  FFft.Inverse(work.data());
  std::vector<float> filtered(static_cast<size_t>(FLength));
  for (size_t i = 0; i < filtered.size(); ++i)
    filtered[i] = static_cast<float>(work[i] * FFft.InverseScale());
  return filtered;
}

} // namespace ravelin
