#include "format/journal_entry.h"

#include "format/fields.h"
#include "format/layout.h"

namespace tarvik::format {

namespace {
constexpr std::size_t kMaxEntryBytes = 999;
constexpr std::size_t kMinEntryBytes = 3;  // tag, "<", ">"
}  // namespace

std::optional<std::string> journal_entry(char tag, std::string_view path) {
  std::string text;
  text += tag;
  text += '<';
  text += trim(path);
  text += '>';
  if (text.size() > kMaxEntryBytes) return std::nullopt;
  return text + fixed_field(decimal(text.size()), kJournalLengthWidth);
}

std::optional<std::size_t> parse_journal_length(std::string_view field) {
  auto value = parse_decimal(field_text(field));
  if (!value || *value < kMinEntryBytes || *value > kMaxEntryBytes) return std::nullopt;
  return static_cast<std::size_t>(*value);
}

std::optional<JournalEntry> parse_journal_text(std::string_view text) {
  text = trim(text);
  if (text.size() < kMinEntryBytes || text[1] != '<') return std::nullopt;
  auto close = text.find('>', 2);
  if (close == std::string_view::npos) return std::nullopt;
  auto last = text.rfind('>');
  std::string second = last > close ? std::string(text.substr(close + 1, last - close - 1)) : "";
  return JournalEntry{text[0], std::string(text.substr(2, close - 2)), std::move(second)};
}

}  // namespace tarvik::format
