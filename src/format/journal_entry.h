// Entries of the rollback journal: tag ("F" file, "G" folder), "<", path, ">", then the
// length L of those four parts as a 3-byte field (digits; a NUL when fewer than three; a
// space after the NUL of a single digit). The length comes last so the journal reads
// backwards. All text in the archive code page.
//
// Besides "F" and "G" the journal holds two more kinds of record, each made of entries of that
// same form:
//   - a file set aside to be replaced: "R<original>" at once followed by "A<copy>";
//   - a path longer than one entry holds: its first pieces as "+<piece>" entries, the rest in
//     the entry that carries the tag. A piece never begins or ends with a blank, so no entry
//     loses a byte to trimming.
// A journal record always names its file exactly: a path that no entry can hold as it is (a
// ">" in it, a blank or control character at either end) is refused.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::format {

inline constexpr char kJournalReplacedTag = 'R';
inline constexpr char kJournalAsideTag = 'A';
inline constexpr char kJournalPieceTag = '+';

// One entry; nullopt when it would be longer than 999 bytes.
std::optional<std::string> journal_entry(char tag, std::string_view path);

// The entries of one record naming `path` (pieces first when it is long); nullopt when the
// path cannot be held exactly.
std::optional<std::string> journal_record(char tag, std::string_view path);
// The entries of a replaced file: "R<original>" then "A<copy>"; nullopt as above.
std::optional<std::string> journal_replaced(std::string_view original, std::string_view copy);

struct JournalEntry {
  char tag = 0;
  std::string path;
  std::string aside;  // the copy of a replaced file ("R" records)
};
// The length L from the last 3 bytes of an entry; nullopt when it is not a number in 3..999.
std::optional<std::size_t> parse_journal_length(std::string_view field);
// The records of a journal, oldest first. Reading stops at the first entry that is not
// whole and well formed (the end of a journal whose writer died while appending).
std::vector<JournalEntry> parse_journal(std::string_view bytes);

}  // namespace tarvik::format
