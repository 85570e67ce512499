#include "roomParameters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>

#include "decayEnd.h"
#include "table.h"

namespace ravelin {

namespace {

constexpr double OnsetDb = -20.0;
constexpr double RangeMarginDb = 10.0;  // a fit's lower end must lie this far above the noise
constexpr double EnergyMinInrDb = 20.0; // energy ratios and centre time need this much decay
constexpr double MinBandwidthTime =
    16.0; // bandwidth x decay time below which the filter's own decay biases it
constexpr int RefineIterations = 3;
constexpr int32_t MaxFitPoints = 1024;   // a fit uses at most about this many evenly spaced samples
constexpr int32_t MaxDecayPoints = 2048; // points of a band's backward integral for plots

// A fit of the backward integral over [TopDb, BottomDb], scaled to 60 dB.
struct TDecayFit {
  const char* Name;
  double TopDb;
  double BottomDb;
};
constexpr TDecayFit EdtFit{"EDT", 0.0, -10.0};
constexpr TDecayFit T20Fit{"T20", -5.0, -25.0};
constexpr TDecayFit T30Fit{"T30", -5.0, -35.0};

double PowerDb(double power) {
  return power > 0.0 ? std::max(SilentDbfs, 10.0 * std::log10(power)) : SilentDbfs;
}

// A least-squares line through the integral's level in dB over samples
// [First, Last) from the onset.
struct TLineFit {
  int32_t First = 0;
  int32_t Last = 0;
  double StartDb = 0.0; // at First
  double SlopeDb = 0.0; // per sample
};

// The band's decay as a line in dB: its mean square at the onset and its slope.
struct TDecayLine {
  double OnsetDb = 0.0;
  double SlopeDb = 0.0; // per sample, negative
};

// Where the decay line meets the noise, and the energy of the line continued
// from there as an exponential (the compensation).
struct TTruncation {
  int32_t End = 0;    // truncation point, exclusive
  double Ratio = 0.0; // the line's power ratio from one sample to the next
  double Tail = 0.0;  // the energy from End on

  TTruncation(const TDecayLine& line, double noiseDb, int32_t onset, size_t length) {
    const double crosspoint = onset + (line.OnsetDb - noiseDb) / -line.SlopeDb;
    End = static_cast<int32_t>(
        std::clamp<double>(std::round(crosspoint), onset + 1.0, static_cast<double>(length)));
    Ratio = std::pow(10.0, 0.1 * line.SlopeDb);
    Tail = std::pow(10.0, 0.1 * (line.OnsetDb + line.SlopeDb * (End - onset))) / (1.0 - Ratio);
  }
  // The tail's energy from onset + offset on, for offsets at or beyond End.
  double TailFrom(int32_t offset, int32_t onset) const {
    return Tail * std::pow(Ratio, offset - (End - onset));
  }
  // The tail's first moment about the onset, in samples
  // (sum over m >= 0 of (End - onset + m) Tail r^m (1 - r)).
  double TailMoment(int32_t onset) const { return Tail * ((End - onset) + Ratio / (1.0 - Ratio)); }
};

// The band's energy from any sample on, counted from the onset: the squared
// samples up to the truncation point, then the compensation. The total also
// holds the energy from start (at or before the onset) to the onset, where
// the band filter spreads the first arrival. The sums of squares are formed
// once; Truncate may be called again with a better line.
class TBandEnergy {
public:
  // squares is the storage of the sums, kept from one band to the next.
  TBandEnergy(const std::vector<float>& band, int32_t start, int32_t onset, int32_t sampleRate,
              std::vector<double>& squares) :
      FBand(band),
      FStart(start), FOnset(onset), FRate(sampleRate), FSquares(squares) {
    FSquares.resize(band.size() - static_cast<size_t>(start) + 1);
    FSquares.back() = 0.0;
    for (size_t i = band.size(); i-- > static_cast<size_t>(start);) {
      const auto sample = static_cast<double>(band[i]);
      FSquares[i - static_cast<size_t>(start)] =
          FSquares[i - static_cast<size_t>(start) + 1] + sample * sample;
    }
    FEarly = FSquares[0] - FSquares[static_cast<size_t>(onset - start)];
  }

