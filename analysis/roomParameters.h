// Room-acoustic parameters of one impulse response per octave or one-third
// octave band, after ISO 3382-1: the band's energy decays from the onset,
// truncated where the decay meets the noise and compensated for the energy
// lost beyond (Lundeby et al. 1995), integrated backwards (Schroeder) and
// fitted by least squares. A value the band's dynamic range cannot support is
// left out with a warning.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "bandFilters.h"
#include "report.h"

namespace ravelin {

struct TBandParameters {
  double BandHz = 0.0;         // nominal mid-band frequency
  std::optional<double> EdtS;  // early decay time: fit 0 to -10 dB, times 6
  std::optional<double> T20S;  // fit -5 to -25 dB, times 3
  std::optional<double> T30S;  // fit -5 to -35 dB, times 2
  std::optional<double> C50Db; // early (first 50 ms) to late energy
  std::optional<double> C80Db; // the same at 80 ms
  std::optional<double> D50;   // early (50 ms) to total energy
  std::optional<double> TsMs;  // centre time: first moment of the energy
  std::optional<double> InrDb; // the decay's level at the onset above the noise
  std::vector<std::string> Warnings;
};

// The first sample whose square comes within 20 dB of the largest; 0 for
// silence.
int32_t ResponseOnset(const float* response, int32_t length);

// The bands' parameters of length samples at sampleRate. Times are counted
// from the broadband onset (ResponseOnset) in every band. Throws TRavelinError
// beyond the band filters' largest transform.
std::vector<TBandParameters> RoomParameters(const float* response, int32_t length, int32_t sampleRate,
                                            TBandWidth width);

// A fitted decay line, by its ends: time in s from the onset, level in dB re
// the band's total energy.
struct TFittedLine {
  double StartS = 0.0;
  double StartDb = 0.0;
  double EndS = 0.0;
  double EndDb = 0.0;
};

// The backward integral the band's decay times were fitted to, for plots.
struct TBandDecay {
  double StepS = 0.0;                       // between points; the first lies at the onset
  std::vector<float> LevelDb;               // dB re the band's total energy, up to the truncation point
  std::optional<TFittedLine> Edt, T20, T30; // where the decay time is given
};

struct TBandAnalysis {
  TBandParameters Parameters;
  TBandDecay Decay;
};

// RoomParameters with each band's decay.
std::vector<TBandAnalysis> RoomAnalysis(const float* response, int32_t length, int32_t sampleRate,
                                        TBandWidth width);

// A row of the room report: a band of one file's channel, or a failed file.
struct TRoomRow {
  std::string File;
  int Channel = 0;                           // from 1; 0 for a file that failed
  std::optional<TBandParameters> Parameters; // none for a failed file
  std::vector<std::string> Warnings;         // the band's warnings, or the error
};

// The rows of one file: a row per channel and band.
std::vector<TRoomRow> RoomRows(const std::string& file,
                               const std::vector<std::vector<TBandParameters>>& channels);

inline constexpr const char* RoomReportHeader =
    "file,channel,band_hz,edt_s,t20_s,t30_s,c50_db,c80_db,d50,ts_ms,inr_db,warnings";

// Writes the rows as the batch report does (format by ReportFormatOf): times
// in s with 3 decimals, dB and ms with 2, D50 with 3, absent values empty
// (CSV) or null (JSON), warnings joined by "; ".
void WriteRoomReport(std::ostream& out, const std::vector<TRoomRow>& rows, TReportFormat format);

// Warning texts.
inline constexpr const char* NoDecayWarning = "no decay above the noise";
// After the decay time's name, when bandwidth x decay time lies below 16.
inline constexpr const char* FilterDecayWarning = " near the band filter's own decay time";
// "<parameter> needs <n> dB of decay above the noise, the band has <m> dB"
std::string RangeWarning(const char* parameter, double neededDb, double inrDb);

} // namespace ravelin
