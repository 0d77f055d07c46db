// Helpers shared by the Linux implementations of the file system seams.
#pragma once

#include <cerrno>
#include <string>

#include "platform/error.h"
#include "platform/fs.h"

namespace tarvik::posix {

// The native path of Windows path text; throws OsError (not found) naming `win_path` when it
// names a drive other than Z:.
inline std::string native_or_throw(const std::string& win_path) {
  auto native = fs::to_native(win_path);
  if (!native) throw OsError(ENOENT, win_path);
  return native->string();
}

}  // namespace tarvik::posix
