// The field and record parsers on their own: the header and every record of a volume read
// through FieldReader over memory, and the text codings (base64, uuencode, the password
// text, decimal numbers, the time text, volume numbers, journal entries, relative paths).
// Round trips must give back what went in.
#include <cstdint>
#include <string>

#include "format/base64.h"
#include "format/fields.h"
#include "format/journal_entry.h"
#include "format/layout.h"
#include "format/names.h"
#include "format/password.h"
#include "format/records.h"
#include "format/time_text.h"
#include "fuzz_support.h"
#include "platform/stream.h"

using namespace tarvik;

namespace {

void records(const std::string& volume) {
  MemorySource source(volume);
  format::FieldReader reader(source, volume.size());
  try {
    const format::Header header = format::read_header(reader);
    while (!reader.at_end()) {
      const char tag = reader.raw(format::kTagWidth)[0];
      if (tag == format::kEndTag) break;
      const format::EntryHead head = format::read_entry_head(reader, tag);
      (void)format::relative_path(header.source_folder, head.path);
      if (tag != format::kFileTag) continue;
      const format::FileFields file = format::read_file_fields(reader);
      const std::uint64_t left = reader.end() - reader.position();
      if (file.packed_size > left) break;
      source.seek(reader.position() + file.packed_size);
    }
  } catch (const format::FormatError&) {
  }
}

void codings(std::string_view text) {
  const std::string encoded = format::base64_encode(text);
  if (format::base64_decode(encoded) != std::string(text)) fuzz::finding("base64 round trip");
  (void)format::base64_decode(text);
  if (text.size() <= 45) {
    if (format::uudecode_line(format::uuencode_line(text)) != std::string(text))
      fuzz::finding("uuencode round trip");
  }
  (void)format::uudecode_line(text);
  (void)format::decode_text(text);
  (void)format::decode_text(format::field_text(text));
  if (const auto n = format::parse_decimal(text)) {
    if (format::decimal(*n) != format::trim(text)) {
      // Leading zeros or blanks may be accepted; the value must still print back as digits.
      if (format::parse_decimal(format::decimal(*n)) != n) fuzz::finding("decimal round trip");
    }
  }
  if (const auto time = format::parse_time_text(text)) {
    if (format::parse_time_text(format::time_text(*time)) != time) fuzz::finding("time round trip");
  }
  if (const auto number = format::parse_volume_number(text)) {
    if (format::volume_number_text(*number) != std::string(text))
      fuzz::finding("volume number round trip");
  }
  if (text.size() >= 3) (void)format::parse_journal_length(text.substr(text.size() - 3));
  (void)format::parse_journal(text);
  const auto half = text.size() / 2;
  (void)format::relative_path(text.substr(0, half), text.substr(half));
  (void)format::fixed_field(text, 16);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::Input input = fuzz::split(data, size);
  for (const auto& volume : input.volumes) records(volume);
  codings(input.volumes.front());
  return 0;
}
