#include "format/printable.h"

#include <cstdio>

namespace tarvik::format {

namespace {

// Code points that steer a terminal or change how the text around them looks.
bool is_hidden(char32_t c) {
  return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) ||  // C0, DEL, C1
         (c >= 0x200B && c <= 0x200F) ||                       // zero-width, LRM, RLM
         (c >= 0x2028 && c <= 0x202E) ||                       // separators, embeddings
         (c >= 0x2060 && c <= 0x2069) ||                       // word joiner, isolates
         c == 0xFEFF;                                          // zero-width no-break space
}

std::string code_of_byte(unsigned char byte) {
  char text[8];
  std::snprintf(text, sizeof text, "<%02X>", byte);
  return text;
}

std::string code_of(char32_t c) {
  char text[16];
  std::snprintf(text, sizeof text, "<U+%04X>", static_cast<unsigned>(c));
  return text;
}

// The code point of well-formed UTF-8 at `at` and its length; length 0 when malformed.
std::pair<char32_t, std::size_t> decode(std::string_view s, std::size_t at) {
  const auto lead = static_cast<unsigned char>(s[at]);
  if (lead < 0x80) return {lead, 1};
  std::size_t length;
  char32_t c;
  char32_t least;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, c = lead & 0x1F, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, c = lead & 0x0F, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, c = lead & 0x07, least = 0x10000;
  } else {
    return {0, 0};
  }
  if (s.size() - at < length) return {0, 0};
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(s[at + i]);
    if ((next & 0xC0) != 0x80) return {0, 0};
    c = (c << 6) | (next & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return {0, 0};
  return {c, length};
}

}  // namespace

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const auto [c, length] = decode(text, at);
    if (length == 0) {
      out += code_of_byte(static_cast<unsigned char>(text[at]));
      ++at;
      continue;
    }
    if (is_hidden(c)) {
      out += c < 0x80 ? code_of_byte(static_cast<unsigned char>(c)) : code_of(c);
    } else {
      out.append(text, at, length);
    }
    at += length;
  }
  return out;
}

}  // namespace tarvik::format
