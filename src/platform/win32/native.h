// Helpers shared by the Windows implementations of the file system seams.
#pragma once

#include <windows.h>

#include <string>

#include "platform/error.h"
#include "platform/fs.h"

namespace tarvik::win32 {

// The system's file time of a local wall time (the zone's rules of that date); throws OsError
// naming `win_path` for a time that is not valid.
inline FILETIME file_time_or_throw(const fs::LocalTime& time, const std::string& win_path) {
  if (!fs::is_valid_local_time(time)) throw OsError(ERROR_INVALID_PARAMETER, win_path);
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(time.year);
  st.wMonth = static_cast<WORD>(time.month);
  st.wDay = static_cast<WORD>(time.day);
  st.wHour = static_cast<WORD>(time.hour);
  st.wMinute = static_cast<WORD>(time.minute);
  st.wSecond = static_cast<WORD>(time.second);
  FILETIME local{};
  FILETIME utc{};
  if (!::SystemTimeToFileTime(&st, &local) || !::LocalFileTimeToFileTime(&local, &utc))
    throw OsError(static_cast<int>(::GetLastError()), win_path);
  return utc;
}

}  // namespace tarvik::win32
