// The one check of an entry before it is written: unpack makes it on every entry it would
// write (the whole archive, the chosen entries, the self-extracting run) and `tarvik test` on
// every entry, so a test fails exactly where an unpack would refuse, with the same message.
//
// An entry is refused when
//   - its path is not safe below the target folder (unpack/safe_path.h);
//   - one of its names is too long for the file system (with room for the work-file suffix
//     after a file's name);
//   - it clashes with an entry taken before it: a file where the archive already had a folder
//     (stated, or implied by a path below it), a folder where it had a file, or anything
//     below a file.
// Names are compared as Windows compares them, without regard to letter case (Latin and
// Cyrillic), on every system alike: such an archive cannot be unpacked on Windows, so it is
// refused everywhere. A refused entry is not remembered; the entries after it are checked
// against the entries taken.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tarvik::unpack {

class EntryCheck {
 public:
  // The message refusing the entry (UTF-8 relative path beginning with "\"), or nullopt when
  // it may be written; then it is remembered.
  std::optional<std::string> refusal(std::string_view relative, bool is_file);

 private:
  enum class Kind { File, Folder };
  struct Taken {
    Kind kind;
    std::string relative;  // as first stored, for the message
  };
  std::unordered_map<std::string, Taken> taken_;  // by the case-folded relative path
};


}  // namespace tarvik::unpack
