// The context menu's commands for a selection.
#include "shell/menu.h"

#include "requests/request_writer.h"

namespace tarvik::shell {
namespace {

std::string_view file_name(std::string_view path) {
  const auto cut = path.rfind('\\');
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string_view extension(std::string_view path) {
  const auto name = file_name(path);
  const auto dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

// A single "&" in a menu caption marks the access key; "&&" shows one.
std::string menu_text(std::string_view text) {
  std::string shown;
  for (char c : text) {
    if (c == '&') shown += '&';
    shown += c;
  }
  return shown;
}

}  // namespace

std::vector<MenuItem> menu_items(const std::vector<std::string>& selection) {
  std::vector<MenuItem> items;
  if (selection.empty()) return items;
  const auto& first = selection.front();
  const auto name = requests::name_without_extension(first);

  if (selection.size() == 1 && extension(first) == requests::kArchiveExtension) {
    items.push_back({Command::UnpackHere, "Распаковать в текущую папку", "TarvikUnpackHere",
                     "Распаковать архив в папку, где он лежит",
                     requests::write_request(selection, requests::kSelectMarker)});
    items.push_back({Command::UnpackToFolder, menu_text("Распаковать в папку: " + name),
                     "TarvikUnpackToFolder",
                     "Распаковать архив в новую папку " + name + " рядом с ним",
                     requests::write_request(selection, requests::kPackMarker)});
    items.push_back({Command::Open, "Открыть в Tarvik", "TarvikOpen",
                     "Показать содержимое архива в Tarvik", first});
    return items;
  }
  if (!name.empty()) {
    items.push_back({Command::Pack, menu_text("Создать KZV архив " + name + ".kzv"), "TarvikPack",
                     "Упаковать выделенное в новый архив " + name + ".kzv в этой папке",
                     requests::write_request(selection, requests::kPackMarker)});
  }
  items.push_back({Command::Open, "Открыть в Tarvik", "TarvikOpen",
                   "Открыть окно Tarvik с выделенными элементами",
                   requests::write_request(selection, requests::kSelectMarker)});
  return items;
}

}  // namespace tarvik::shell
