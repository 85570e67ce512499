// The batch report: one row per file and channel with its figures, written
// as CSV or as a JSON array of objects with the same keys.
#pragma once

#include <array>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "figures.h"

namespace ravelin {

struct TReportRow {
  std::string File;
  int Channel = 0;                          // from 1; 0 for a file that failed (no channel)
  std::optional<TChannelFigures> Figures;   // none for a failed file
  std::optional<TRecordingLevel> Recording; // none for an existing response file
  std::vector<std::string> Warnings;        // the figures' warnings, or the error
  // With the harmonics: THD in percent at 100 Hz, 1 kHz and 10 kHz (none
  // outside the sweep's range).
  std::array<std::optional<double>, 3> ThdPct;
};

// The rows of one file: a row per channel, the recording levels beside the
// channels they belong to (recordings may be empty).
std::vector<TReportRow> FileRows(const std::string& file, const std::vector<TChannelFigures>& channels,
                                 const std::vector<TRecordingLevel>& recordings);
// The row of a file that failed with error.
TReportRow FailedRow(const std::string& file, const std::string& error);

enum class TReportFormat { Csv, Json };

// Csv for a path ending in ".csv" or "-", Json for ".json" (case-insensitive);
// nothing for any other path.
std::optional<TReportFormat> ReportFormatOf(const std::string& path);

// The CSV header line, without its line end.
inline constexpr const char* ReportHeader = "file,channel,latency_ms,peak_dbfs,noise_floor_dbfs,pnr_db,"
                                            "decay_end_ms,recording_peak_dbfs,clipped_samples,warnings";

// The columns that follow the header's with the harmonics.
inline constexpr const char* ReportHarmonicColumns = "thd_100hz_pct,thd_1khz_pct,thd_10khz_pct";

// Writes the rows; numbers with fixed decimals (ms 3, dB 2, % 4), absent
// values empty (CSV) or null (JSON), warnings joined by "; "; the THD columns
// only with harmonics.
void WriteReport(std::ostream& out, const std::vector<TReportRow>& rows, TReportFormat format,
                 bool harmonics = false);

} // namespace ravelin
