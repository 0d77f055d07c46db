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

std::optional<Row> row_at_level(const ListedEntry& entry, std::string_view level) {
  const std::string q = kSeparator + entry.path;
  const std::string prefix = std::string(level) + kSeparator;
  if (!q.starts_with(prefix) || entry.path.size() < level.size()) return std::nullopt;
  std::string rest = entry.path.substr(level.size());
  if (rest.empty() || rest.find(kSeparator) != std::string::npos) return std::nullopt;
  return make_row(entry, std::move(rest));
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
