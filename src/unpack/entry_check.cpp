#include "unpack/entry_check.h"

#include "format/layout.h"
#include "format/names.h"
#include "format/messages.h"
#include "platform/fs.h"
#include "unpack/safe_path.h"

namespace tarvik::unpack {

namespace {

constexpr char kSeparator = '\\';
// The longest suffix a file's work file adds to its name ("~999" and ".tzp").
constexpr std::string_view kWorkSuffixRoom = "~999.tzp";

}  // namespace

std::optional<std::string> EntryCheck::refusal(std::string_view relative, bool is_file) {
  if (!is_safe_relative_path(relative)) return msg::unsafe_entry(relative);

  // Each level below the target: its names must fit, and none may be a file taken before.
  const std::string folded = format::fold_case(relative);
  std::size_t start = 1;
  while (true) {
    const std::size_t end = relative.find(kSeparator, start);
    const bool last = end == std::string_view::npos;
    const std::string_view name = relative.substr(start, last ? std::string_view::npos : end - start);
    const bool fits = last && is_file ? fs::name_fits(std::string(name) + std::string(kWorkSuffixRoom))
                                      : fs::name_fits(name);
    if (!fits) return msg::name_too_long(relative);
    if (last) break;
    const auto level = taken_.find(folded.substr(0, end));
    if (level != taken_.end() && level->second.kind == Kind::File)
      return msg::entry_clash(relative, level->second.relative, true);
    start = end + 1;
  }
  const auto same = taken_.find(folded);
  if (same != taken_.end()) {
    if (same->second.kind == Kind::Folder && is_file)
      return msg::entry_clash(relative, same->second.relative, false);
    if (same->second.kind == Kind::File && !is_file)
      return msg::entry_clash(relative, same->second.relative, true);
    return std::nullopt;  // the same file again replaces it; the same folder is there
  }

  taken_.emplace(folded, Taken{is_file ? Kind::File : Kind::Folder, std::string(relative)});
  for (std::size_t at = relative.find(kSeparator, 1); at != std::string_view::npos;
       at = relative.find(kSeparator, at + 1)) {
    taken_.try_emplace(folded.substr(0, at),
                       Taken{Kind::Folder, std::string(relative.substr(0, at))});
  }
  return std::nullopt;
}

}  // namespace tarvik::unpack
