#include "report.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ostream>

namespace ravelin {

namespace {

// One cell: a number (text as written), a text, or nothing.
struct TCell {
  enum class TKind { Number, Text, None } Kind = TKind::None;
  std::string Value;
};

TCell Number(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  const std::string written = text;
  // A value that rounds to zero is written without a sign.
  const bool zero = written.find_first_not_of("-0.") == std::string::npos;
  return {TCell::TKind::Number, zero && written[0] == '-' ? written.substr(1) : written};
}

TCell Text(std::string value) {
  return {TCell::TKind::Text, std::move(value)};
}

std::string JoinWarnings(const std::vector<std::string>& warnings) {
  std::string text;
  for (const std::string& warning : warnings)
    text += (text.empty() ? "" : "; ") + warning;
  return text;
}

std::vector<TCell> Cells(const TReportRow& row, bool harmonics) {
  std::vector<TCell> cells{Text(row.File), {}, {}, {}, {}, {}, {}, {}, {}, Text(JoinWarnings(row.Warnings))};
  if (row.Channel > 0)
    cells[1] = Number(row.Channel, 0);
  if (row.Figures) {
    const TChannelFigures& f = *row.Figures;
    cells[2] = Number(f.LatencyMs, 3);
    cells[3] = Number(f.PeakDbfs, 2);
    cells[4] = Number(f.NoiseFloorDbfs, 2);
    cells[5] = Number(f.PnrDb, 2);
    cells[6] = Number(f.DecayEndMs, 3);
  }
  if (row.Recording) {
    cells[7] = Number(row.Recording->PeakDbfs, 2);
    cells[8] = Number(static_cast<double>(row.Recording->ClippedSamples), 0);
  }
  for (size_t i = 0; harmonics && i < row.ThdPct.size(); ++i)
    cells.push_back(row.ThdPct[i] ? Number(*row.ThdPct[i], 4) : TCell{});
  return cells;
}

// A text cell in quotes when it holds a separator, a quote or a line break.
std::string CsvText(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos)
    return text;
  std::string quoted = "\"";
  for (char c : text)
    quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string JsonText(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    const auto code = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (code < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", code);
      quoted += escape;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

std::string Header(bool harmonics) {
  return std::string(ReportHeader) + (harmonics ? std::string(",") + ReportHarmonicColumns : "");
}

std::vector<std::string> Keys(bool harmonics) {
  std::vector<std::string> keys;
  const std::string header = Header(harmonics);
  for (size_t start = 0, comma = 0; comma != std::string::npos; start = comma + 1) {
    comma = header.find(',', start);
    keys.push_back(header.substr(start, comma - start));
  }
  return keys;
}

void WriteCsv(std::ostream& out, const std::vector<TReportRow>& rows, bool harmonics) {
  out << Header(harmonics) << '\n';
  for (const TReportRow& row : rows) {
    const std::vector<TCell> cells = Cells(row, harmonics);
    for (size_t i = 0; i < cells.size(); ++i)
      out << (i > 0 ? "," : "")
          << (cells[i].Kind == TCell::TKind::Text ? CsvText(cells[i].Value) : cells[i].Value);
    out << '\n';
  }
}

void WriteJson(std::ostream& out, const std::vector<TReportRow>& rows, bool harmonics) {
  const std::vector<std::string> keys = Keys(harmonics);
  out << '[';
  for (size_t r = 0; r < rows.size(); ++r) {
    const std::vector<TCell> cells = Cells(rows[r], harmonics);
    out << (r > 0 ? ",\n " : "\n ") << '{';
    for (size_t i = 0; i < cells.size(); ++i) {
      out << (i > 0 ? ", " : "") << JsonText(keys[i]) << ": ";
      switch (cells[i].Kind) {
      case TCell::TKind::Number: out << cells[i].Value; break;
      case TCell::TKind::Text: out << JsonText(cells[i].Value); break;
      case TCell::TKind::None: out << "null"; break;
      }
    }
    out << '}';
  }
  out << (rows.empty() ? "]\n" : "\n]\n");
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
  if (format == TReportFormat::Csv)
    WriteCsv(out, rows, harmonics);
  else
    WriteJson(out, rows, harmonics);
}

} // namespace ravelin
