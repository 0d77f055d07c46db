// Entries of the rollback journal: tag ("F" file, "G" folder), "<", path, ">", then the
// length L of those four parts as a 3-byte field (digits; a NUL when fewer than three; a
// space after the NUL of a single digit). The length comes last so the journal reads
// backwards. All text in the archive code page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvik::format {

// nullopt when the entry would be longer than 999 bytes.
std::optional<std::string> journal_entry(char tag, std::string_view path);

struct JournalEntry {
  char tag = 0;
  std::string path;
  std::string second;  // text between the first ">" and the last one, if any ("T<path>second>")
};
// The length L from the last 3 bytes of an entry; nullopt when it is not a number in 4..999.
std::optional<std::size_t> parse_journal_length(std::string_view field);
// The entry from its L bytes of text; nullopt when it is not "T<path>".
std::optional<JournalEntry> parse_journal_text(std::string_view text);

}  // namespace tarvik::format
