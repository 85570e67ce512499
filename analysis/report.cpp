#include "report.h"

#include <algorithm>
#include <cctype>

#include "table.h"

namespace ravelin {

namespace {

std::string JoinWarnings(const std::vector<std::string>& warnings) {
  std::string text;
  for (const std::string& warning : warnings)
    text += (text.empty() ? "" : "; ") + warning;
  return text;
}

std::vector<TTableCell> Cells(const TReportRow& row, bool harmonics) {
  std::vector<TTableCell> cells{
      TextCell(row.File), {}, {}, {}, {}, {}, {}, {}, {}, TextCell(JoinWarnings(row.Warnings))};
  if (row.Channel > 0)
    cells[1] = NumberCell(row.Channel, 0);
  if (row.Figures) {
    const TChannelFigures& f = *row.Figures;
    cells[2] = NumberCell(f.LatencyMs, 3);
    cells[3] = NumberCell(f.PeakDbfs, 2);
    cells[4] = NumberCell(f.NoiseFloorDbfs, 2);
    cells[5] = NumberCell(f.PnrDb, 2);
    cells[6] = NumberCell(f.DecayEndMs, 3);
  }
  if (row.Recording) {
    cells[7] = NumberCell(row.Recording->PeakDbfs, 2);
    cells[8] = NumberCell(static_cast<double>(row.Recording->ClippedSamples), 0);
  }
  for (size_t i = 0; harmonics && i < row.ThdPct.size(); ++i)
    cells.push_back(NumberCell(row.ThdPct[i], 4));
  return cells;
}

bool EndsWith(const std::string& path, const std::string& suffix) {
  if (path.size() < suffix.size())
    return false;
  return std::equal(suffix.begin(), suffix.end(), path.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                    [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

} // namespace

std::vector<TReportRow> FileRows(const std::string& file, const std::vector<TChannelFigures>& channels,
                                 const std::vector<TRecordingLevel>& recordings) {
  std::vector<TReportRow> rows;
  for (size_t c = 0; c < channels.size(); ++c) {
    TReportRow row{file, static_cast<int>(c + 1), channels[c], {}, channels[c].Warnings, {}};
    if (c < recordings.size())
      row.Recording = recordings[c];
    rows.push_back(std::move(row));
  }
  return rows;
}

TReportRow FailedRow(const std::string& file, const std::string& error) {
  return {file, 0, {}, {}, {error}, {}};
}

std::optional<TReportFormat> ReportFormatOf(const std::string& path) {
  if (path == "-" || EndsWith(path, ".csv"))
    return TReportFormat::Csv;
  if (EndsWith(path, ".json"))
    return TReportFormat::Json;
  return std::nullopt;
}

void WriteReport(std::ostream& out, const std::vector<TReportRow>& rows, TReportFormat format,
                 bool harmonics) {
  std::vector<std::vector<TTableCell>> cells;
  for (const TReportRow& row : rows)
    cells.push_back(Cells(row, harmonics));
  const std::string header =
      std::string(ReportHeader) + (harmonics ? std::string(",") + ReportHarmonicColumns : "");
  WriteTable(out, header, cells, format);
}

} // namespace ravelin
