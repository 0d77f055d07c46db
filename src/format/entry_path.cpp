#include "format/entry_path.h"

#include <array>
#include <cctype>
#include <string>

namespace tarvik::format {

namespace {

// Characters no Windows name holds (besides control characters and the separator "\\").
constexpr std::string_view kForbiddenChars = "<>:\"/|?*";

constexpr std::array<std::string_view, 6> kDevices = {"CON", "PRN",    "AUX",
                                                      "NUL", "CONIN$", "CONOUT$"};

std::string upper_ascii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool only_dots_and_spaces(std::string_view component) {
  return component.find_first_not_of(". ") == std::string_view::npos;
}

}  // namespace

bool is_device_name(std::string_view component) {
  // Windows looks at the name before its first dot, trailing spaces ignored.
  std::string_view base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  const std::string name = upper_ascii(base);
  for (std::string_view device : kDevices) {
    if (name == device) return true;
  }
  if (name.size() == 4 && (name.starts_with("COM") || name.starts_with("LPT")))
    return name[3] >= '1' && name[3] <= '9';
  return false;
}

bool is_safe_name(std::string_view component) {
  if (component.empty() || only_dots_and_spaces(component) || is_device_name(component))
    return false;
  for (char c : component) {
    if (static_cast<unsigned char>(c) < 0x20 || kForbiddenChars.find(c) != std::string_view::npos)
      return false;
  }
  return component.back() != ' ' && component.back() != '.';
}

bool is_safe_relative_path(std::string_view relative) {
  if (relative.size() < 2 || relative[0] != '\\') return false;
  std::string_view rest = relative.substr(1);
  while (true) {
    const auto slash = rest.find('\\');
    if (!is_safe_name(rest.substr(0, slash))) return false;
    if (slash == std::string_view::npos) return true;
    rest.remove_prefix(slash + 1);
  }
}

}  // namespace tarvik::format
