#include "format/printable.h"

#include "platform/utf8.h"

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

void append_code_of_byte(std::string& out, unsigned char byte) {
  char text[8];
  const int n = std::snprintf(text, sizeof text, "<%02X>", byte);
  out.append(text, static_cast<std::size_t>(n));
}

void append_code_of(std::string& out, char32_t c) {
  char text[16];
  const int n = std::snprintf(text, sizeof text, "<U+%04X>", static_cast<unsigned>(c));
  out.append(text, static_cast<std::size_t>(n));
}

}  // namespace

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  append_printable(out, text);
  return out;
}

void append_printable(std::string& out, std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    // A run of plain ASCII, as most names are, goes in at once.
    std::size_t plain = at;
    while (plain < text.size() && text[plain] >= 0x20 && text[plain] < 0x7F) ++plain;
    out.append(text, at, plain - at);
    at = plain;
    if (at == text.size()) break;
    const std::size_t start = at;
    const auto c = utf8::decode(text, at);
    if (!c) {
      append_code_of_byte(out, static_cast<unsigned char>(text[at]));
      ++at;
    } else if (!is_hidden(*c)) {
      out.append(text, start, at - start);
    } else if (*c < 0x80) {
      append_code_of_byte(out, static_cast<unsigned char>(*c));
    } else {
      append_code_of(out, *c);
    }
  }
}

}  // namespace tarvik::format
