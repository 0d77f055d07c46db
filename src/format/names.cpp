#include "format/names.h"

#include <cctype>
#include <cstdio>

#include "format/layout.h"

namespace tarvik::format {

namespace {
bool ends_with_ci(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  auto tail = text.substr(text.size() - suffix.size());
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(tail[i])) !=
        std::tolower(static_cast<unsigned char>(suffix[i])))
      return false;
  }
  return true;
}

bool has_volume_extension(std::string_view name) {
  return ends_with_ci(name, kArchiveExtension) || ends_with_ci(name, kExecutableExtension);
}
}  // namespace

bool is_drive_root(std::string_view folder) {
  return folder.size() == 3 && folder[1] == ':' && folder[2] == '\\';
}

std::string join_path(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '\\') path += '\\';
  path += name;
  return path;
}

std::string_view file_name_part(std::string_view path) {
  auto slash = path.rfind('\\');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view folder_part(std::string_view path) {
  auto slash = path.rfind('\\');
  if (slash == std::string_view::npos) return {};
  if (slash == 2 && path.size() >= 3 && path[1] == ':') return path.substr(0, 3);
  return path.substr(0, slash);
}

std::optional<std::string> volume_number_text(int number) {
  if (number < 1 || number > kMaxVolumes) return std::nullopt;
  char text[8];
  std::snprintf(text, sizeof text, "%03d", number);
  return std::string(text);
}

std::optional<int> parse_volume_number(std::string_view text) {
  if (text.size() != kVolumeNumberWidth) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1) return std::nullopt;
  return value;
}

std::string volume_file_name(std::string_view folder, std::string_view name, ArchiveKind kind,
                             int number) {
  std::string base = join_path(folder, name);
  bool executable = number == 1 && kind.self_extracting;
  if (kind.multi_volume || number > 1) {
    base += '.';
    base += volume_number_text(number).value_or("");
  }
  base += executable ? kExecutableExtension : kArchiveExtension;
  return base;
}

std::string next_volume_file_name(std::string_view current, int next_number) {
  std::string_view stem = current;
  if (has_volume_extension(stem)) {
    stem.remove_suffix(kArchiveExtension.size());
    // ".NNN" before the extension is the current volume number.
    if (stem.size() > 4 && stem[stem.size() - 4] == '.' &&
        parse_volume_number(stem.substr(stem.size() - 3)).has_value())
      stem.remove_suffix(4);
  }
  std::string next(stem);
  next += '.';
  next += volume_number_text(next_number).value_or("");
  next += kArchiveExtension;
  return next;
}

namespace {
constexpr std::string_view kJournalStem = "Tarvik_file";
constexpr std::string_view kJournalExtension = ".tmp";

bool same_letters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}
}  // namespace

std::string journal_file_name(int number) {
  std::string name(kJournalStem);
  if (number > 0) name += "~" + std::to_string(number);
  return name + std::string(kJournalExtension);
}

bool is_journal_file_name(std::string_view name) {
  if (name.size() < kJournalStem.size() + kJournalExtension.size()) return false;
  if (!same_letters(name.substr(0, kJournalStem.size()), kJournalStem) ||
      !same_letters(name.substr(name.size() - kJournalExtension.size()), kJournalExtension))
    return false;
  std::string_view middle =
      name.substr(kJournalStem.size(), name.size() - kJournalStem.size() - kJournalExtension.size());
  if (middle.empty()) return true;
  if (middle.size() < 2 || middle[0] != '~') return false;
  return middle.substr(1).find_first_not_of("0123456789") == std::string_view::npos;
}

std::string fold_case(std::string_view utf8) {
  std::string out(utf8);
  for (std::size_t i = 0; i < out.size(); ++i) {
    auto& c = reinterpret_cast<unsigned char&>(out[i]);
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<unsigned char>(c + ('a' - 'A'));
    } else if ((c == 0xD0 || c == 0xD2) && i + 1 < out.size()) {
      auto& next = reinterpret_cast<unsigned char&>(out[i + 1]);
      if (c == 0xD0 && next >= 0x80 && next <= 0x8F) {  // Ѐ..Џ -> ѐ..џ
        c = 0xD1, next = static_cast<unsigned char>(next + 0x10);
      } else if (c == 0xD0 && next >= 0x90 && next <= 0x9F) {  // А..П -> а..п
        next = static_cast<unsigned char>(next + 0x20);
      } else if (c == 0xD0 && next >= 0xA0 && next <= 0xAF) {  // Р..Я -> р..я
        c = 0xD1, next = static_cast<unsigned char>(next - 0x20);
      } else if (c == 0xD2 && next == 0x90) {  // Ґ -> ґ
        next = 0x91;
      }
      ++i;
    }
  }
  return out;
}

}  // namespace tarvik::format
