// Tables of the analyses beside the batch report (room parameters, harmonic
// curves), written by the batch report's rules: CSV with RFC 4180 quoting, or
// a JSON array of objects keyed by the header's names.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "report.h"

namespace ravelin {

// One cell: a number (text as written), a text, or nothing.
struct TTableCell {
  enum class TKind { Number, Text, None } Kind = TKind::None;
  std::string Value;
};

// Fixed decimals; a value that rounds to zero is written without a sign, and
// nothing for one that is not finite.
TTableCell NumberCell(double value, int decimals);
// Nothing for an absent value.
TTableCell NumberCell(const std::optional<double>& value, int decimals);
TTableCell TextCell(std::string value);

// header: comma-separated names, one per cell of every row.
void WriteTable(std::ostream& out, const std::string& header,
                const std::vector<std::vector<TTableCell>>& rows, TReportFormat format);

} // namespace ravelin
