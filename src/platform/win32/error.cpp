// Error codes of Windows: GetLastError values, described by FormatMessageW.
#include "platform/error.h"

#include <windows.h>

#include <string>

#include "platform/codepage.h"

namespace tarvik {

std::string describe_os_error(int code) {
  wchar_t* buffer = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (n == 0 || buffer == nullptr) return "error " + std::to_string(code);
  std::wstring text(buffer, n);
  ::LocalFree(buffer);
  const auto end = text.find_last_not_of(L"\r\n. ");
  text.erase(end == std::wstring::npos ? 0 : end + 1);
  if (text.empty()) return "error " + std::to_string(code);
  return codepage::narrow(text);
}

int os_error_disk_full() { return ERROR_DISK_FULL; }
int os_error_not_found() { return ERROR_FILE_NOT_FOUND; }
int os_error_access_denied() { return ERROR_ACCESS_DENIED; }

bool os_error_is_disk_full(int code) {
  return code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL;
}

bool os_error_is_not_found(int code) {
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

bool os_error_is_access_denied(int code) { return code == ERROR_ACCESS_DENIED; }
bool os_error_is_exists(int code) {
  return code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
}

}  // namespace tarvik
