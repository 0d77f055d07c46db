// An independent reader of the volumes the packer writes, for the tests: it checks every
// volume's structure (continuation marker, tail, terminator, checksum) and gives each
// volume's records and the compressed bytes it carries.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "format/crc.h"
#include "format/fields.h"
#include "format/layout.h"
#include "format/names.h"
#include "format/records.h"
#include "test_support.h"
#include "platform/fs.h"

namespace tarvik::test {

struct ReadRecord {
  char tag = 0;
  std::string path;  // archive bytes
  std::uint32_t attributes = 0;
  std::string time;
  std::uint64_t size = 0;
  std::string packed;  // whole zlib stream, gathered across volumes
};

struct ReadArchive {
  std::string source_folder;
  std::vector<ReadRecord> records;
  std::vector<std::uint64_t> data_per_volume;  // compressed bytes in each volume
  std::vector<std::string> volume_files;
  std::string password_record;
  std::uint64_t stub_size = 0;
};

inline std::string native_read(const std::string& win) {
  return read_file(*fs::to_native(win));
}

// Reads the archive whose first volume is `first` (Windows path). Test failures on any
// structural fault.
inline ReadArchive read_archive(const std::string& first, bool self_extracting = false) {
  ReadArchive out;
  std::string folder(format::folder_part(first));
  std::string name(format::file_name_part(first));
  int number = 1;
  std::string bytes = native_read(first);
  out.volume_files.push_back(first);
  auto check_volume = [&](const std::string& v, bool is_first) {
    EXPECT_GE(v.size(), format::tail_length(is_first, self_extracting));
    format::Crc32 crc;
    crc.update(v.data(), v.size() - 8);
    EXPECT_EQ(v.substr(v.size() - 8), format::crc_text(crc.value())) << "checksum";
  };
  check_volume(bytes, true);
  std::uint64_t start = 0;
  if (self_extracting) {
    auto s = format::parse_decimal(format::field_text(
        std::string_view(bytes).substr(bytes.size() - format::kStubSizeFromEnd, 10)));
    EXPECT_TRUE(s);
    start = s.value_or(0);
    out.stub_size = start;
  }
  out.password_record = bytes.substr(bytes.size() - format::kPasswordRecordFromEnd, 33);
  MemorySource source(bytes);
  source.seek(start);
  std::uint64_t end = bytes.size() - format::tail_length(true, self_extracting);
  auto reader = std::make_unique<format::FieldReader>(source, end);
  auto header = format::read_header(*reader);
  EXPECT_EQ(header.version, "KZV V1.0");
  EXPECT_EQ(header.volume_number, "001");
  out.source_folder = header.source_folder;
  out.data_per_volume.push_back(0);
  std::unique_ptr<MemorySource> later;
  auto terminator = [&] { return bytes.substr(bytes.size() - 11, 3); };
  auto next_volume = [&] {
    EXPECT_EQ(terminator(), "D{C");
    ++number;
    name = format::next_volume_file_name(name, number);
    std::string path = format::join_path(folder, name);
    bytes = native_read(path);
    out.volume_files.push_back(path);
    check_volume(bytes, false);
    EXPECT_EQ(bytes[0], 'F') << "continuation marker";
    later = std::make_unique<MemorySource>(bytes);
    later->seek(1);
    reader = std::make_unique<format::FieldReader>(*later, bytes.size() - format::kLaterTailBytes);
    out.data_per_volume.push_back(0);
  };
  for (;;) {
    if (reader->at_end()) {
      // Between records only the end of the last volume may come.
      EXPECT_EQ(terminator(), "D{A");
      break;
    }
    char tag = reader->raw(1)[0];
    if (tag == 'E') {
      ADD_FAILURE() << "end tag inside the data region";
      break;
    }
    ReadRecord record;
    auto head = format::read_entry_head(*reader, tag);
    record.tag = tag;
    record.path = head.path;
    record.attributes = head.attributes;
    if (tag == 'F') {
      auto fields = format::read_file_fields(*reader);
      record.time = fields.time;
      record.size = fields.size;
      std::uint64_t due = fields.packed_size;
      while (due > 0) {
        if (reader->at_end()) {
          next_volume();
          continue;
        }
        std::uint64_t n = std::min<std::uint64_t>(due, reader->end() - reader->position());
        record.packed += reader->raw(n);
        out.data_per_volume.back() += n;
        due -= n;
      }
    }
    out.records.push_back(std::move(record));
  }
  return out;
}

}  // namespace tarvik::test
