#include "format/time_text.h"

#include <cstdio>

namespace tarvik::format {

namespace {
std::optional<int> digits(std::string_view text, std::size_t pos, std::size_t count) {
  int value = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}
}  // namespace

std::string time_text(const fs::LocalTime& t) {
  char text[32];
  if (t.hour == 0 && t.minute == 0 && t.second == 0)
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", t.day, t.month, t.year);
  else
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d", t.day, t.month, t.year, t.hour,
                  t.minute);
  return text;
}

std::optional<fs::LocalTime> parse_time_text(std::string_view text) {
  if (text.size() != 10 && text.size() != 16) return std::nullopt;
  if (text[2] != '.' || text[5] != '.') return std::nullopt;
  auto day = digits(text, 0, 2), month = digits(text, 3, 2), year = digits(text, 6, 4);
  if (!day || !month || !year) return std::nullopt;
  fs::LocalTime t{*year, *month, *day, 0, 0, 0};
  if (text.size() == 16) {
    auto hour = digits(text, 11, 2), minute = digits(text, 14, 2);
    if (text[10] != ' ' || text[13] != ':' || !hour || !minute) return std::nullopt;
    t.hour = *hour;
    t.minute = *minute;
  }
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59)
    return std::nullopt;
  return t;
}

std::string clock_text(const fs::LocalTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return text;
}

}  // namespace tarvik::format
