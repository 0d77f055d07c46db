// Which stored paths may be written below a target folder. A relative path of an archive
// begins with "\" and names a file or folder below the folder the archive was packed from; an
// entry whose path could reach outside the target folder, or names a Windows device, is
// refused and never written.
#pragma once

#include <string_view>

namespace tarvik::unpack {

// True when `relative` (UTF-8, beginning with "\") stays below whatever folder it is joined
// to and names no device. Refused:
//   - a path not beginning with exactly one "\" (so "\\server\share" too), empty components;
//   - components made only of dots and spaces ("..", ".", ". .");
//   - ":" anywhere (a drive letter, a stream name), "/" anywhere (a second separator);
//   - control characters (a NUL would cut the path short);
//   - the Windows device names CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-COM9, LPT1-LPT9 in
//     any case, with or without an extension, on every system (such an archive cannot be
//     extracted on Windows, so it is refused everywhere alike).
bool is_safe_relative_path(std::string_view relative);

// True for a single name that Windows reserves for a device ("con", "NUL.txt", "Com1 .log").
bool is_device_name(std::string_view component);

}  // namespace tarvik::unpack
