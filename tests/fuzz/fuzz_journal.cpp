// The journal reader: a journal of any bytes read into records. (The rollback that follows
// deletes what the records name, so it is not run on fuzzed names.) Every record it reads, when
// written again, reads back as the same record.
#include <cstdint>
#include <string_view>

#include "format/journal_entry.h"
#include "fuzz_support.h"

using namespace tarvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto records = format::parse_journal(bytes);
  // Each entry takes at least its tag, "<", ">" and the 3-byte length.
  if (records.size() > size / 6) fuzz::finding("more records than the journal holds");
  for (const auto& record : records) {
    const auto written = record.tag == format::kJournalReplacedTag
                             ? format::journal_replaced(record.path, record.aside)
                             : format::journal_record(record.tag, record.path);
    if (!written) continue;
    const auto again = format::parse_journal(*written);
    if (again.size() != 1 || again[0].tag != record.tag || again[0].path != record.path ||
        again[0].aside != record.aside)
      fuzz::finding("a record read from a journal does not read back as written");
  }
  return 0;
}
