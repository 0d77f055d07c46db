// Total field functions: formatting a fixed-width field never writes past it; parsing returns
// std::optional and rejects garbage and overflow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik::format {

// The bytes of a fixed-width field holding `text`: shorter text gets a NUL and spaces up to
// `width`; text of exactly `width` bytes stands alone; longer text is cut to `width`.
std::string fixed_field(std::string_view text, std::size_t width);

// The text of a field as read: up to the first NUL, trimmed of spaces and control
// characters at both ends.
std::string field_text(std::string_view raw);

// Trims spaces and control characters (bytes up to 0x20) at both ends.
std::string_view trim(std::string_view text);

// Unsigned decimal without sign or separators; nullopt for empty text, other characters or
// overflow. Leading zeros are accepted ("001").
std::optional<std::uint64_t> parse_decimal(std::string_view text);
std::string decimal(std::uint64_t value);

}  // namespace tarvik::format
