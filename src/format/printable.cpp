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

}  // namespace

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t start = at;
    const auto c = utf8::decode(text, at);
    if (!c) {
      out += code_of_byte(static_cast<unsigned char>(text[at]));
      ++at;
    } else if (is_hidden(*c)) {
      out += *c < 0x80 ? code_of_byte(static_cast<unsigned char>(*c)) : code_of(*c);
    } else {
      out.append(text, start, at - start);
    }
  }
  return out;
}

}  // namespace tarvik::format
