// Volume file names and volume numbers.
//   single volume: F\N.kzv        self-extracting: F\N.exe
//   multi-volume:  F\N.001.kzv    self-extracting: F\N.001.exe;  later volumes F\N.NNN.kzv
// The separator after a drive root ("C:\") is not doubled.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvik::format {

// Three characters whose second and third are ":\", such as "C:\".
bool is_drive_root(std::string_view folder);
// folder + "\" + name, without doubling the separator after a drive root (or any folder
// already ending in "\").
std::string join_path(std::string_view folder, std::string_view name);
// The path (UTF-8) with Latin and Cyrillic capitals made small, as Windows compares names.
std::string fold_case(std::string_view utf8);
// The last component of a Windows path, and the folder before it (no trailing "\" unless a
// drive root).
std::string_view file_name_part(std::string_view path);
std::string_view folder_part(std::string_view path);

// "001" to "999"; nullopt outside 1..999.
std::optional<std::string> volume_number_text(int number);
// nullopt unless exactly three digits giving 1..999.
std::optional<int> parse_volume_number(std::string_view text);

struct ArchiveKind {
  bool multi_volume = false;
  bool self_extracting = false;
};
// The file name of volume `number` (1 = the first volume) of archive `name` in `folder`.
std::string volume_file_name(std::string_view folder, std::string_view name, ArchiveKind kind,
                             int number);

// The next volume's file name (without folder) after the volume file `current` (a name
// without folder): its trailing ".NNN.kzv" or ".NNN.exe" is replaced by the next number and
// ".kzv"; a first volume named N.exe or N.kzv (or a name without either ending) gets
// ".NNN.kzv" in place of its extension. Dots elsewhere in the name are kept.
std::string next_volume_file_name(std::string_view current, int next_number);

// The rollback journals' file names: "Tarvik_file.tmp" first, then "Tarvik_file~1.tmp",
// "Tarvik_file~2.tmp", ... for operations that run at the same time.
std::string journal_file_name(int number);
// True for a name of that form (letters in any case, as Windows compares names).
bool is_journal_file_name(std::string_view name);

}  // namespace tarvik::format
