// UpakAll: validation, the first volume (with the self-extracting stub), the header, the walk
// over the selection in list order, the tail and checksum of the last volume.
#include "pack/packer.h"

#include <algorithm>
#include <array>
#include <deque>
#include <map>
#include <tuple>
#include <stdexcept>

#include "format/encryption.h"
#include "format/entry_path.h"
#include "format/fields.h"
#include "format/layout.h"
#include "format/messages.h"
#include "format/names.h"
#include "format/records.h"
#include "format/time_text.h"
#include "ops/archive_keys.h"
#include "ops/journal.h"
#include "pack/deflate.h"
#include "pack/parallel_deflate.h"
#include "pack/password_check.h"
#include "pack/volume_writer.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/fs.h"

namespace tarvik {

namespace {

constexpr std::size_t kSpillMemory = 4 * 1024 * 1024;
constexpr std::string_view kForbiddenNameChars = "\\/:*?\"<>|";

std::string archive_bytes(const std::string& path) {
  auto bytes = codepage::to_archive(path);
  if (!bytes) throw PackFailure(msg::name_not_in_code_page(path));
  if (bytes->size() > format::kMaxPathBytes) throw PackFailure(msg::path_too_long(path));
  return *bytes;
}

// One packing run: the walk over the selection, the compressors and the writer. The walk runs
// ahead of the writer: each file it meets is handed to the workers at once, and its record
// waits in `pending_` until everything before it was written; records therefore reach the
// volumes in the order of the walk, whatever finishes first. A failure met by the walk waits
// its turn too, so the run ends with the message of the first thing that failed in that order.
class Packer {
 public:
  Packer(const Selection& selection, const PackOptions& options, VolumeWriter& writer,
         Operation& op, std::optional<crypto::Key> key)
      : selection_(selection),
        own_name_(std::string(format::trim(options.archive_name)) + std::string(format::kArchiveExtension)),
        writer_(writer),
        op_(op),
        deflater_(options.threads, options.level),
        buffer_(op.journal, writer.first_volume_name(), kSpillMemory) {
    if (key) gcm_.emplace(*key);
  }

  // Walks and writes everything. throws PackFailure.
  void run() {
    try {
      walk();
    } catch (const PackFailure& e) {
      if (write_failed_) throw;
      Pending failure;
      failure.kind = Pending::Kind::Failure;
      failure.bytes = e.what();
      pending_.push_back(std::move(failure));
    }
    while (!pending_.empty() && !finished()) write_front();
  }

  bool stopped() const { return stopped_; }

 private:
  struct Pending {
    enum class Kind { Folder, File, Failure } kind = Kind::Folder;
    std::string bytes;  // the record's fields (the message of a failure)
    std::string name;   // shown while the file is written
    std::string path;   // as stored (files)
  };

  bool finished() const { return op_.abort || stopped_; }

  void walk() {
    std::map<std::string, fs::DirEntry> listed;
    try {
      for (auto& entry : fs::list_directory(selection_.shown_folder)) listed[entry.name] = entry;
    } catch (const OsError& e) {
      throw PackFailure(msg::cannot_read(selection_.shown_folder, e.reason()));
    }
    for (const auto& raw_item : selection_.items) {
      // Checked before trimming: "notes " must not turn into someone else's "notes".
      check_name(raw_item, format::join_path(selection_.shown_folder, raw_item));
      std::string item(format::trim(raw_item));
      std::string path = format::join_path(selection_.shown_folder, item);
      auto found = listed.find(item);
      if (found == listed.end()) {
        try {
          fs::attributes(path);  // gives the system's reason
        } catch (const OsError& e) {
          throw PackFailure(msg::cannot_read(path, e.reason()));
        }
        throw PackFailure(msg::cannot_read(path, std::string(msg::kNotInFolder)));
      }
      const fs::DirEntry& entry = found->second;
      if (entry.is_directory) {
        // A link named as an item packs the folder it points to (links met inside a folder
        // are not followed).
        bool is_drive = item.size() > 1 && item[1] == ':';
        if (!is_drive) CreateArhivDir(selection_.shown_folder, item, entry.attributes);
        ScanDir(path);
      } else if (!is_own_file(item, path)) {
        CreateArhivFile(selection_.shown_folder, entry);
      }
      if (finished()) return;
    }
  }

