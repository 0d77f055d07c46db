// Base64 of RFC 2045: the standard alphabet, "=" padding, no line breaks.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvik::format {

std::string base64_encode(std::string_view bytes);
// nullopt for a length not a multiple of 4, a character outside the alphabet or misplaced "=".
std::optional<std::string> base64_decode(std::string_view text);

}  // namespace tarvik::format
