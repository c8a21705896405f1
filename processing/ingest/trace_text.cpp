#include "processing/ingest/trace_text.h"

#include <cstdint>
#include <cstring>

namespace travik {

namespace {

// Windows-1252 0x80-0x9F; the five unassigned bytes map to the C1 controls
// of the same value, as the platform's own conversion does.
constexpr char16_t kWindows1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                           0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool allAscii(std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t n = bytes.size();
  while (n >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    if (word & 0x8080808080808080ull) return false;
    p += 8;
    n -= 8;
  }
  while (n--)
    if (static_cast<unsigned char>(*p++) & 0x80) return false;
  return true;
}

void appendCodePoint(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void appendWithoutNul(std::string_view bytes, std::string& out) {
  if (std::memchr(bytes.data(), '\0', bytes.size()) == nullptr) {
    out.append(bytes);
    return;
  }
  for (char c : bytes)
    if (c != '\0') out += c;
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
  if (allAscii(bytes)) return true;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* end = p + bytes.size();
  while (p < end) {
    const unsigned char c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      if (c == 0xE0) low = 0xA0;   // no overlong forms
      if (c == 0xED) high = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      if (c == 0xF0) low = 0x90;   // no overlong forms
      if (c == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
      return false;
    }
    if (static_cast<std::size_t>(end - p) < length) return false;
    if (p[1] < low || p[1] > high) return false;
    for (std::size_t i = 2; i < length; ++i)
      if ((p[i] & 0xC0) != 0x80) return false;
    p += length;
  }
  return true;
}

void appendTraceText(std::string_view bytes, std::string& out) {
  if (isValidUtf8(bytes)) {
    appendWithoutNul(bytes, out);
    return;
  }
  for (char byte : bytes) {
    const auto c = static_cast<unsigned char>(byte);
    if (c == 0) continue;
    if (c < 0x80)
      out += byte;
    else if (c < 0xA0)
      appendCodePoint(kWindows1252High[c - 0x80], out);
    else
      appendCodePoint(c, out);  // 0xA0-0xFF are Latin-1
  }
}

std::size_t utf8PrefixBytes(std::string_view utf8, std::size_t maxCharacters) {
  if (utf8.size() <= maxCharacters) return utf8.size();
  std::size_t characters = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if ((static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) continue;  // continuation byte
    if (characters == maxCharacters) return i;
    ++characters;
  }
  return utf8.size();
}

std::size_t utf8Length(std::string_view utf8) {
  std::size_t characters = 0;
  for (char c : utf8)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++characters;
  return characters;
}

}  // namespace travik
