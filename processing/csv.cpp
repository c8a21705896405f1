#include "processing/csv.h"

namespace travik {

bool csvNeedsQuotes(std::string_view value) { return value.find_first_of(",\"\r\n") != std::string_view::npos; }

void appendCsvField(std::string& line, std::string_view value, bool alwaysQuoted) {
  if (!alwaysQuoted && !csvNeedsQuotes(value)) {
    line += value;
    return;
  }
  line += '"';
  for (const char c : value) {
    if (c == '"') line += '"';
    line += c;
  }
  line += '"';
}

}  // namespace travik