  // The archive itself, its volumes, the run's work files and any live journal.
  bool is_own_file(const std::string& name, const std::string& path) const {
    if (name == own_name_) return true;
    const auto& volumes = writer_.volume_names();
    if (std::find(volumes.begin(), volumes.end(), path) != volumes.end()) return true;
    if (op_.journal && op_.journal->is_work_file(path)) return true;
    return format::is_journal_file_name(name) && File::is_live_journal(path);
  }

  // Only names that the program's own unpacking writes on every system go into an archive.
  static void check_name(const std::string& name, const std::string& path) {
    if (!format::is_safe_name(name)) throw PackFailure(msg::name_not_for_windows(path));
  }

  // Records of everything below `folder`: a nested folder's record after its contents.
  void ScanDir(const std::string& folder) {
    std::vector<fs::DirEntry> entries;
    try {
      entries = fs::list_directory(folder);
    } catch (const OsError& e) {
      throw PackFailure(msg::cannot_read(folder, e.reason()));
    }
    for (const auto& entry : entries) {
      std::string path = format::join_path(folder, entry.name);
      if (!entry.is_directory && is_own_file(entry.name, path)) continue;
      check_name(entry.name, path);
      if (entry.is_directory) {
        if (entry.is_linked_directory) continue;
        ScanDir(path);
        if (finished()) return;
        CreateArhivDir(folder, entry.name, entry.attributes);
      } else if (!is_own_file(entry.name, path)) {
        CreateArhivFile(folder, entry);
        if (finished()) return;
      }
    }
  }

  void CreateArhivDir(const std::string& folder, const std::string& name,
                      std::uint32_t attributes) {
    Pending record;
    record.kind = Pending::Kind::Folder;
    record.bytes = format::folder_record(archive_bytes(format::join_path(folder, name)), attributes);
    add(std::move(record));
  }

  // The record's fields now, its data from the workers.
  void CreateArhivFile(const std::string& folder, const fs::DirEntry& entry) {
    std::string path = format::join_path(folder, entry.name);
    std::string bytes = archive_bytes(path);
    fs::LocalTime time;
    try {
      time = fs::last_write_time(path);
    } catch (const OsError& e) {
      throw PackFailure(msg::cannot_read(path, e.reason()));
    }
    Pending record;
    record.kind = Pending::Kind::File;
    record.bytes = format::file_record_head(bytes, entry.attributes, format::time_text(time));
    record.name = entry.name;
    record.path = bytes;
    deflater_.submit(path, entry.size);
    add(std::move(record));
  }

  // Queues a record; writes from the front while the walk is far enough ahead.
  void add(Pending record) {
    pending_.push_back(std::move(record));
    while (!finished() && (pending_.size() > kLookAhead ||
                           deflater_.queued() > deflater_.window() + deflater_.workers())) {
      try {
        write_front();
      } catch (...) {
        write_failed_ = true;  // not the walk's failure: it ends the run as it is
        throw;
      }
    }
  }

  void write_front() {
    Pending record = std::move(pending_.front());
    pending_.pop_front();
    switch (record.kind) {
      case Pending::Kind::Failure:
        throw PackFailure(record.bytes);
      case Pending::Kind::Folder:
        writer_.write_fields(record.bytes);
        return;
      case Pending::Kind::File:
        break;
    }
    writer_.write_fields(record.bytes);
    if (op_.abort) return;  // the record stays without data; the run is rolled back
    op_.ui.set_item(record.name);  // a large file takes a while before its first chunk is written
    buffer_.clear();
    const auto size = deflater_.take(buffer_, [this] { return op_.poll(); });
    if (!size) return;  // Abort while the file was compressed: the run is rolled back
    const auto write_chunk = [&](const char* data, std::size_t n) {
      if (!writer_.write_chunk(data, n)) {
        stopped_ = true;  // the 999-volume limit
        return false;
      }
      op_.ui.advance(n);
      return !op_.poll();
    };
    if (gcm_) {
      ++file_number_;
      writer_.write_fields(format::size_fields(*size, format::sealed_size(buffer_.size())));
      if (!write_encrypted(record, *size, write_chunk)) return;
    } else {
      writer_.write_fields(format::size_fields(*size, buffer_.size()));
      if (!buffer_.for_each_chunk(format::kChunkSize, write_chunk)) return;
    }
    op_.ui.set_item(record.name);
    op_.poll();
  }

