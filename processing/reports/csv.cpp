#include "processing/reports/csv.h"

namespace travik {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// An optional sign, digits and at most one decimal point.
bool isPlainNumber(std::string_view value) {
  std::size_t at = value[0] == '+' || value[0] == '-' ? 1 : 0;
  bool digits = false, point = false;
  for (; at < value.size(); ++at) {
    if (isDigit(value[at])) {
      digits = true;
    } else if (value[at] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digits;
}

}  // namespace

bool csvNeedsQuotes(std::string_view value) { return value.find_first_of(",\"\r\n") != std::string_view::npos; }

bool csvLooksLikeFormula(std::string_view value) {
  if (value.empty()) return false;
  switch (value[0]) {
    case '=':
    case '@':
    case '\t':
    case '\r': return true;
    case '+':
    case '-': return !isPlainNumber(value);
    default: return false;
  }
}

void appendCsvField(std::string& line, std::string_view value, bool alwaysQuoted, bool text) {
  const bool apostrophe = text && csvLooksLikeFormula(value);
  if (!alwaysQuoted && !csvNeedsQuotes(value)) {
    if (apostrophe) line += '\'';
    line += value;
    return;
  }
  line += '"';
  if (apostrophe) line += '\'';
  for (const char c : value) {
    if (c == '"') line += '"';
    line += c;
  }
  line += '"';
}

}  // namespace travik
