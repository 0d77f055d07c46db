// Error codes of Linux: errno values, described by strerror_r.
#include "platform/error.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace tarvik {
namespace {

// strerror_r comes in two forms: GNU returns the text, XSI fills the buffer and returns 0.
[[maybe_unused]] const char* strerror_text(const char* result, const char*) { return result; }
[[maybe_unused]] const char* strerror_text(int result, const char* buffer) {
  return result == 0 ? buffer : nullptr;
}

}  // namespace

std::string describe_os_error(int code) {
  char buffer[256] = {};
  const char* text = strerror_text(strerror_r(code, buffer, sizeof buffer), buffer);
  if (text == nullptr || *text == '\0') return "error " + std::to_string(code);
  return text;
}

int os_error_disk_full() { return ENOSPC; }
int os_error_not_found() { return ENOENT; }
int os_error_access_denied() { return EACCES; }
bool os_error_is_disk_full(int code) { return code == ENOSPC || code == EDQUOT; }
bool os_error_is_not_found(int code) { return code == ENOENT || code == ENOTDIR; }
bool os_error_is_access_denied(int code) { return code == EACCES || code == EPERM; }
bool os_error_is_exists(int code) { return code == EEXIST; }

}  // namespace tarvik
