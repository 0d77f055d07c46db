#include "browse/listing.h"

#include "format/fields.h"
#include "format/messages.h"

namespace tarvik::browse {

namespace {
constexpr char kSeparator = '\\';

Row make_row(const ListedEntry& entry, std::string name) {
  Row row;
  row.name = std::move(name);
  row.is_folder = entry.is_folder;
  if (!entry.is_folder) {
    row.date = entry.date;
    row.full_size = entry.size_text;
    row.packed_size = format::decimal(entry.packed_size);
  }
  return row;
}
}  // namespace

std::string_view Row::type() const { return is_folder ? msg::kFolderType : msg::kFileType; }

std::optional<std::string_view> name_at_level(std::string_view path, std::string_view level) {
  // Q = "\" + path begins with level + "\": path begins with level without its first "\",
  // then "\" (at the top: Q begins with "\" always).
  if (!level.empty()) {
    if (level.front() != kSeparator || path.size() < level.size() ||
        path.substr(0, level.size() - 1) != level.substr(1) || path[level.size() - 1] != kSeparator)
      return std::nullopt;
  }
  const std::string_view rest = path.substr(level.size());
  if (rest.empty() || rest.find(kSeparator) != std::string_view::npos) return std::nullopt;
  return rest;
}

std::optional<Row> row_at_level(const ListedEntry& entry, std::string_view level) {
  const auto name = name_at_level(entry.path, level);
  if (!name) return std::nullopt;
  return make_row(entry, std::string(*name));
}

Row tree_row(const ListedEntry& entry) { return make_row(entry, entry.path); }

std::string level_down(std::string_view level, std::string_view name) {
  return std::string(level) + kSeparator + std::string(name);
}

std::string level_up(std::string_view level) {
  const auto slash = level.rfind(kSeparator);
  if (slash == std::string_view::npos) return std::string(level);
  return std::string(level.substr(0, slash));
}

std::string chosen_entry(const Row& row) {
  return row.is_folder ? row.name + kSeparator : row.name;
}

Listing list_level(const std::string& first_volume, std::string_view level, Ui& ui) {
  Listing listing;
  listing.outcome = Raspakovka1(first_volume, ui, [&](const ListedEntry& entry) {
    if (auto row = row_at_level(entry, level)) listing.rows.push_back(std::move(*row));
  });
  return listing;
}

Listing list_tree(const std::string& first_volume, Ui& ui) {
  Listing listing;
  listing.outcome = Raspakovka1(
      first_volume, ui, [&](const ListedEntry& entry) { listing.rows.push_back(tree_row(entry)); });
  return listing;
}

}  // namespace tarvik::browse
