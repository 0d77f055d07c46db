// The record model of a volume, its writer (byte builders) and its reader (a cursor that
// reads one checked field at a time). All text is in the archive code page.
//
// Header:        version (10) notice (24) volume number (3) source folder length (3) folder
// File record:   "F" path length (3) path attributes (2) time (16) size digits (2) size
//                code length (4) coded compressed size (m) compressed data (C)
// Folder record: "G" path length (3) path attributes (2)
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "platform/stream.h"

namespace tarvik::format {

// A volume that does not hold what the format says: the reason in Russian words.
class FormatError : public Error {
 public:
  using Error::Error;
};

// Writer ----------------------------------------------------------------------------------

std::string header_bytes(std::string_view source_folder);
// The attribute word masked to the bits that fit the field and mean something on extraction
// (read-only, hidden, system, folder, archive), as decimal text.
std::string attributes_text(std::uint32_t word);
// Tag, path length, path, attributes and time of a file record.
std::string file_record_head(std::string_view path, std::uint32_t attributes,
                             std::string_view time);
// Size digits, size, code length and coded compressed size.
std::string size_fields(std::uint64_t size, std::uint64_t packed_size);
std::string folder_record(std::string_view path, std::uint32_t attributes);

struct Tail {
  bool first_volume = false;
  std::optional<std::uint64_t> stub_size;  // self-extracting volume 001 only
  std::string password_record;             // 33 bytes, volume 001 only
  bool continued = false;
};
// The tail without its checksum.
std::string tail_bytes(const Tail& tail);
// 12 for later volumes, 45 for volume 001, 55 for a self-extracting volume 001.
std::size_t tail_length(bool first_volume, bool self_extracting);

// Reader ----------------------------------------------------------------------------------

bool version_ok(std::string_view version_text);

// Reads fields from a source between its current position and `end` (the start of the
// tail); a field that would run past `end` is a FormatError.
class FieldReader {
 public:
  FieldReader(ByteSource& source, std::uint64_t end) : source_(&source), end_(end) {}
  std::string raw(std::size_t n);
  std::string text(std::size_t width);  // fixed-width rule
  std::uint64_t number(std::size_t width, std::string_view what);
  std::uint64_t position() const { return source_->tell(); }
  std::uint64_t end() const { return end_; }
  bool at_end() const { return position() >= end_; }

 private:
  ByteSource* source_;
  std::uint64_t end_;
};

struct Header {
  std::string version;
  std::string volume_number;
  std::string source_folder;
};
Header read_header(FieldReader& reader);

struct EntryHead {
  char tag = 0;
  std::string path;
  std::uint32_t attributes = 0;
};
// The fields after the tag that every record has.
EntryHead read_entry_head(FieldReader& reader, char tag);

struct FileFields {
  std::string time;       // as stored
  std::string size_text;  // as stored
  std::uint64_t size = 0;
  std::uint64_t packed_size = 0;
};
FileFields read_file_fields(FieldReader& reader);

// The path below the source folder, beginning with "\"; nullopt when `path` does not lie
// under `source_folder`.
std::optional<std::string> relative_path(std::string_view source_folder, std::string_view path);

}  // namespace tarvik::format