  void Truncate(const TDecayLine& line, double noiseDb) {
    const TTruncation truncation(line, noiseDb, FOnset, FBand.size());
    FEnd = truncation.End;
    FRatio = truncation.Ratio;
    FTail = truncation.Tail;
  }

  double Total() const { return FEarly + Backward(0); }
  // Samples from the onset to the truncation point.
  int32_t Span() const { return FEnd - FOnset; }

  // The decay line the energy implies: its level at the onset from the total
  // (an exponential's sum is its first term / (1 - ratio)) and the slope of fit.
  std::optional<TDecayLine> Line(const TDecayFit& fit) const {
    const std::optional<double> time = DecayTime(fit);
    if (!time)
      return std::nullopt;
    const double slope = -60.0 / (*time * FRate);
    return TDecayLine{PowerDb(Total() * (1.0 - std::pow(10.0, 0.1 * slope))), slope};
  }

  // Decay time of the fit in seconds, or nothing when the integral does not
  // reach its lower end before the truncation point.
  std::optional<double> DecayTime(const TDecayFit& fit) const {
    const std::optional<TLineFit> line = Fit(fit);
    if (!line)
      return std::nullopt;
    return -60.0 / line->SlopeDb / FRate;
  }

  // The fit's line, or nothing as for DecayTime.
  std::optional<TLineFit> Fit(const TDecayFit& fit) const {
    const double top = Total() * std::pow(10.0, 0.1 * fit.TopDb);
    const double bottom = Total() * std::pow(10.0, 0.1 * fit.BottomDb);
    const int32_t count = FEnd - FOnset + 1;
    int32_t first = 0;
    while (first < count && Backward(first) > top)
      ++first;
    int32_t last = first;
    while (last < count && Backward(last) >= bottom)
      ++last;
    if (last == count || last - first < 2)
      return std::nullopt;
    const TLineFit line = FitLine(first, last);
    if (!(line.SlopeDb < 0.0))
      return std::nullopt;
    return line;
  }

  // The integral's level in dB re the total from the onset to the truncation
  // point, every step samples.
  std::vector<float> LevelsDb(int32_t step) const {
    std::vector<float> levels;
    const double totalDb = 10.0 * std::log10(Total());
    for (int32_t i = 0; i <= FEnd - FOnset; i += step)
      levels.push_back(static_cast<float>(10.0 * std::log10(Backward(i)) - totalDb));
    return levels;
  }

private:
  // Energy from onset + i on, for i from start - onset up to the truncation point.
  double Backward(int32_t i) const {
    return FSquares[static_cast<size_t>(i + FOnset - FStart)] - FSquares[static_cast<size_t>(FEnd - FStart)] +
           FTail;
  }

  // Least-squares line of the integral's level over [first, last).
  TLineFit FitLine(int32_t first, int32_t last) const {
    const int32_t step = std::max(1, (last - first) / MaxFitPoints);
    double n = 0.0, sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
    for (int32_t i = first; i < last; i += step) {
      const double x = i - first;
      const double y = 10.0 * std::log10(Backward(i));
      n += 1.0;
      sx += x;
      sy += y;
      sxx += x * x;
      sxy += x * y;
    }
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    return {first, last, (sy - slope * sx) / n, slope};
  }

