// Writing a request line: what the Explorer's context-menu handler (KZVContextMenu.dll) puts on
// the program's command line as one argument. Every item (a full path) is followed by "*", and
// the marker ends the line: "C:\d\a.txt*C:\d\b*<". "<" asks to pack the items, or to unpack a
// single ".kzv" archive into a new folder beside it; ">" asks to show the items selected in the
// main window, or to unpack a single archive where it lies. A plain archive path, without "*"
// or marker, asks to browse it. None of "*", "<" and ">" can occur in a Windows file name.
//
// Header only and free of the rest of the program, so the handler builds it on its own; the
// program reads the line with requests/request_line.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvik::requests {

inline constexpr char kItemEnd = '*';
inline constexpr char kPackMarker = '<';
inline constexpr char kSelectMarker = '>';
// A first item with exactly this extension (case counts) is an archive.
inline constexpr std::string_view kArchiveExtension = ".kzv";

// The file name of a path without its last extension ("C:\\d\\a.tar.gz" gives "a.tar",
// "C:\\d\\.profile" gives ""); blanks and control characters around the path are not part
// of it. The name an archive or an unpack folder takes after the first item.
inline std::string name_without_extension(std::string_view path) {
  while (!path.empty() && static_cast<unsigned char>(path.front()) <= 0x20) path.remove_prefix(1);
  while (!path.empty() && static_cast<unsigned char>(path.back()) <= 0x20) path.remove_suffix(1);
  const auto cut = path.rfind('\\');
  const std::string_view name = cut == std::string_view::npos ? path : path.substr(cut + 1);
  const auto dot = name.rfind('.');
  return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

// Every item followed by "*", then `marker`.
inline std::string write_request(const std::vector<std::string>& items, char marker) {
  std::string line;
  for (const auto& item : items) {
    line += item;
    line += kItemEnd;
  }
  line += marker;
  return line;
}

}  // namespace tarvik::requests
