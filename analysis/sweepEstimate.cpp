#include "sweepEstimate.h"

#include <algorithm>
#include <cmath>

#include "errors.h"

namespace ravelin {

namespace {

constexpr int MinFitPoints = 16;
constexpr double MaxResidual = 0.05; // RMS of the natural log of frequency

// Running sums of a least-squares line y = Intercept + Slope t.
struct TLineFit {
  double Count = 0.0, T = 0.0, Y = 0.0, TT = 0.0, TY = 0.0, YY = 0.0;

  void Add(double t, double y) {
    Count += 1.0;
    T += t;
    Y += y;
    TT += t * t;
    TY += t * y;
    YY += y * y;
  }
  double Slope() const { return (Count * TY - T * Y) / (Count * TT - T * T); }
  double Intercept() const { return (Y - Slope() * T) / Count; }
  double ResidualRms() const {
    const double b = Slope(), a = Intercept();
    const double sum = YY - 2.0 * a * Y - 2.0 * b * TY + Count * a * a + 2.0 * a * b * T + b * b * TT;
    return std::sqrt(std::max(sum, 0.0) / Count);
  }
};

void CheckSweep(const TLineFit& fit) {
  if (fit.Count < MinFitPoints || !(fit.Slope() > 0.0) || fit.ResidualRms() > MaxResidual)
    throw TRavelinError("The test tone is not an exponential sweep!");
}

// The line of log frequency over time (s) through the periods between upward
// crossings (linearly interpolated) of samples first .. last below
// SweepFitTopShare of the rate. A period of length D holds the mean of
// f(t) = f(m) exp(k (t - m)) around its middle m, f(m) sinh(x) / x with
// x = k D / 2: slope k removes that bias.
TLineFit FitCrossings(const float* tone, int32_t first, int32_t last, int32_t sampleRate, double slope) {
  const double rate = sampleRate;
  TLineFit fit;
  double previous = -1.0;
  for (int32_t i = first + 1; i <= last; ++i) {
    if (!(tone[i - 1] < 0.0f && tone[i] >= 0.0f))
      continue;
    const auto below = static_cast<double>(tone[i - 1]), above = static_cast<double>(tone[i]);
    const double crossing = i - 1 + below / (below - above);
    if (previous >= 0.0 && rate / (crossing - previous) < SweepFitTopShare * rate) {
      const double x = 0.5 * slope * (crossing - previous) / rate;
      const double mean = x > 0.0 ? std::sinh(x) / x : 1.0;
      fit.Add(0.5 * (crossing + previous) / rate, std::log(rate / (crossing - previous) / mean));
    }
    previous = crossing;
  }
  return fit;
}

} // namespace

TSweepParameters EstimateSweep(const float* tone, int32_t length, int32_t sampleRate) {
  float peak = 0.0f;
  for (int32_t i = 0; i < length; ++i)
    peak = std::max(peak, std::fabs(tone[i]));
  const auto floor = static_cast<float>(SweepActiveShare * static_cast<double>(peak));
  int32_t first = 0, last = length - 1;
  while (first < length && !(std::fabs(tone[first]) >= floor && peak > 0.0f))
    ++first;
  while (last > first && std::fabs(tone[last]) < floor)
    --last;
  // The second fit corrects the first one's period means by its slope.
  const TLineFit rough = FitCrossings(tone, first, last, sampleRate, 0.0);
  CheckSweep(rough);
  const TLineFit fit = FitCrossings(tone, first, last, sampleRate, rough.Slope());
  CheckSweep(fit);
  const double start = first / static_cast<double>(sampleRate), end = last / static_cast<double>(sampleRate);
  return {std::exp(fit.Intercept() + fit.Slope() * start), std::exp(fit.Intercept() + fit.Slope() * end),
          end - start};
}

} // namespace ravelin
