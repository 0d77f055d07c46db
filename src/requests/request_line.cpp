#include "requests/request_line.h"

#include <algorithm>

#include "format/fields.h"
#include "format/names.h"
#include "platform/fs.h"

namespace tarvik::requests {

namespace {
std::string without_blanks(std::string_view text) {
  std::string out;
  for (char c : text)
    if (c != ' ') out += c;
  return out;
}

// The index of the one path equal to `wanted`, or npos when none or several are.
std::size_t only_match(const std::vector<std::string>& paths, const std::string& wanted) {
  std::size_t found = std::string::npos;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (paths[i] != wanted) continue;
    if (found != std::string::npos) return std::string::npos;
    found = i;
  }
  return found;
}

std::size_t first_match(const std::vector<std::string>& paths, const std::string& wanted) {
  const auto it = std::find(paths.begin(), paths.end(), wanted);
  return it == paths.end() ? std::string::npos : static_cast<std::size_t>(it - paths.begin());
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

std::string unpack_folder(std::string_view archive) {
  std::string_view trimmed = format::trim(archive);
  const std::string base = name_without_extension(trimmed);
  if (base.empty()) return std::string(format::folder_part(trimmed));  // ".kzv": its own folder
  return format::join_path(format::folder_part(trimmed), base);
}

ItemWalk select_items(std::string_view folder, const std::vector<std::string>& entry_names,
                      const std::vector<std::string>& items) {
  const bool ignore_case = fs::names_ignore_case();
  const auto compared = [&](const std::string& path) {
    return ignore_case ? format::fold_case(path) : path;
  };
  std::vector<std::string> exact, folded, blankless;
  for (const auto& name : entry_names) {
    exact.push_back(format::join_path(format::trim(folder), name));
    folded.push_back(compared(exact.back()));
    blankless.push_back(without_blanks(folded.back()));
  }
  ItemWalk walk;
  for (const auto& written : items) {
    const std::string item(format::trim(written));
    if (item.empty()) continue;
    std::size_t index = first_match(exact, item);
    if (index == std::string::npos) index = first_match(folded, compared(item));
    if (index == std::string::npos) index = only_match(blankless, without_blanks(compared(item)));
    if (index == std::string::npos) {
      walk.unmatched.push_back(item);
      continue;
    }
    if (std::find(walk.selected.begin(), walk.selected.end(), index) == walk.selected.end())
      walk.selected.push_back(index);
  }
  return walk;
}

}  // namespace tarvik::requests
