// Reading UTF-8 one character at a time, strictly: what is not well formed is reported, never
// guessed at, so callers can show or refuse the bytes themselves.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace tarvik::utf8 {

// Decodes one character of well-formed UTF-8 at `at`, advancing it; nullopt (and `at` left
// alone) for anything else: stray continuation bytes, truncated or overlong forms, surrogates,
// beyond U+10FFFF.
inline std::optional<char32_t> decode(std::string_view text, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length;
  char32_t c;
  char32_t least;
  if (lead < 0x80) {
    ++at;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, c = lead & 0x1F, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, c = lead & 0x0F, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, c = lead & 0x07, least = 0x10000;
  } else {
    return std::nullopt;
  }
  if (text.size() - at < length) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    c = (c << 6) | (next & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
  at += length;
  return c;
}

}  // namespace tarvik::utf8
