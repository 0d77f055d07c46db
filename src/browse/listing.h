// The archive browser's list, without any window: which records are rows of a level, what
// the columns say, and how the level changes going down and up. A level is "" at the top of
// the archive, else a backslash before each folder name ("\A", "\A\B"). Names are UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ops/operation.h"
#include "platform/ui.h"
#include "unpack/extract.h"

namespace tarvik::browse {

// One row of the list: "Название", "Тип", "Создан", "Полный, байтов", "Сжат, байтов".
struct Row {
  std::string name;         // the entry's name at this level (for the whole tree: its path)
  bool is_folder = false;   // any record but a file record
  std::string date;         // as stored; empty for a folder
  std::string full_size;    // as stored; empty for a folder
  std::string packed_size;  // decimal; empty for a folder

  std::string_view type() const;                   // "Файл" or "Папка"
  int image() const { return is_folder ? 0 : 1; }  // ImageList1: 0 folder, 1 file
  friend bool operator==(const Row&, const Row&) = default;
};

// The row that `entry` gives at `level`, or none when it is not a direct child of the level:
// with Q = "\" + path, a row when Q begins with level + "\" and the rest of the path after its
// first level.size() characters holds no "\"; that rest is the row's name.
std::optional<Row> row_at_level(const ListedEntry& entry, std::string_view level);
// The name alone of that row (a view into `path`), or none.
std::optional<std::string_view> name_at_level(std::string_view path, std::string_view level);
// The row of an entry in the whole-tree listing: its whole path as the name.
Row tree_row(const ListedEntry& entry);

// Going down into the folder row `name`, and up one level ("" stays "").
std::string level_down(std::string_view level, std::string_view name);
std::string level_up(std::string_view level);
// ChosenEntry of a row: its name, with "\" appended for a folder.
std::string chosen_entry(const Row& row);

struct Listing {
  Outcome outcome = Outcome::Done;
  std::vector<Row> rows;  // in archive order
};
// Walks the archive from volume 001 (Raspakovka1) and collects the rows of `level`.
Listing list_level(const std::string& first_volume, std::string_view level, Ui& ui);
// Every record, for the whole-tree listing (`tarvik list -r`).
Listing list_tree(const std::string& first_volume, Ui& ui);

}  // namespace tarvik::browse
