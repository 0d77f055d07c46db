#include "format/journal_entry.h"

#include "format/fields.h"
#include "format/layout.h"

namespace tarvik::format {

namespace {
constexpr std::size_t kMaxEntryBytes = 999;
constexpr std::size_t kMinEntryBytes = 3;  // tag, "<", ">"
constexpr std::size_t kMaxPathInEntry = kMaxEntryBytes - kMinEntryBytes;
constexpr char kOpen = '<';
constexpr char kClose = '>';

bool is_blank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

// True when the path survives an entry unchanged.
bool holds_exactly(std::string_view path) {
  return !path.empty() && path.find(kClose) == std::string_view::npos && !is_blank(path.front()) &&
         !is_blank(path.back());
}
}  // namespace

std::optional<std::string> journal_entry(char tag, std::string_view path) {
  std::string text;
  text += tag;
  text += kOpen;
  text += trim(path);
  text += kClose;
  if (text.size() > kMaxEntryBytes) return std::nullopt;
  return text + fixed_field(decimal(text.size()), kJournalLengthWidth);
}

std::optional<std::string> journal_record(char tag, std::string_view path) {
  if (!holds_exactly(path)) return std::nullopt;
  std::string out;
  while (path.size() > kMaxPathInEntry) {
    // Cut where neither side of the cut is a blank.
    std::size_t cut = kMaxPathInEntry;
    while (cut > 0 && (is_blank(path[cut - 1]) || is_blank(path[cut]))) --cut;
    if (cut == 0) return std::nullopt;
    out += *journal_entry(kJournalPieceTag, path.substr(0, cut));
    path.remove_prefix(cut);
  }
  out += *journal_entry(tag, path);
  return out;
}

std::optional<std::string> journal_replaced(std::string_view original, std::string_view copy) {
  auto first = journal_record(kJournalReplacedTag, original);
  auto second = journal_record(kJournalAsideTag, copy);
  if (!first || !second) return std::nullopt;
  return *first + *second;
}

std::optional<std::size_t> parse_journal_length(std::string_view field) {
  auto value = parse_decimal(field_text(field));
  if (!value || *value < kMinEntryBytes || *value > kMaxEntryBytes) return std::nullopt;
  return static_cast<std::size_t>(*value);
}

std::vector<JournalEntry> parse_journal(std::string_view bytes) {
  std::vector<JournalEntry> records;
  std::string pieces;
  std::size_t at = 0;
  while (at < bytes.size()) {
    // tag "<" path ">" length: the path holds no ">", so the entry reads forwards too.
    if (bytes.size() - at < kMinEntryBytes + kJournalLengthWidth || bytes[at + 1] != kOpen) break;
    const auto close = bytes.find(kClose, at + 2);
    if (close == std::string_view::npos) break;
    const std::size_t length = close + 1 - at;
    if (close + 1 + kJournalLengthWidth > bytes.size()) break;
    const auto stored = parse_journal_length(bytes.substr(close + 1, kJournalLengthWidth));
    if (!stored || *stored != length) break;
    const char tag = bytes[at];
    const std::string_view path = bytes.substr(at + 2, close - at - 2);
    at = close + 1 + kJournalLengthWidth;
    if (tag == kJournalPieceTag) {
      pieces += path;
      continue;
    }
    std::string whole = std::move(pieces) + std::string(path);
    pieces.clear();
    if (tag == kJournalAsideTag) {
      if (!records.empty() && records.back().tag == kJournalReplacedTag &&
          records.back().aside.empty())
        records.back().aside = std::move(whole);
      continue;
    }
    records.push_back({tag, std::move(whole), {}});
  }
  // A replaced file whose copy was never journalled was never moved: nothing to undo.
  if (!records.empty() && records.back().tag == kJournalReplacedTag && records.back().aside.empty())
    records.pop_back();
  return records;
}

}  // namespace tarvik::format