  const std::vector<float>& FBand;
  int32_t FStart;
  int32_t FOnset;
  int32_t FRate;
  std::vector<double>& FSquares; // sum of squares from start + i to the band's end
  double FEarly = 0.0;           // energy ahead of the onset
  int32_t FEnd = 0;              // truncation point, exclusive
  double FRatio = 0.0;           // the line's power ratio from one sample to the next
  double FTail = 0.0;            // compensation: the energy from FEnd on
};

int32_t PeakIndex(const std::vector<float>& samples, int32_t from) {
  const auto first = samples.begin() + from;
  return static_cast<int32_t>(
      std::max_element(first, samples.end(), [](float a, float b) { return std::fabs(a) < std::fabs(b); }) -
      samples.begin());
}

void SetDecayTimes(const TBandEnergy& energy, double inrDb, double bandwidthHz, TBandParameters& band) {
  const std::pair<const TDecayFit*, std::optional<double>*> fits[] = {
      {&EdtFit, &band.EdtS}, {&T20Fit, &band.T20S}, {&T30Fit, &band.T30S}};
  for (const auto& [fit, value] : fits) {
    const double needed = RangeMarginDb - fit->BottomDb;
    if (inrDb < needed)
      band.Warnings.push_back(RangeWarning(fit->Name, needed, inrDb));
    else
      *value = energy.DecayTime(*fit);
    if (*value && **value * bandwidthHz < MinBandwidthTime)
      band.Warnings.push_back(std::string(fit->Name) + FilterDecayWarning);
  }
}

// The first sample of band (every step-th sample of the band signal) within
// 20 dB of its largest, or the onset if it comes before.
int32_t BandStart(const std::vector<float>& band, int32_t onset, int32_t step = 1) {
  return std::min(onset, step * ResponseOnset(band.data(), static_cast<int32_t>(band.size())));
}

// C50, C80, D50 and Ts of band (every step-th sample of the band signal, the
// onset at sample onset) truncated and compensated with the band's decay
// line, in one pass. Each sample stands for the energy of step samples.
void SetEnergyRatios(const std::vector<float>& band, int32_t step, int32_t onset, const TDecayLine& line,
                     double noiseDb, double inrDb, int32_t sampleRate, TBandParameters& parameters) {
  if (inrDb < EnergyMinInrDb) {
    parameters.Warnings.push_back(RangeWarning("C50, C80, D50 and Ts", EnergyMinInrDb, inrDb));
    return;
  }
  const TTruncation truncation(line, noiseDb, onset, band.size() * static_cast<size_t>(step));
  const auto n50 = static_cast<int32_t>(std::lround(0.05 * sampleRate));
  const auto n80 = static_cast<int32_t>(std::lround(0.08 * sampleRate));
  double total = truncation.Tail, moment = truncation.TailMoment(onset);
  double late50 = n50 < truncation.End - onset ? truncation.Tail : truncation.TailFrom(n50, onset);
  double late80 = n80 < truncation.End - onset ? truncation.Tail : truncation.TailFrom(n80, onset);
  // Sample i stands for the samples [i - (step - 1) / 2, i + (step + 1) / 2):
  // the share of them from sample b on.
  const double reach = 0.5 * (step + 1);
  const auto shareFrom = [&](int32_t i, double b) { return std::clamp((i + reach - b) / step, 0.0, 1.0); };
  const auto count = static_cast<int32_t>(band.size());
  for (int32_t i = BandStart(band, onset, step) / step * step;
       i / step < count && i + reach - step < truncation.End; i += step) {
    const auto sample = static_cast<double>(band[static_cast<size_t>(i / step)]);
    const double square = step * sample * sample * (1.0 - shareFrom(i, truncation.End));
    total += square;
    moment += (i - onset) * square;
    late50 += square * shareFrom(i, onset + n50);
    late80 += square * shareFrom(i, onset + n80);
  }
  parameters.C50Db = 10.0 * std::log10((total - late50) / late50);
  parameters.C80Db = 10.0 * std::log10((total - late80) / late80);
  parameters.D50 = (total - late50) / total;
  parameters.TsMs = 1000.0 * moment / total / sampleRate;
}

// The integral the decay times were fitted to, with the lines of those given.
TBandDecay BandDecay(const TBandEnergy& energy, const TBandParameters& band, int32_t sampleRate) {
  TBandDecay decay;
  const int32_t step = std::max(1, energy.Span() / MaxDecayPoints);
  decay.StepS = static_cast<double>(step) / sampleRate;
  decay.LevelDb = energy.LevelsDb(step);
  const double totalDb = 10.0 * std::log10(energy.Total());
  const std::tuple<const TDecayFit*, const std::optional<double>*, std::optional<TFittedLine>*> fits[] = {
      {&EdtFit, &band.EdtS, &decay.Edt},
      {&T20Fit, &band.T20S, &decay.T20},
      {&T30Fit, &band.T30S, &decay.T30}};
  for (const auto& [fit, value, line] : fits) {
    const std::optional<TLineFit> fitted = *value ? energy.Fit(*fit) : std::nullopt;
    if (fitted)
      *line = TFittedLine{static_cast<double>(fitted->First) / sampleRate, fitted->StartDb - totalDb,
                          static_cast<double>(fitted->Last - 1) / sampleRate,
                          fitted->StartDb + fitted->SlopeDb * (fitted->Last - 1 - fitted->First) - totalDb};
  }
  return decay;
}

// One band's response filtered both ways, the index of the response's onset
// in them, and the storage of the sums, all kept from one band to the next.
struct TBandSignals {
  std::vector<float> Reversed; // for the decay: the filter's ringing lies ahead of the onset
  std::vector<float> Zero;     // for the energy ratios: each arrival's energy keeps its time
  int32_t ZeroStep = 1;        // Zero holds every ZeroStep-th sample
  int32_t Onset = 0;
  std::vector<double> Work, Squares;
};

// The band's parameters, and its decay when one is asked for. The decay times
// come from the reversed filtering, whose decay after the onset is the
// response's own, however narrow the band; the energy ratios and the centre
// time from the zero-phase one, which keeps the first arrival's energy
// centred on it instead of ahead of the onset.
TBandParameters BandParameters(TBandSignals& signals, const TBand& band, int32_t sampleRate,
                               TBandDecay* plotted) {
  const std::vector<float>& filtered = signals.Reversed;
  const int32_t onset = signals.Onset;
  TBandParameters parameters;
  parameters.BandHz = band.NominalHz;
  const int32_t length = static_cast<int32_t>(filtered.size());
  const TDecayEnd decay = LundebyDecayEnd(filtered.data(), PeakIndex(filtered, onset), length, sampleRate);
  if (!(decay.SlopeDb < 0.0)) {
    parameters.Warnings.push_back(NoDecayWarning);
    return parameters;
  }
  const double noiseDb = PowerDb(decay.NoiseMeanSquare);
  TDecayLine line{decay.OffsetDb + decay.SlopeDb * onset, decay.SlopeDb};
  TBandEnergy energy(filtered, BandStart(filtered, onset), onset, sampleRate, signals.Squares);
  // The late-decay line of the noise search sets the first truncation and
  // compensation; the backward integral's own fit over the widest range the
  // decay supports then refines both.
  for (int i = 0; i < RefineIterations; ++i) {
    const TDecayFit& fit = line.OnsetDb - noiseDb >= RangeMarginDb - T30Fit.BottomDb   ? T30Fit
                           : line.OnsetDb - noiseDb >= RangeMarginDb - T20Fit.BottomDb ? T20Fit
                                                                                       : EdtFit;
    energy.Truncate(line, noiseDb);
    if (const std::optional<TDecayLine> refined = energy.Line(fit))
      line = *refined;
  }
  const double inrDb = line.OnsetDb - noiseDb;
  parameters.InrDb = inrDb;
  energy.Truncate(line, noiseDb);
  SetDecayTimes(energy, inrDb, BandwidthHz(band), parameters);
  SetEnergyRatios(signals.Zero, signals.ZeroStep, onset, line, noiseDb, inrDb, sampleRate, parameters);
  if (plotted)
    *plotted = BandDecay(energy, parameters, sampleRate);
  return parameters;
}

// Calls each(signals, band) for every band of width.
template <typename TEach>
void ForEachBand(const float* response, int32_t length, int32_t sampleRate, TBandWidth width, TEach each) {
  if (length <= 0 || sampleRate <= 0)
    return;
  const int32_t onset = ResponseOnset(response, length);
  const TBandFilterBank bank(response, length, sampleRate);
  TBandSignals signals;
  signals.Onset = onset + bank.Lead();
  for (const TBand& band : AnalysisBands(width, sampleRate)) {
    bank.Filter(band, TBandPhase::Reversed, signals.Work, signals.Reversed);
    signals.ZeroStep = bank.FilterReduced(band, signals.Work, signals.Zero);
    each(signals, band);
  }
}

std::vector<TTableCell> RoomCells(const TRoomRow& row) {
  std::string warnings;
  for (const std::string& warning : row.Warnings)
    warnings += (warnings.empty() ? "" : "; ") + warning;
  std::vector<TTableCell> cells{TextCell(row.File), {}, {}, {}, {}, {}, {}, {}, {}, {}, {},
                                TextCell(warnings)};
  if (row.Channel > 0)
    cells[1] = NumberCell(row.Channel, 0);
  if (const std::optional<TBandParameters>& p = row.Parameters) {
    cells[2] = NumberCell(p->BandHz, 0);
    cells[3] = NumberCell(p->EdtS, 3);
    cells[4] = NumberCell(p->T20S, 3);
    cells[5] = NumberCell(p->T30S, 3);
    cells[6] = NumberCell(p->C50Db, 2);
    cells[7] = NumberCell(p->C80Db, 2);
    cells[8] = NumberCell(p->D50, 3);
    cells[9] = NumberCell(p->TsMs, 2);
    cells[10] = NumberCell(p->InrDb, 2);
  }
  return cells;
}

} // namespace

int32_t ResponseOnset(const float* response, int32_t length) {
  double peak = 0.0;
  for (int32_t i = 0; i < length; ++i)
    peak = std::max(peak, static_cast<double>(response[i]) * static_cast<double>(response[i]));
  const double threshold = peak * std::pow(10.0, 0.1 * OnsetDb);
  for (int32_t i = 0; i < length; ++i)
    if (peak > 0.0 && static_cast<double>(response[i]) * static_cast<double>(response[i]) >= threshold)
      return i;
  return 0;
}

std::vector<TBandParameters> RoomParameters(const float* response, int32_t length, int32_t sampleRate,
                                            TBandWidth width) {
  std::vector<TBandParameters> bands;
  ForEachBand(response, length, sampleRate, width, [&](TBandSignals& signals, const TBand& band) {
    bands.push_back(BandParameters(signals, band, sampleRate, nullptr));
  });
  return bands;
}

std::vector<TBandAnalysis> RoomAnalysis(const float* response, int32_t length, int32_t sampleRate,
                                        TBandWidth width) {
  std::vector<TBandAnalysis> bands;
  ForEachBand(response, length, sampleRate, width, [&](TBandSignals& signals, const TBand& band) {
    TBandAnalysis analysis;
    analysis.Parameters = BandParameters(signals, band, sampleRate, &analysis.Decay);
    bands.push_back(std::move(analysis));
  });
  return bands;
}

std::string RangeWarning(const char* parameter, double neededDb, double inrDb) {
  char text[160];
  std::snprintf(text, sizeof text, "%s needs %.0f dB of decay above the noise, the band has %.1f dB",
                parameter, neededDb, inrDb);
  return text;
}

std::vector<TRoomRow> RoomRows(const std::string& file,
                               const std::vector<std::vector<TBandParameters>>& channels) {
  std::vector<TRoomRow> rows;
  for (size_t c = 0; c < channels.size(); ++c)
    for (const TBandParameters& band : channels[c])
      rows.push_back({file, static_cast<int>(c + 1), band, band.Warnings});
  return rows;
}

void WriteRoomReport(std::ostream& out, const std::vector<TRoomRow>& rows, TReportFormat format) {
  std::vector<std::vector<TTableCell>> cells;
  for (const TRoomRow& row : rows)
    cells.push_back(RoomCells(row));
  WriteTable(out, RoomReportHeader, cells, format);
}

} // namespace ravelin
