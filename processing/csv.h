// Fields of the comma-separated report files.
//
// Report values are written as they are, except that a value holding a comma,
// a double quote, a carriage return or a line feed is quoted RFC 4180 style
// (inner quotes doubled): otherwise such a value would shift every later field
// of its line for any reader of the file.
#pragma once

#include <string>
#include <string_view>

namespace travik {

// True when the value cannot stand bare in a comma-separated line.
bool csvNeedsQuotes(std::string_view value);

// Appends one field to a line.  A column that the report always quotes passes
// alwaysQuoted; its value is then enclosed in double quotes even when empty.
void appendCsvField(std::string& line, std::string_view value, bool alwaysQuoted = false);

}  // namespace travik
