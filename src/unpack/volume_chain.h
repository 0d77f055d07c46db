// Reading an archive volume by volume. Volume 001 is a volume file read from offset 0, or a
// self-extracting executable whose archive begins at offset S, the stub size stored 54 bytes
// before its end. Every volume ends in a tail of known length (12 bytes for volumes 002 and
// later, 45 for volume 001, 55 for a self-extracting volume 001), so the data region of a
// volume is everything between its start and size - tail length; the terminator 11 bytes
// before the end says whether another volume follows ("D{C") or not ("D{A").
//
// Only the compressed data of a file record are ever split: when an entry's data reach the end
// of a continued volume's data region, the next volume is opened (looked for in the folder of
// volume 001, named by next_volume_file_name), its continuation marker "F" skipped and the data
// go on. Later volumes carry their own checksum; volume 001 is checked by the caller before
// the walk.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "format/messages.h"
#include "format/records.h"
#include "platform/error.h"
#include "platform/crypto.h"
#include "platform/file.h"
#include "platform/ui.h"

namespace tarvik::unpack {

// The next volume file does not exist. `path` is its full Windows path.
struct VolumeMissing : Error {
  explicit VolumeMissing(std::string missing)
      : Error(msg::next_volume_missing(missing)), path(std::move(missing)) {}
  std::string path;
};
// A later volume whose stored checksum does not match its bytes.
struct VolumeChecksumBad : Error {
  explicit VolumeChecksumBad(std::string volume)
      : Error(std::string(msg::kChecksumError)), path(std::move(volume)) {}
  std::string path;
};
// A volume whose own structure is broken: no tail, no continuation marker, a stub size that
// points nowhere. `reason` in Russian words.
struct VolumeDamaged : Error {
  VolumeDamaged(std::string volume, std::string why)
      : Error(msg::damaged_archive(volume, why)), path(std::move(volume)), reason(std::move(why)) {}
  std::string path;
  std::string reason;
};

// This entry's data are damaged; the framing of the records around it still holds.
struct EntryDamaged : Error {
  explicit EntryDamaged(std::string why, std::string stored_path = {})
      : Error(why), reason(std::move(why)), entry(std::move(stored_path)) {}
  std::string reason;  // Russian words
  std::string entry;   // the stored path when it is not the entry in hand (found later)
};

// What to do with the checksum of volumes 002 and later.
enum class LaterChecksums {
  Verify,    // when the volume is opened; a mismatch throws VolumeChecksumBad
  WhenRead,  // only before entry data are read from it (seeking over data does not check)
  Report,    // when opened; a mismatch is handed to the report callback and the walk goes on
  Skip,      // never (the listing)
};

class VolumeChain {
 public:
  struct Options {
    bool self_extracting = false;
    LaterChecksums later_checksums = LaterChecksums::Verify;
    Ui* ui = nullptr;        // messages of the checksum reader (a read error)
    Ui* progress = nullptr;  // caption, bar maximum and position on each volume; none if null
    // Called with the path of a later volume whose checksum failed (LaterChecksums::Report).
    std::function<void(const std::string& path)> report;
  };

  // Opens volume 001 and finds its archive start (offset S of a self-extracting file). throws
  // OsError, VolumeDamaged (a stub size that is not a number or points past the tail).
  VolumeChain(std::string first_volume, Options options);
  VolumeChain(const VolumeChain&) = delete;  // reads through a buffer over its own file
  VolumeChain& operator=(const VolumeChain&) = delete;

  // The version text of the header (10 bytes at the archive start, bounded by the file: read
  // before anything else is believed). Leaves the position after it.
  std::string read_version();
  // Checks volume 001's tail (end tag, terminator) and leaves the position at the archive
  // start. throws VolumeDamaged.
  void check_first_tail();

  // Fields of the current volume's data region, from the current position.
  format::FieldReader fields() { return format::FieldReader(in_, data_end_); }
  std::uint64_t position() const { return in_.tell(); }
  std::uint64_t data_end() const { return data_end_; }
  bool at_data_end() const { return in_.tell() >= data_end_; }
  bool continued() const { return continued_; }
  int volume_number() const { return number_; }
  const std::string& volume_path() const { return file_.path(); }
  // The volume being opened or read: names the file of a read error.
  const std::string& reading_path() const { return reading_path_; }

