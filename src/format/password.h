// The password record of volume 001: a 3-byte tag and a 30-byte coded text. The text is only
// coded, not encrypted: base64 of the source text, uuencoded as one line, with two random
// characters put after the length character. The source text is the password when there is
// one, else the time of day (which readers never decode).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvik::format {

// The 69 characters the two random characters are picked from (the coding alphabet also
// holds "=" and ":", which are never picked).
inline constexpr std::string_view kRandomAlphabet =
    "0123456789ABCDEFGHIKLMNOPQRSTUWXYZabcdefghiklmnopqrstuwxz!@#$%^&*()/\\";

std::string uuencode_line(std::string_view bytes);
// A space counts as a backquote. nullopt for characters outside the code or a short line.
std::optional<std::string> uudecode_line(std::string_view line);

// The coded text t of `source` with the random characters r1, r2.
std::string code_text(std::string_view source, char r1, char r2);
// Decodes the text of a record's coded field (already taken up to its NUL and trimmed).
std::optional<std::string> decode_text(std::string_view coded);
// The password a record with the tag "=<N" holds, from its 30-byte coded field as stored;
// nullopt when the record is damaged: the text does not decode, or gives no password of 1 to
// 12 characters as the packer writes (trimmed, not blank).
std::optional<std::string> stored_password(std::string_view coded_field);

// The 33-byte record. `password` in archive bytes; blank means no password, and then
// `time_text` ("14:05:09") is coded instead. r1 and r2 come from kRandomAlphabet.
std::string password_record(std::string_view password, std::string_view time_text, char r1,
                            char r2);
// Two characters picked from kRandomAlphabet by a generator freshly seeded from the clock.
std::pair<char, char> pick_random_pair();

}  // namespace tarvik::format
