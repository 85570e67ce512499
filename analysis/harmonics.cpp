#include "harmonics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>

#include "buffers.h"
#include "curves.h"
#include "errors.h"
#include "fft.h"
#include "figures.h"
#include "table.h"

namespace ravelin {

namespace {

constexpr int GridPerOctave = 24;

// Power spectrum (bins 0 .. M/2) of the circular response's samples
// zeroIndex + [Begin, End), zero-padded to the transform's size M.
std::vector<double> WindowPower(const double* full, int32_t size, int32_t zeroIndex,
                                const THarmonicWindow& window, const TFastFourierTransform& fft) {
  std::vector<double> work(static_cast<size_t>(fft.Size()), 0.0);
  for (int64_t j = window.Begin; j < window.End; ++j) {
    const int64_t index = ((zeroIndex + j) % size + size) % size;
    work[static_cast<size_t>(j - window.Begin)] = full[index];
  }
  fft.Forward(work.data());
  const size_t half = work.size() / 2;
  std::vector<double> power(half + 1);
  power[0] = work[0] * work[0];
  power[half] = work[1] * work[1];
  for (size_t b = 1; b < half; ++b)
    power[b] = work[2 * b] * work[2 * b] + work[2 * b + 1] * work[2 * b + 1];
  return power;
}

// Samples from the linear response's peak to where its decay meets the noise,
// over the time from zero to twice the space between the linear response and
// order 2 (the widest space between orders). When what follows the decay lies
// less than MinWindowPnrDb below the peak, the decay has not ended within
// that time, and all of it counts.
int64_t LinearDecaySamples(const double* full, int32_t size, int32_t zeroIndex, const THarmonicWindow& second,
                           int32_t sampleRate) {
  constexpr double MinWindowPnrDb = 20.0;
  std::vector<float> linear(static_cast<size_t>(2 * (second.End - second.Zero)));
  for (size_t j = 0; j < linear.size(); ++j)
    linear[j] = static_cast<float>(full[(static_cast<size_t>(zeroIndex) + j) % static_cast<size_t>(size)]);
  const TChannelFigures figures =
      AnalyzeResponse(linear.data(), static_cast<int32_t>(linear.size()), {sampleRate, 0, 0});
  const int64_t end =
      figures.PnrDb < MinWindowPnrDb ? static_cast<int64_t>(linear.size()) : figures.DecayEndIndex;
  return end - figures.PeakIndex;
}

std::string OverlapText(int order, double decayMs, double spaceMs) {
  char text[200];
  std::snprintf(text, sizeof text,
                "%s%d: the system's decay (%.1f ms) outlasts half the space between orders (%.1f ms); "
                "use a longer sweep",
                OverlapWarning, order, decayMs, spaceMs);
  return text;
}

// Each order's response must decay within its window, before the next lower
// order's window begins; the linear response's decay stands for all orders.
void AddOverlapWarning(const double* full, int32_t size, int32_t zeroIndex,
                       const std::vector<THarmonicWindow>& windows, int32_t sampleRate,
                       THarmonicCurves& curves) {
  const int64_t decay = LinearDecaySamples(full, size, zeroIndex, windows[1], sampleRate);
  for (size_t i = 1; i < windows.size(); ++i) {
    const int64_t space = windows[i].End - windows[i].Zero;
    if (decay > space) {
      curves.Warnings.push_back(OverlapText(static_cast<int>(i + 1),
                                            1000.0 * static_cast<double>(decay) / sampleRate,
                                            1000.0 * static_cast<double>(space) / sampleRate));
      return;
    }
  }
}

void CheckArguments(const TSweepParameters& sweep, int maxOrder, int32_t sampleRate) {
  if (maxOrder < MinHarmonicOrder || maxOrder > MaxHarmonicOrder)
    throw TRavelinError("Harmonic orders must lie from 2 to 10!");
  if (!(sweep.StartHz > 0.0 && sweep.EndHz > sweep.StartHz && sweep.DurationS > 0.0) || sampleRate <= 0)
    throw TRavelinError("The sweep's parameters do not describe an exponential sweep!");
}

} // namespace

double HarmonicAdvanceS(const TSweepParameters& sweep, int order) {
  return sweep.DurationS * std::log(static_cast<double>(order)) / std::log(sweep.EndHz / sweep.StartHz);
}

std::vector<THarmonicWindow> HarmonicWindows(const TSweepParameters& sweep, int maxOrder,
                                             int32_t sampleRate) {
  std::vector<int64_t> advance; // advance[k - 1]: order k's advance in samples, k = 1 .. maxOrder + 1
  for (int k = 1; k <= maxOrder + 1; ++k)
    advance.push_back(std::llround(HarmonicAdvanceS(sweep, k) * sampleRate));
  std::vector<THarmonicWindow> windows{{-advance[1] / 2, advance[1] / 2, 0}};
  for (int k = 2; k <= maxOrder; ++k) {
    const auto i = static_cast<size_t>(k - 1);
    windows.push_back({-(advance[i] + advance[i + 1]) / 2, -(advance[i - 1] + advance[i]) / 2, -advance[i]});
  }
  return windows;
}

THarmonicCurves HarmonicDistortion(const double* full, int32_t size, int32_t zeroIndex, int32_t sampleRate,
                                   const TSweepParameters& sweep, int maxOrder,
                                   const std::vector<double>& frequencies, int smoothing) {
  CheckArguments(sweep, maxOrder, sampleRate);
  const std::vector<THarmonicWindow> windows = HarmonicWindows(sweep, maxOrder, sampleRate);
  if (windows.front().End - windows.back().Begin > size)
    throw TRavelinError("The response is shorter than the harmonic orders' span!");
  int64_t longest = 0;
  for (const THarmonicWindow& window : windows)
    longest = std::max(longest, window.End - window.Begin);
  const TFastFourierTransform fft(std::max(
      TFastFourierTransform::MinOrder, BitLength(static_cast<uint32_t>(std::max<int64_t>(longest - 1, 1)))));
  const double binHz = static_cast<double>(sampleRate) / fft.Size();

  THarmonicCurves curves;
  curves.FrequencyHz = frequencies;
  const std::vector<double> linear =
      SmoothPower(WindowPower(full, size, zeroIndex, windows[0], fft), binHz, frequencies, smoothing);
  std::vector<double> distortion(frequencies.size(), 0.0);
  for (int k = 2; k <= maxOrder; ++k) {
    std::vector<double> harmonic(frequencies.size());
    std::transform(frequencies.begin(), frequencies.end(), harmonic.begin(), [k](double f) { return k * f; });
    const std::vector<double> power =
        SmoothPower(WindowPower(full, size, zeroIndex, windows[static_cast<size_t>(k - 1)], fft), binHz,
                    harmonic, smoothing);
    std::vector<std::optional<double>>& levels = curves.OrderDb.emplace_back(frequencies.size());
    for (size_t i = 0; i < frequencies.size(); ++i) {
      const double f = frequencies[i];
      if (f < sweep.StartHz || f > sweep.EndHz || k * f > sampleRate / 2.0 || !(linear[i] > 0.0))
        continue;
      levels[i] = 10.0 * std::log10(std::max(power[i] / linear[i], 1e-40));
      distortion[i] += power[i] / linear[i];
    }
  }
  for (size_t i = 0; i < frequencies.size(); ++i)
    curves.ThdPct.push_back(curves.OrderDb[0][i] ? std::optional(100.0 * std::sqrt(distortion[i]))
                                                 : std::nullopt);

  AddOverlapWarning(full, size, zeroIndex, windows, sampleRate, curves);
  return curves;
}

std::vector<double> HarmonicFrequencies(const TSweepParameters& sweep, int32_t sampleRate) {
  const double top = std::min(sweep.EndHz, sampleRate / 2.0);
  std::vector<double> frequencies;
  if (!(sweep.StartHz > 0.0 && top > sweep.StartHz))
    return frequencies;
  for (auto i = static_cast<int>(std::ceil(GridPerOctave * std::log2(sweep.StartHz / 1000.0)));
       1000.0 * std::exp2(static_cast<double>(i) / GridPerOctave) <= top; ++i)
    frequencies.push_back(1000.0 * std::exp2(static_cast<double>(i) / GridPerOctave));
  return frequencies;
}

void WriteHarmonicCurves(std::ostream& out, const THarmonicCurves& curves) {
  std::string header = "frequency_hz";
  for (size_t k = 0; k < curves.OrderDb.size(); ++k)
    header += ",h" + std::to_string(k + 2) + "_db";
  header += ",thd_pct";
  std::vector<std::vector<TTableCell>> rows;
  for (size_t i = 0; i < curves.FrequencyHz.size(); ++i) {
    std::vector<TTableCell>& row = rows.emplace_back();
    row.push_back(NumberCell(curves.FrequencyHz[i], 2));
    for (const std::vector<std::optional<double>>& order : curves.OrderDb)
      row.push_back(NumberCell(order[i], 2));
    row.push_back(NumberCell(curves.ThdPct[i], 4));
  }
  WriteTable(out, header, rows, TReportFormat::Csv);
}

} // namespace ravelin
