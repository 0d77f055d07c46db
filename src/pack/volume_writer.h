// Writes the volumes of a new archive: fields whole into the current volume, compressed data
// in chunks that the splitting rule distributes over volumes. Owns the volume being written,
// its number, its count of compressed bytes and its running checksum, which is appended
// when the volume is closed (computed while writing, never by reading the volume back).
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "format/crc.h"
#include "format/names.h"
#include "ops/operation.h"
#include "platform/error.h"
#include "platform/file.h"

namespace tarvik {

// A failure that ends the packing run; the message names the file and the reason.
class PackFailure : public Error {
 public:
  using Error::Error;
};

class VolumeWriter {
 public:
  struct Settings {
    std::string target_folder;  // Windows path text
    std::string archive_name;
    format::ArchiveKind kind;
    // Compressed bytes a volume may hold; nullopt for a single-volume archive.
    std::optional<std::uint64_t> limit;
    std::string password_record;  // the 33 bytes of volume 001's tail
  };

  // Creates volume 001 and journals it. throws PackFailure.
  VolumeWriter(Settings settings, Operation& op);
  ~VolumeWriter();

  // Copies the self-extracting stub to the start of volume 001. throws PackFailure.
  void copy_stub(const std::string& stub_path);
  // Header and record fields: always whole in the current volume.
  void write_fields(std::string_view bytes);
  // One chunk of at most 1024 compressed bytes. Before it is written the count of compressed
  // bytes in the volume plus the chunk is compared with the limit; when greater, the volume is
  // closed with the continued tail and the chunk opens the next one. false when that would be
  // volume 1000: the message has been shown and nothing more may be written.
  bool write_chunk(const char* data, std::size_t n);
  // Closes the last volume with its tail and checksum.
  void finish();
  // Closes the current volume as it is (abort): no tail, no checksum.
  void abandon();

  const std::string& first_volume_name() const { return first_volume_name_; }
  // Every volume file created so far (the archive's own files, never packed into it).
  const std::vector<std::string>& volume_names() const { return volume_names_; }
  int volume_number() const { return volume_number_; }

 private:
  void open_volume(int number);
  void close_volume(bool continued);
  void put(const char* data, std::size_t n);
  void flush();

  Settings settings_;
  Operation& op_;
  File volume_;                   // VolumeStream
  std::string volume_file_name_;  // VolumeFileName
  std::string first_volume_name_;
  std::vector<std::string> volume_names_;
  int volume_number_ = 0;             // VolumeNumber
  std::uint64_t volume_bytes_ = 0;    // VolumeBytes: compressed bytes in this volume
  std::optional<std::uint64_t> stub_bytes_;  // StubBytes
  format::Crc32 crc_;
  std::vector<char> buffer_;
  bool open_ = false;
};

}  // namespace tarvik
