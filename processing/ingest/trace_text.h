// Text of the gateway's trace files as the system stores it.
//
// The gateway writes bytes, not a declared encoding: a stretch that is valid
// UTF-8 is kept as it is, anything else is read as Windows-1252 (the code page
// of the gateway's own platform) and converted.  Lengths the system limits
// (254 characters of event text) count characters, never bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace travik {

// True when bytes is well-formed UTF-8 (no overlong forms, surrogates or
// code points past U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// Appends bytes to out as UTF-8: kept when valid UTF-8, otherwise converted
// from Windows-1252.  NUL bytes are dropped: they come from damaged files,
// carry nothing, and would cut the text short in every reader of the row.
void appendTraceText(std::string_view bytes, std::string& out);

// The number of bytes of the first maxCharacters characters of UTF-8 text.
std::size_t utf8PrefixBytes(std::string_view utf8, std::size_t maxCharacters);

// Number of characters of UTF-8 text.
std::size_t utf8Length(std::string_view utf8);

}  // namespace travik
