// Helpers shared by the Linux implementations of the file system seams.
#pragma once

#include <cerrno>
#include <ctime>
#include <mutex>
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

// The stamp of a local wall time (mktime: the system's zone and daylight saving); throws
// OsError (EINVAL) naming `win_path` for a time that is not valid. The last time converted on
// each thread is remembered: the entries of an archive mostly share few dates, and mktime asks
// the system for the zone every time.
inline std::time_t stamp_or_throw(const fs::LocalTime& time, const std::string& win_path) {
  if (!fs::is_valid_local_time(time)) throw OsError(EINVAL, win_path);
  thread_local fs::LocalTime last_time{};
  thread_local std::time_t last_stamp = 0;
  if (time == last_time) return last_stamp;
  std::tm tm{};
  tm.tm_year = time.year - 1900;
  tm.tm_mon = time.month - 1;
  tm.tm_mday = time.day;
  tm.tm_hour = time.hour;
  tm.tm_min = time.minute;
  tm.tm_sec = time.second;
  tm.tm_isdst = -1;
  {
    // mktime is safe on threads by glibc's own lock, which the thread sanitizer cannot see.
    static std::mutex zone;
    std::lock_guard lock(zone);
    last_stamp = std::mktime(&tm);
  }
  last_time = time;
  return last_stamp;
}

}  // namespace tarvik::posix
