// Which names an archive entry may have: the rules that packing applies to what it stores and
// unpacking to what it writes, so that both refuse the same names on every system. A relative
// path of an archive begins with "\" and names a file or folder below the folder the archive
// was packed from.
#pragma once

#include <string_view>

namespace tarvik::format {

// True when `relative` (UTF-8, beginning with "\") stays below whatever folder it is joined
// to and every component is a name Windows can hold. Refused:
//   - a path not beginning with exactly one "\" (so "\\server\share" too), empty components;
//   - components made only of dots and spaces ("..", ".", ". .");
//   - the characters < > : " / | ? * anywhere (a drive letter, a stream name, a second
//     separator) and control characters (a NUL would cut the path short);
//   - a component ending in a blank or a dot (Windows drops them, so the file written would
//     not be the one named);
//   - the Windows device names CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-COM9, LPT1-LPT9 in
//     any case, with or without an extension, on every system (such an archive cannot be
//     extracted on Windows, so it is refused everywhere alike).
bool is_safe_relative_path(std::string_view relative);

// True for a single name that Windows reserves for a device ("con", "NUL.txt", "Com1 .log").
bool is_device_name(std::string_view component);

// True for a single name (no separators) that is safe as a component of a relative path.
bool is_safe_name(std::string_view component);

}  // namespace tarvik::format
