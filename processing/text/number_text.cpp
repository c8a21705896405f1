#include "processing/text/number_text.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace travik {

namespace {

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<double> decimalNumber(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // Checked here rather than left to from_chars, which also reads "inf" and "nan".
  std::size_t digits = 0;
  bool point = false;
  for (char c : text) {
    if (isDigit(c)) {
      ++digits;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return std::nullopt;
    }
  }
  if (digits == 0) return std::nullopt;
  double value = 0;
  // from_chars, unlike strtod, does not follow the locale's decimal point.
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (end != text.data() + text.size()) return std::nullopt;
  if (error == std::errc::result_out_of_range) {
    // Still a number: too large (the caller's range check refuses it), or too close to 0.
    const std::string_view whole = text.substr(0, text.find('.'));
    value = whole.find_first_not_of('0') == std::string_view::npos ? 0.0 : HUGE_VAL;
  } else if (error != std::errc()) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

std::optional<double> roundedWholeNumber(std::string_view text) {
  const std::optional<double> value = decimalNumber(text);
  if (!value) return std::nullopt;
  // The default rounding mode rounds halves to the even neighbour.
  return std::nearbyint(*value);
}

}  // namespace travik
