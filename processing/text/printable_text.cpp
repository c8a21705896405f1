#include "processing/text/printable_text.h"

namespace travik {

namespace {

// The byte length of a Unicode line break encoded at text[at], or 0.
std::size_t unicodeLineBreak(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  if (byte(at) == 0xC2 && at + 1 < text.size() && byte(at + 1) == 0x85) return 2;  // U+0085
  if (byte(at) == 0xE2 && at + 2 < text.size() && byte(at + 1) == 0x80 &&
      (byte(at + 2) == 0xA8 || byte(at + 2) == 0xA9))
    return 3;  // U+2028, U+2029
  return 0;
}

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

}  // namespace

bool hasControlCharacters(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i)
    if (isControl(static_cast<unsigned char>(text[i])) || unicodeLineBreak(text, i)) return true;
  return false;
}

std::string printableText(std::string_view text) {
  if (!hasControlCharacters(text)) return std::string(text);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() + 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (const std::size_t length = unicodeLineBreak(text, i)) {
      out += length == 2 ? "\\u0085" : (static_cast<unsigned char>(text[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029");
      i += length - 1;
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (isControl(c)) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace travik
