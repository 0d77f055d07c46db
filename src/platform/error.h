// The one base of every error the program throws, and the errors of the operating system,
// carried with their code and the file they concern up to the edge, where they are turned
// into words.
#pragma once

#include <stdexcept>
#include <string>

namespace tarvik {

// Every error type of the program derives from this one (a std::exception); what() is Russian
// text that may be shown as it is.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The system's own reason for an error code (strerror on Linux, FormatMessageW on Windows),
// as UTF-8 text.
std::string describe_os_error(int code);

// A failed file-system call. `path` is the Windows path text (UTF-8) of the file concerned.
class OsError : public Error {
 public:
  OsError(int code, std::string path)
      : Error(describe_os_error(code)), code_(code), path_(std::move(path)) {}
  int code() const { return code_; }
  const std::string& path() const { return path_; }
  // The reason in words.
  std::string reason() const { return what(); }

 private:
  int code_;
  std::string path_;
};

// An error code for "disk full" and "not found", platform-neutral, for tests and seams.
int os_error_disk_full();
int os_error_not_found();
int os_error_access_denied();
// Whether `code` means "the name is already taken".
bool os_error_is_exists(int code);
// Whether `code` means "disk full" / "not found" in any of the system's forms (on Windows also
// ERROR_HANDLE_DISK_FULL, and ERROR_PATH_NOT_FOUND for a missing folder on the way).
bool os_error_is_disk_full(int code);
bool os_error_is_not_found(int code);
bool os_error_is_access_denied(int code);

}  // namespace tarvik
