#include "format/fields.h"

#include <charconv>

namespace tarvik::format {

std::string fixed_field(std::string_view text, std::size_t width) {
  if (text.size() >= width) return std::string(text.substr(0, width));
  std::string field(text);
  field.push_back('\0');
  field.resize(width, ' ');
  return field;
}

std::string_view trim(std::string_view text) {
  auto is_blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string field_text(std::string_view raw) {
  auto nul = raw.find('\0');
  if (nul != std::string_view::npos) raw = raw.substr(0, nul);
  return std::string(trim(raw));
}

std::optional<std::uint64_t> parse_decimal(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string decimal(std::uint64_t value) { return std::to_string(value); }

}  // namespace tarvik::format
