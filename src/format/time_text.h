// The 16-character time text of file records, "DD.MM.YYYY HH:MM" in local time, formatted and
// parsed explicitly (never through the locale). Seconds are dropped, not rounded; a time of
// exactly 00:00:00 is the date alone.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/fs.h"

namespace tarvik::format {

std::string time_text(const fs::LocalTime& time);
// Accepts "DD.MM.YYYY HH:MM" and "DD.MM.YYYY" (midnight); nullopt for anything else.
std::optional<fs::LocalTime> parse_time_text(std::string_view text);
// "HH:MM:SS", the source of the password record when there is no password.
std::string clock_text(const fs::LocalTime& time);

}  // namespace tarvik::format