  // The compressed stream in the buffer as segments, each encrypted and followed by its tag
  // (format/encryption.h), written in chunks of 1024 bytes counted over everything. false
  // when `write_chunk` stopped the run.
  bool write_encrypted(const Pending& record, std::uint64_t size,
                       const std::function<bool(const char*, std::size_t)>& write_chunk) {
    const std::string aad = format::file_aad(record.path, size);
    const std::span<const std::uint8_t> aad_bytes(reinterpret_cast<const std::uint8_t*>(aad.data()),
                                                  aad.size());
    const std::uint64_t total = buffer_.size();
    const std::uint64_t segments = format::segment_count(total);
    std::uint64_t taken = 0;
    std::uint32_t k = 0;
    std::array<char, format::kChunkSize> chunk{};
    std::size_t held = 0;
    const auto emit = [&](const std::uint8_t* bytes, std::size_t n) {
      while (n > 0) {
        const std::size_t take = std::min(n, chunk.size() - held);
        std::copy_n(bytes, take, chunk.data() + held);
        held += take;
        bytes += take;
        n -= take;
        if (held < chunk.size()) continue;
        held = 0;
        if (!write_chunk(chunk.data(), chunk.size())) return false;
      }
      return true;
    };
    const auto seal = [&] {
      const bool last = k + 1 == segments;
      const crypto::Tag tag = gcm_->seal(format::segment_nonce(file_number_, k, last), aad_bytes, segment_);
      ++k;
      const bool written = emit(segment_.data(), segment_.size()) && emit(tag.data(), tag.size());
      segment_.clear();
      return written;
    };
    segment_.clear();
    const bool whole = buffer_.for_each_chunk(format::kChunkSize, [&](const char* data, std::size_t n) {
      while (n > 0) {
        const std::size_t take = std::min(n, format::kSegmentBytes - segment_.size());
        segment_.insert(segment_.end(), data, data + take);
        data += take;
        n -= take;
        taken += take;
        if (segment_.size() == format::kSegmentBytes && taken < total && !seal()) return false;
      }
      return true;
    });
    if (!whole || !seal()) return false;  // the last segment, full, short or empty
    return held == 0 || write_chunk(chunk.data(), held);
  }

  // How far the walk may run ahead of the writer, in records.
  static constexpr std::size_t kLookAhead = 256;

