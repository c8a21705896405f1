// Numbers written as text: the one form in which the system reads them.
//
// Settings rows and the words of trace lines hold numbers as decimal text.
// The form is deliberately narrow: optional blanks, an optional sign, digits
// with an optional fractional part.  No exponent, no hexadecimal, no "inf"
// or "nan": such texts do not convert, so a damaged value is reported rather
// than read as something no one wrote.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace travik {

// The value of `text`, or nothing when it is not a decimal number.  A number
// beyond the range of a double reads as an infinity of its sign.
std::optional<double> decimalNumber(std::string_view text);

// `text` rounded to the nearest whole number, halves to the even neighbour.
// Nothing when the text is not a decimal number; the range is the caller's.
std::optional<double> roundedWholeNumber(std::string_view text);

}  // namespace travik