  // Opens the next volume and positions after its continuation marker. throws VolumeMissing,
  // VolumeChecksumBad, VolumeDamaged (999 volumes passed, no marker, no tail), OsError.
  void next_volume();

  // Entry data: reads at most `max` bytes, never past the data region; at the end of the
  // region the next volume is opened when this one is continued. Returns at least 1 byte.
  // throws FormatError when the data would run past the last volume.
  std::size_t read_data(void* buffer, std::size_t max);
  // Moves over `count` bytes of entry data, seeking within volumes and opening the next
  // ones as needed.
  void skip_data(std::uint64_t count);

 private:
  void open_volume(const std::string& path);
  void require_tail(std::uint64_t tail_length);
  bool checksum_ok();
  void show_progress();

  std::string first_volume_;
  std::string reading_path_;
  Options options_;
  File file_;
  ReadAhead in_{file_};  // every read of file_ goes through it: one read per small record
  int number_ = 1;
  std::uint64_t start_ = 0;     // archive start in volume 001 (S), 1 in later volumes
  std::uint64_t data_end_ = 0;  // size - tail length
  bool continued_ = false;
  bool verified_ = true;  // volume 001: the caller's check
};

// How the data of an entry of an encrypted archive are encrypted.
struct EntryCipher {
  crypto::GcmKey* key = nullptr;  // the archive's, used by the walk's thread alone
  std::uint64_t file_number = 0;  // 1, 2, ... in record order
  std::string aad;
};

// Reads up to `count` bytes of entry data with the chunk rule: the least of 1024, the bytes
// still due and the bytes left in the data region.
//
// The data of an encrypted entry are segments, each its ciphertext and then its 16-byte tag
// (format/encryption.h): what is read is the plain compressed stream (remaining() counts it
// alone). A segment is read whole and authenticated before any byte of it is handed on: a tag
// that does not hold (a changed byte, a swapped or cut volume, a wrong key) throws EntryDamaged.
class EntryData {
 public:
  EntryData(VolumeChain& chain, std::uint64_t packed_size)
      : chain_(&chain), remaining_(packed_size), packed_left_(packed_size) {}
  // An encrypted entry; `cipher` nullopt when the archive's key is not known (reading throws
  // EntryDamaged, moving over the data does not).
  EntryData(VolumeChain& chain, std::uint64_t packed_size, std::optional<EntryCipher> cipher);
  ~EntryData();
  EntryData(const EntryData&) = delete;
  EntryData& operator=(const EntryData&) = delete;

  std::uint64_t remaining() const { return remaining_; }
  // Reads the next chunk into `buffer` (room for at least 1024 bytes); 0 only when nothing
  // is due.
  std::size_t read_chunk(unsigned char* buffer);
  // Reads at most `max` bytes (never past one volume's data); 0 only when nothing is due.
  std::size_t read(unsigned char* buffer, std::size_t max);
  // Moves over what is still due.
  void skip_rest();
  // After a fault was found in the data: false when they are encrypted and a segment's tag
  // does not hold (the segments still due are read to check them). True for plain data.
  // Never throws.
  bool authentic();
  VolumeChain& chain() { return *chain_; }

 private:
  std::size_t read_plain(unsigned char* buffer, std::size_t want);
  std::size_t read_decrypted(unsigned char* buffer, std::size_t want);
  void open_segment();

  VolumeChain* chain_;
  std::uint64_t remaining_;    // plain bytes not yet handed on
  std::uint64_t packed_left_;  // bytes of the record's data not yet taken from the chain
  // Encrypted entries only.
  bool encrypted_ = false;
  bool damaged_ = false;  // a compressed size no segments give
  std::optional<EntryCipher> cipher_;
  std::uint64_t plain_total_ = 0;
  std::uint64_t segments_ = 0;
  std::uint32_t next_segment_ = 0;
  std::vector<std::uint8_t> segment_;  // the plain bytes of the segment in hand
  std::size_t segment_pos_ = 0;
};

}  // namespace tarvik::unpack
