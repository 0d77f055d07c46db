#include "requests/request_line.h"

#include <algorithm>

#include "format/fields.h"
#include "format/names.h"

namespace tarvik::requests {

namespace {
std::string without_blanks(std::string_view text) {
  std::string out;
  for (char c : text)
    if (c != ' ') out += c;
  return out;
}

std::string ascii_upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::string compared_name(std::string_view path, bool ignore_case) {
  std::string name = without_blanks(format::file_name_part(without_blanks(path)));
  return ignore_case ? ascii_upper(std::move(name)) : name;
}
}  // namespace

std::string request_text(const std::vector<std::string>& args) {
  std::string text;
  for (const auto& a : args) text += a + ' ';
  return text;
}

RequestLine parse_request(const std::vector<std::string>& args) {
  RequestLine line;
  line.text = request_text(args);
  if (!args.empty()) line.first_argument = args[0];
  if (format::trim(line.first_argument).empty()) {
    line.form = Form::Interactive;
    return line;
  }
  const std::string& text = line.text;
  line.first_item = std::string(format::trim(text.substr(0, text.find(kItemEnd))));
  for (std::size_t from = 0, star; (star = text.find(kItemEnd, from)) != std::string::npos;
       from = star + 1)
    line.items.push_back(text.substr(from, star - from));

  const std::size_t stars = line.items.size();
  const bool pack_marker = text.find(kPackMarker) != std::string::npos;
  const bool select_marker = text.find(kSelectMarker) != std::string::npos;
  const bool several = stars >= 2 || !is_archive_item(line.first_item);
  if (stars == 0)
    line.form = pack_marker || select_marker ? Form::Unrecognised : Form::Browse;
  else if (pack_marker && several)
    line.form = Form::Pack;
  else if (select_marker && several)
    line.form = Form::Select;
  else if (pack_marker)
    line.form = Form::UnpackToFolder;
  else if (select_marker)
    line.form = Form::UnpackHere;
  else
    line.form = Form::Unrecognised;
  return line;
}

std::string_view extension(std::string_view path) {
  std::string_view name = format::file_name_part(path);
  std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

bool is_archive_item(std::string_view item) { return extension(item) == kArchiveExtension; }

std::string name_without_extension(std::string_view path) {
  std::string_view name = format::file_name_part(format::trim(path));
  return std::string(name.substr(0, name.size() - extension(name).size()));
}

std::string unpack_folder(std::string_view archive) {
  std::string_view trimmed = format::trim(archive);
  const std::string base = name_without_extension(trimmed);
  if (base.empty()) return std::string(format::folder_part(trimmed));  // ".kzv": its own folder
  return format::join_path(format::folder_part(trimmed), base);
}

std::vector<std::size_t> select_items(const std::vector<std::string>& entry_names,
                                      const std::vector<std::string>& items, bool ignore_case) {
  std::vector<std::string> names;
  for (const auto& n : entry_names) names.push_back(compared_name(n, ignore_case));
  std::vector<std::size_t> selected;
  for (const auto& item : items) {
    const std::string wanted = compared_name(item, ignore_case);
    auto it = std::find(names.begin(), names.end(), wanted);
    if (it == names.end()) continue;
    const auto index = static_cast<std::size_t>(it - names.begin());
    if (std::find(selected.begin(), selected.end(), index) == selected.end())
      selected.push_back(index);
  }
  return selected;
}

}  // namespace tarvik::requests
