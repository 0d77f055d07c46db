#include "format/records.h"

#include "format/base64.h"
#include "format/fields.h"
#include "format/layout.h"
#include "format/messages.h"
#include "format/names.h"

namespace tarvik::format {

namespace {
constexpr std::uint32_t kKeptAttributes = 1 | 2 | 4 | 16 | 32;

std::string length_and_text(std::string_view text) {
  return fixed_field(decimal(text.size()), kLengthWidth) + std::string(text);
}
}  // namespace

std::string header_bytes(std::string_view source_folder) {
  std::string bytes = fixed_field(kVersionText, kVersionWidth);
  bytes += fixed_field(kNotice, kNoticeWidth);
  bytes += fixed_field("001", kVolumeNumberWidth);
  bytes += length_and_text(source_folder);
  return bytes;
}

std::string attributes_text(std::uint32_t word) { return decimal(word & kKeptAttributes); }

std::string file_record_head(std::string_view path, std::uint32_t attributes,
                             std::string_view time) {
  std::string bytes(1, kFileTag);
  bytes += length_and_text(path);
  bytes += fixed_field(attributes_text(attributes), kAttributesWidth);
  bytes += fixed_field(time, kTimeWidth);
  return bytes;
}

std::string size_fields(std::uint64_t size, std::uint64_t packed_size) {
  std::string size_text = decimal(size);
  std::string bytes = fixed_field(decimal(size_text.size()), kSizeDigitsWidth) + size_text;
  std::string coded = base64_encode(decimal(packed_size));
  bytes += fixed_field(base64_encode(decimal(coded.size())), kCodeLengthWidth);
  bytes += coded;
  return bytes;
}

std::string folder_record(std::string_view path, std::uint32_t attributes) {
  std::string bytes(1, kFolderTag);
  bytes += length_and_text(path);
  bytes += fixed_field(attributes_text(attributes), kAttributesWidth);
  return bytes;
}

std::string tail_bytes(const Tail& tail) {
  std::string bytes(1, kEndTag);
  if (tail.first_volume) {
    if (tail.stub_size) bytes += fixed_field(decimal(*tail.stub_size), kStubSizeWidth);
    bytes += tail.password_record;
  }
  bytes += tail.continued ? kContinuedTerminator : kLastTerminator;
  return bytes;
}

std::size_t tail_length(bool first_volume, bool self_extracting) {
  if (!first_volume) return kLaterTailBytes;
  return self_extracting ? kSelfExtractingTailBytes : kFirstTailBytes;
}

bool version_ok(std::string_view text) {
  return text.size() >= 4 && text.substr(0, 3) == "KZV" &&
         trim(text.substr(4, 4)) == kVersionText.substr(4);
}

namespace {
std::string not_a_number(std::string_view field) {
  return std::string(field) + std::string(msg::kNotANumber);
}
}  // namespace

std::string FieldReader::raw(std::size_t n) {
  std::uint64_t pos = position();
  if (pos > end_ || n > end_ - pos) throw FormatError(std::string(msg::kRecordPastVolumeEnd));
  std::string bytes(n, '\0');
  if (source_->read(bytes.data(), n) != n) throw FormatError(std::string(msg::kVolumeEndsInRecord));
  return bytes;
}

std::string FieldReader::text(std::size_t width) { return field_text(raw(width)); }

std::uint64_t FieldReader::number(std::size_t width, std::string_view what) {
  std::string t = text(width);
  auto value = parse_decimal(t);
  if (!value) throw FormatError(not_a_number(what));
  return *value;
}

Header read_header(FieldReader& reader) {
  Header header;
  header.version = reader.text(kVersionWidth);
  reader.raw(kNoticeWidth);
  header.volume_number = reader.text(kVolumeNumberWidth);
  auto length = reader.number(kLengthWidth, msg::kFieldSourceFolderLength);
  header.source_folder = std::string(trim(reader.raw(length)));
  return header;
}

EntryHead read_entry_head(FieldReader& reader, char tag) {
  EntryHead head;
  head.tag = tag;
  auto length = reader.number(kLengthWidth, msg::kFieldPathLength);
  head.path = reader.raw(length);
  auto attributes = reader.number(kAttributesWidth, msg::kFieldAttributes);
  head.attributes = static_cast<std::uint32_t>(attributes) & kKeptAttributes;
  return head;
}

FileFields read_file_fields(FieldReader& reader) {
  FileFields fields;
  fields.time = reader.text(kTimeWidth);
  auto digits = reader.number(kSizeDigitsWidth, msg::kFieldSizeDigits);
  fields.size_text = reader.raw(digits);
  auto size = parse_decimal(fields.size_text);
  if (!size) throw FormatError(not_a_number(msg::kFieldSize));
  fields.size = *size;
  auto code_length = base64_decode(reader.raw(kCodeLengthWidth));
  auto m = code_length ? parse_decimal(*code_length) : std::nullopt;
  if (!m) throw FormatError(not_a_number(msg::kFieldPackedSizeLength));
  auto coded = base64_decode(reader.raw(*m));
  auto packed = coded ? parse_decimal(*coded) : std::nullopt;
  if (!packed) throw FormatError(not_a_number(msg::kFieldPackedSize));
  fields.packed_size = *packed;
  return fields;
}

std::optional<std::string> relative_path(std::string_view source_folder, std::string_view path) {
  std::size_t cut = is_drive_root(source_folder) ? source_folder.size() - 1 : source_folder.size();
  if (path.size() <= cut + 1 || path.substr(0, source_folder.size()) != source_folder ||
      path[cut] != '\\')
    return std::nullopt;
  return std::string(path.substr(cut));
}

}  // namespace tarvik::format
