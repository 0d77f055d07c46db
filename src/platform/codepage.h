// Names to and from the archive's 8-bit code page: the ANSI code page on Windows (CP_ACP,
// converted through the wide API), Windows-1251 on Linux. Inside the program text is UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvik::codepage {

// UTF-8 to archive bytes; nullopt when some character has no form in the code page
// (never a silent '?').
std::optional<std::string> to_archive(std::string_view utf8);
// Archive bytes to UTF-8.
std::string from_archive(std::string_view bytes);

#ifdef _WIN32
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);
#endif

}  // namespace tarvik::codepage
