// Fields of the comma-separated report files.
//
// Report values are written as they are, except that a value holding a comma,
// a double quote, a carriage return or a line feed is quoted RFC 4180 style
// (inner quotes doubled): otherwise such a value would shift every later field
// of its line for any reader of the file.
//
// Text cells carry what remote parties control (text names, serial numbers,
// protocol levels).  A spreadsheet reads a cell that begins with "=", "+",
// "-", "@", a tab or a carriage return as a formula, so such a text cell is
// written behind an apostrophe, which spreadsheets take as "this is text".
// Plain numbers ("-5", "+3.25") are left alone: they are no formulas, and a
// number column never gets the apostrophe.
#pragma once

#include <string>
#include <string_view>

namespace travik {

// True when the value cannot stand bare in a comma-separated line.
bool csvNeedsQuotes(std::string_view value);

// True when a spreadsheet would read the text as a formula.
bool csvLooksLikeFormula(std::string_view value);

// Appends one field to a line.  A column that the report always quotes passes
// alwaysQuoted; its value is then enclosed in double quotes even when empty.
// A text value that looks like a formula gets a leading apostrophe; a number
// column passes text false and is written as it is.
void appendCsvField(std::string& line, std::string_view value, bool alwaysQuoted = false, bool text = true);

}  // namespace travik
