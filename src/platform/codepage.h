// Names to and from the archive's 8-bit code page: the ANSI code page on Windows (CP_ACP,
// converted through the wide API), Windows-1251 on Linux. Inside the program text is UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik::codepage {

// UTF-8 to archive bytes; nullopt when some character has no form in the code page
// (never a silent '?').
std::optional<std::string> to_archive(std::string_view utf8);
// Archive bytes to UTF-8.
std::string from_archive(std::string_view bytes);

// Characters (code points) of UTF-8 text.
inline std::size_t code_points(std::string_view utf8) {
  std::size_t n = 0;
  for (char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

#ifdef _WIN32
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);
// A Windows path for the wide file API: one too long for the plain API (an absolute path of
// 248 characters or more) gets the "\\?\" prefix, so paths up to the format's limit work.
std::wstring widen_path(std::string_view utf8);
#endif

}  // namespace tarvik::codepage
