#include "table.h"

#include <cmath>
#include <cstdio>
#include <ostream>

namespace ravelin {

namespace {

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

std::vector<std::string> Keys(const std::string& header) {
  std::vector<std::string> keys;
  for (size_t start = 0, comma = 0; comma != std::string::npos; start = comma + 1) {
    comma = header.find(',', start);
    keys.push_back(header.substr(start, comma - start));
  }
  return keys;
}

void WriteCsv(std::ostream& out, const std::string& header,
              const std::vector<std::vector<TTableCell>>& rows) {
  out << header << '\n';
  for (const std::vector<TTableCell>& cells : rows) {
    for (size_t i = 0; i < cells.size(); ++i)
      out << (i > 0 ? "," : "")
          << (cells[i].Kind == TTableCell::TKind::Text ? CsvText(cells[i].Value) : cells[i].Value);
    out << '\n';
  }
}

void WriteJson(std::ostream& out, const std::string& header,
               const std::vector<std::vector<TTableCell>>& rows) {
  const std::vector<std::string> keys = Keys(header);
  out << '[';
  for (size_t r = 0; r < rows.size(); ++r) {
    out << (r > 0 ? ",\n " : "\n ") << '{';
    for (size_t i = 0; i < rows[r].size() && i < keys.size(); ++i) {
      const TTableCell& cell = rows[r][i];
      out << (i > 0 ? ", " : "") << JsonText(keys[i]) << ": ";
      switch (cell.Kind) {
      case TTableCell::TKind::Number: out << cell.Value; break;
      case TTableCell::TKind::Text: out << JsonText(cell.Value); break;
      case TTableCell::TKind::None: out << "null"; break;
      }
    }
    out << '}';
  }
  out << (rows.empty() ? "]\n" : "\n]\n");
}

} // namespace

TTableCell NumberCell(double value, int decimals) {
  if (!std::isfinite(value))
    return {};
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  const std::string written = text;
  const bool zero = written.find_first_not_of("-0.") == std::string::npos;
  return {TTableCell::TKind::Number, zero && written[0] == '-' ? written.substr(1) : written};
}

TTableCell NumberCell(const std::optional<double>& value, int decimals) {
  return value ? NumberCell(*value, decimals) : TTableCell{};
}

TTableCell TextCell(std::string value) {
  return {TTableCell::TKind::Text, std::move(value)};
}

void WriteTable(std::ostream& out, const std::string& header,
                const std::vector<std::vector<TTableCell>>& rows, TReportFormat format) {
  if (format == TReportFormat::Csv)
    WriteCsv(out, header, rows);
  else
    WriteJson(out, header, rows);
}

} // namespace ravelin
