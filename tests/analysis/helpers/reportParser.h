// Readers of the report's two formats, written from the formats' rules (RFC
// 4180 CSV, JSON) and not from the writer, so that a report can be parsed back.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace ravelin::test {

// CSV records: quoted fields may hold commas, doubled quotes and line breaks.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text);

// A JSON value of a flat object: null, a number or a string.
using TJsonValue = std::variant<std::monostate, double, std::string>;
using TJsonObject = std::map<std::string, TJsonValue>;
// An array of flat objects; nothing when the text is not one.
std::optional<std::vector<TJsonObject>> ParseJsonObjects(const std::string& text);

} // namespace ravelin::test
