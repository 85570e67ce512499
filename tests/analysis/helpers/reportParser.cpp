#include "reportParser.h"

#include <cctype>
#include <cstdlib>

namespace ravelin::test {

std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record;
  std::string field;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
        field += text[++i];
      else if (c == '"')
        quoted = false;
      else
        field += c;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',' || c == '\n') {
      record.push_back(field);
      field.clear();
      if (c == '\n') {
        records.push_back(record);
        record.clear();
      }
    } else {
      field += c;
    }
  }
  return records;
}

namespace {

class TJsonReader {
public:
  explicit TJsonReader(const std::string& text) : FText(text) {}

  std::optional<std::vector<TJsonObject>> Objects() {
    std::vector<TJsonObject> objects;
    if (!Take('['))
      return std::nullopt;
    if (Take(']'))
      return objects;
    do {
      TJsonObject object;
      if (!Object(object))
        return std::nullopt;
      objects.push_back(object);
    } while (Take(','));
    if (!Take(']'))
      return std::nullopt;
    SkipBlanks();
    return FPos == FText.size() ? std::optional(objects) : std::nullopt;
  }

private:
  void SkipBlanks() {
    while (FPos < FText.size() && std::isspace(static_cast<unsigned char>(FText[FPos])))
      ++FPos;
  }
  bool Take(char c) {
    SkipBlanks();
    if (FPos >= FText.size() || FText[FPos] != c)
      return false;
    ++FPos;
    return true;
  }
  bool String(std::string& value) {
    if (!Take('"'))
      return false;
    for (; FPos < FText.size() && FText[FPos] != '"'; ++FPos) {
      if (static_cast<unsigned char>(FText[FPos]) < 0x20)
        return false;
      if (FText[FPos] != '\\') {
        value += FText[FPos];
        continue;
      }
      const char escape = FText[++FPos];
      if (escape == 'u') {
        value += static_cast<char>(std::strtol(FText.substr(FPos + 1, 4).c_str(), nullptr, 16));
        FPos += 4;
      } else {
        value += escape == 'n' ? '\n' : escape == 'r' ? '\r' : escape == 't' ? '\t' : escape;
      }
    }
    return Take('"');
  }
  bool Value(TJsonValue& value) {
    SkipBlanks();
    if (FText.compare(FPos, 4, "null") == 0) {
      FPos += 4;
      return true;
    }
    if (FPos < FText.size() && FText[FPos] == '"') {
      std::string text;
      const bool ok = String(text);
      value = text;
      return ok;
    }
    const char* start = FText.c_str() + FPos;
    char* end = nullptr;
    value = std::strtod(start, &end);
    FPos += static_cast<size_t>(end - start);
    return end != start;
  }
  bool Object(TJsonObject& object) {
    if (!Take('{'))
      return false;
    do {
      std::string key;
      TJsonValue value;
      if (!String(key) || !Take(':') || !Value(value) || object.count(key) > 0)
        return false;
      object[key] = value;
    } while (Take(','));
    return Take('}');
  }

  const std::string& FText;
  size_t FPos = 0;
};

} // namespace

std::optional<std::vector<TJsonObject>> ParseJsonObjects(const std::string& text) {
  return TJsonReader(text).Objects();
}

} // namespace ravelin::test
