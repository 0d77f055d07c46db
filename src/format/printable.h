// Text as it may be shown on a terminal or in a window. Names come from archives, and an
// archive may hold any byte in a name: a carriage return that hides "..\..\.bashrc" behind
// "harmless.txt", an escape sequence that retitles the window or clears the screen. Such
// characters are written as a code in angle brackets, which no name Windows can hold
// contains: <0D>, <1B>, <7F> for control bytes, <U+202E> for control and format characters
// beyond (C1 controls, direction marks and overrides, zero-width characters), <FF> for a byte
// that is not part of well-formed UTF-8. Everything else is kept as it is.
#pragma once

#include <string>
#include <string_view>

namespace tarvik::format {

// `text` (UTF-8) with every such character written as its code. Idempotent. The result holds
// no control byte (below 0x20, 0x7F) and is well-formed UTF-8.
std::string printable(std::string_view text);
// The same, appended to `out` (no allocation when `out` has the room).
void append_printable(std::string& out, std::string_view text);

}  // namespace tarvik::format