  const Selection& selection_;
  std::string own_name_;
  VolumeWriter& writer_;
  Operation& op_;
  ParallelDeflater deflater_;
  SpillBuffer buffer_;
  std::deque<Pending> pending_;
  // Encrypted archives: the key, the number of the file being written, a segment in hand.
  std::optional<crypto::GcmKey> gcm_;
  std::uint64_t file_number_ = 0;
  std::vector<std::uint8_t> segment_;
  bool stopped_ = false;
  bool write_failed_ = false;
};

// The four checks of the window, in their order, then ours; true when packing may start.
bool validate(const Selection& selection, const PackOptions& options, Ui& ui,
              std::optional<std::uint64_t>& limit) {
  std::string name(format::trim(options.archive_name));
  if (name.empty()) {
    ui.show_message(msg::kNoArchiveName);
    return false;
  }
  if (fs::exists(format::join_path(selection.shown_folder, name + std::string(format::kArchiveExtension)))) {
    ui.show_message(msg::kArchiveExists);
    return false;
  }
  if (selection.shown_folder.find('\\') == std::string::npos) {
    ui.show_message(msg::kOpenDrive);
    return false;
  }
  std::string size_text(format::trim(options.volume_size_kb));
  if (options.multi_volume && size_text.empty()) {
    ui.show_message(msg::kNoVolumeSize);
    return false;
  }
  if (codepage::code_points(name) > format::kMaxArchiveNameChars ||
      name.find_first_of(kForbiddenNameChars) != std::string::npos) {
    ui.show_message(msg::bad_archive_name(name));
    return false;
  }
  if (options.multi_volume) {
    auto kb = format::parse_decimal(size_text);
    if (!kb || *kb > UINT64_MAX / format::kKilobyte) {
      ui.show_message(msg::bad_volume_size(size_text));
      return false;
    }
    limit = *kb * format::kKilobyte;
  }
  if (!codepage::to_archive(selection.shown_folder)) {
    ui.show_message(msg::name_not_in_code_page(selection.shown_folder));
    return false;
  }
  if (!codepage::to_archive(name)) {
    ui.show_message(msg::name_not_in_code_page(name));
    return false;
  }
  if (selection.items.empty()) {
    ui.show_message(msg::kNothingSelected);
    return false;
  }
  return true;
}

}  // namespace

Outcome UpakAll(const Selection& selection, const PackOptions& options, Operation& op) {
  std::optional<std::uint64_t> limit;
  if (!validate(selection, options, op.ui, limit)) return Outcome::Failed;
  if (!options.encrypt &&
      codepage::code_points(format::trim(options.password)) > format::kMaxPasswordChars) {
    op.ui.show_message(msg::kPasswordTooLong);
    return Outcome::Failed;
  }
  // An encrypted archive stores no form of its password: its record is that of none.
  auto password_record = WritePs(options.encrypt ? std::string() : options.password);
  if (!password_record) {
    op.ui.show_message(msg::kPasswordNotInCodePage);
    return Outcome::Failed;
  }
  std::optional<format::Encryption> encryption;
  std::optional<crypto::Key> key;
  if (options.encrypt) {
    const std::string password(format::trim(options.password));
    if (password.empty()) {
      op.ui.show_message(msg::kEncryptionNeedsPassword);
      return Outcome::Failed;
    }
    if (options.password_repeat && format::trim(*options.password_repeat) != password) {
      op.ui.show_message(msg::kPasswordsDiffer);
      return Outcome::Failed;
    }
    if (codepage::code_points(password) > format::kMaxEncryptionPasswordChars) {
      op.ui.show_message(msg::kEncryptionPasswordTooLong);
      return Outcome::Failed;
    }
    try {
      std::tie(encryption, key) = new_encryption(password, options.key_iterations);
    } catch (const crypto::CryptoError& e) {
      op.ui.show_message(e.what());
      return Outcome::Failed;
    }
  }

  VolumeWriter::Settings settings;
  settings.target_folder = selection.shown_folder;
  settings.archive_name = std::string(format::trim(options.archive_name));
  settings.kind = {options.multi_volume, options.self_extracting};
  settings.limit = limit;
  settings.password_record = *password_record;

  std::optional<VolumeWriter> writer;
  try {
    writer.emplace(settings, op);
    if (options.self_extracting)
      writer->copy_stub(format::join_path(options.program_folder, format::kStubFileName));
    const std::string folder = archive_bytes(selection.shown_folder);
    if (encryption) {
      writer->write_fields(format::encrypted_header_bytes(folder) +
                           format::encryption_block_bytes(*encryption));
    } else {
      writer->write_fields(format::header_bytes(folder));
    }
    Packer packer(selection, options, *writer, op, key);
    packer.run();
    if (packer.stopped()) {
      op.abort = true;  // the finished volumes are removed like an aborted run's
      return Outcome::Failed;
    }
    if (op.abort) {
      writer->abandon();
      return Outcome::Aborted;
    }
    writer->finish();
    // On Linux the self-extracting first volume runs as a program.
    if (options.self_extracting) fs::mark_executable(writer->first_volume_name());
    return Outcome::Done;
  } catch (const PackFailure& e) {
    op.ui.show_message(e.what());
  } catch (const OsError& e) {
    op.ui.show_message(msg::cannot_write(e.path(), e.reason()));
  } catch (const std::exception& e) {  // a volume name the journal cannot hold, no memory
    op.ui.show_message(e.what());
  }
  if (writer) writer->abandon();
  op.abort = true;  // nothing half-made stays: the rollback removes every volume
  return Outcome::Failed;
}

namespace {
std::uint64_t ScanDirSize(const std::string& folder) {
  std::uint64_t total = 0;
  try {
    for (const auto& entry : fs::list_directory(folder)) {
      if (entry.is_linked_directory) continue;
      if (entry.is_directory)
        total += ScanDirSize(format::join_path(folder, entry.name));
      else
        total += entry.size;
    }
  } catch (const OsError&) {
    // An unreadable folder adds nothing; packing will name it.
  }
  return total;
}
}  // namespace

std::uint64_t SumSize(const Selection& selection) {
  std::uint64_t total = 0;
  for (const auto& item : selection.items) {
    std::string path = format::join_path(selection.shown_folder, std::string(format::trim(item)));
    try {
      if (fs::is_directory(path))
        total += ScanDirSize(path);
      else if (fs::is_file(path))
        total += fs::file_size(path);
    } catch (const OsError&) {
    }
  }
  return total;
}

}  // namespace tarvik
