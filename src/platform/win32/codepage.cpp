// Names on Windows: UTF-8 inside the program, UTF-16 for the W API, the ANSI code page
// (CP_ACP) in the archive.
#include "platform/codepage.h"

#include <windows.h>

#include <climits>

namespace tarvik::codepage {
namespace {

int length_of(std::size_t size) { return size > INT_MAX ? INT_MAX : static_cast<int>(size); }

// UTF-8 to UTF-16; nullopt for invalid UTF-8 when `strict`, else U+FFFD stands in for it.
std::optional<std::wstring> to_wide(std::string_view utf8, bool strict) {
  if (utf8.empty()) return std::wstring();
  const DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
  const int size = length_of(utf8.size());
  const int n = ::MultiByteToWideChar(CP_UTF8, flags, utf8.data(), size, nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, flags, utf8.data(), size, wide.data(), n);
  return wide;
}

}  // namespace

std::wstring widen(std::string_view utf8) { return to_wide(utf8, false).value_or(L""); }

std::wstring widen_path(std::string_view utf8) {
  // CreateDirectoryW stops at 248 characters, the rest of the plain API at 260.
  constexpr std::size_t kPlainLimit = 248;
  std::wstring wide = widen(utf8);
  if (wide.size() < kPlainLimit) return wide;
  if (wide.size() >= 3 && wide[1] == L':' && wide[2] == L'\\') return L"\\\\?\\" + wide;
  if (wide.starts_with(L"\\\\") && !wide.starts_with(L"\\\\?\\"))
    return L"\\\\?\\UNC\\" + wide.substr(2);
  return wide;
}

std::string narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = length_of(wide.size());
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string utf8(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), n, nullptr, nullptr);
  return utf8;
}

std::optional<std::string> to_archive(std::string_view utf8) {
  const auto wide = to_wide(utf8, true);
  if (!wide) return std::nullopt;
  if (wide->empty()) return std::string();
  if (::GetACP() == CP_UTF8) return std::string(utf8);  // no defaults to report there
  const int size = length_of(wide->size());
  BOOL used_default = FALSE;
  const int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide->data(), size, nullptr, 0,
                                      nullptr, &used_default);
  if (n <= 0 || used_default) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide->data(), size, bytes.data(), n, nullptr,
                        &used_default);
  if (used_default) return std::nullopt;
  return bytes;
}

std::string from_archive(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int size = length_of(bytes.size());
  const int n = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), n);
  return narrow(wide);
}

}  // namespace tarvik::codepage
