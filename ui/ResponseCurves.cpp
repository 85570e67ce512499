#include "ResponseCurves.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "fft.h"

namespace ravelin {

namespace {

constexpr double MinPower = 1e-30; // keeps the logarithms finite

float Db(double power) {
  return static_cast<float>(10.0 * std::log10(std::max(power, MinPower)));
}

std::shared_ptr<const std::vector<float>> EnergyTime(const std::vector<float>& x) {
  auto etc = std::make_shared<std::vector<float>>(x.size());
  std::transform(x.begin(), x.end(), etc->begin(), [](float v) {
    return std::max(EtcFloorDb, Db(static_cast<double>(v) * static_cast<double>(v)));
  });
  return etc;
}

std::shared_ptr<const std::vector<float>> Schroeder(const std::vector<float>& x, int64_t decayEnd,
                                                    float startDb) {
  const auto end = static_cast<size_t>(std::clamp<int64_t>(decayEnd, 1, static_cast<int64_t>(x.size())));
  std::vector<double> integral(end);
  double sum = 0.0;
  for (size_t i = end; i-- > 0;) {
    sum += static_cast<double>(x[i]) * static_cast<double>(x[i]);
    integral[i] = sum;
  }
  auto curve = std::make_shared<std::vector<float>>(end);
  for (size_t i = 0; i < end; ++i)
    (*curve)[i] = startDb + Db(integral[i] / std::max(sum, MinPower));
  return curve;
}

// Index of the largest |x|.
int64_t PeakOf(const std::vector<float>& x) {
  const auto peak =
      std::max_element(x.begin(), x.end(), [](float a, float b) { return std::abs(a) < std::abs(b); });
  return peak - x.begin();
}

// Fills the spectra from the first samples of x, rotated so that the peak
// lies at time zero (earlier samples wrap to the end, at negative times).
void Spectra(const std::vector<float>& x, TResponseCurves& curves) {
  int order = TFastFourierTransform::MinOrder;
  while (order < SpectrumOrderMax && (int64_t{1} << order) < static_cast<int64_t>(x.size()))
    ++order;
  const TFastFourierTransform fft(order);
  const int32_t size = fft.Size();
  const int64_t used = std::min<int64_t>(size, static_cast<int64_t>(x.size()));
  const int64_t peak = curves.PeakIndex < used ? curves.PeakIndex : 0;
  std::vector<double> h(static_cast<size_t>(size), 0.0), nh(static_cast<size_t>(size), 0.0);
  for (int64_t i = 0; i < used; ++i) {
    const int64_t n = i - peak; // time re the peak, in samples
    const auto slot = static_cast<size_t>((n + size) % size);
    h[slot] = static_cast<double>(x[static_cast<size_t>(i)]);
    nh[slot] = static_cast<double>(n) * h[slot];
  }
  fft.Forward(h.data());
  fft.Forward(nh.data());
  const auto bins = static_cast<size_t>(size / 2 + 1);
  curves.BinHz = curves.SampleRate / size;
  curves.Power.assign(bins, 0.0);
  auto phase = std::make_shared<std::vector<float>>(bins);
  auto delay = std::make_shared<std::vector<float>>(bins);
  const double msPerSample = 1000.0 / curves.SampleRate;
  for (size_t k = 0; k < bins; ++k) {
    // Packed layout: bins 0 and N/2 are real; the transform's sign is positive,
    // so the usual spectrum is the conjugate (the imaginary part negated).
    const bool real = k == 0 || k == bins - 1;
    const double re = real ? h[k == 0 ? 0 : 1] : h[2 * k], im = real ? 0.0 : -h[2 * k + 1];
    const double nre = real ? nh[k == 0 ? 0 : 1] : nh[2 * k], nim = real ? 0.0 : -nh[2 * k + 1];
    const double power = re * re + im * im;
    curves.Power[k] = power;
    (*phase)[k] = static_cast<float>(std::atan2(im, re) * 180.0 / std::numbers::pi);
    // Group delay = Re(FFT(n h) / FFT(h)).
    (*delay)[k] = static_cast<float>(power > MinPower ? (nre * re + nim * im) / power * msPerSample : 0.0);
  }
  curves.PhaseDeg = std::move(phase);
  curves.GroupDelayMs = std::move(delay);
}

} // namespace

TResponseCurves ComputeCurves(std::vector<float> response, double sampleRate, int64_t decayEnd) {
  TResponseCurves curves;
  curves.SampleRate = sampleRate;
  if (response.empty())
    response.push_back(0.0f);
  curves.PeakIndex = PeakOf(response);
  curves.EtcDb = EnergyTime(response);
  curves.SchroederDb = Schroeder(response, decayEnd, (*curves.EtcDb)[static_cast<size_t>(curves.PeakIndex)]);
  Spectra(response, curves);
  curves.Impulse = std::make_shared<const std::vector<float>>(std::move(response));
  return curves;
}

std::vector<float> SmoothedMagnitudeDb(const std::vector<double>& power, int fraction) {
  std::vector<float> magnitude(power.size());
  if (fraction <= 0) {
    std::transform(power.begin(), power.end(), magnitude.begin(), Db);
    return magnitude;
  }
  // Prefix sums make every band's average one subtraction.
  std::vector<double> prefix(power.size() + 1, 0.0);
  for (size_t k = 0; k < power.size(); ++k)
    prefix[k + 1] = prefix[k] + power[k];
  const double half = std::pow(2.0, 0.5 / fraction);
  const auto last = static_cast<double>(power.size() - 1);
  for (size_t k = 0; k < power.size(); ++k) {
    const double centre = static_cast<double>(k);
    const auto low = static_cast<size_t>(std::ceil(centre / half));
    const auto high = static_cast<size_t>(std::min(last, std::floor(centre * half)));
    const size_t top = std::max(high, k);
    const size_t bottom = std::min(low, k);
    magnitude[k] = Db((prefix[top + 1] - prefix[bottom]) / static_cast<double>(top - bottom + 1));
  }
  return magnitude;
}

} // namespace ravelin
