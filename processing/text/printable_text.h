// Text from outside shown to people: file names, trace text, driver messages.
//
// Such text reaches the activity log and message boxes inside our own lines.
// A control character in it could end a log line and begin a forged one (a
// trace file named "x<CR><LF>12/9/2026 9:00:00 AM: Processing complete."), or
// hide part of a line from the reader, so every control character is shown
// escaped instead: CR, LF and tab as \r, \n and \t, the others as \xHH, and
// the Unicode line breaks a viewer might honour as \u0085, \u2028, \u2029.
#pragma once

#include <string>
#include <string_view>

namespace travik {

// True when printableText would change the text.
bool hasControlCharacters(std::string_view text);
// The text with every control character escaped.
std::string printableText(std::string_view text);

}  // namespace travik
