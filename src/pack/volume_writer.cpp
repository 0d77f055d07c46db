#include "pack/volume_writer.h"

#include <cstring>

#include "format/layout.h"
#include "format/messages.h"
#include "format/records.h"
#include "ops/journal.h"
#include "platform/error.h"
#include "platform/fs.h"

namespace tarvik {

namespace {
constexpr std::size_t kWriteBuffer = 64 * 1024;
}  // namespace

VolumeWriter::VolumeWriter(Settings settings, Operation& op)
    : settings_(std::move(settings)), op_(op) {
  buffer_.reserve(kWriteBuffer);
  open_volume(1);
  first_volume_name_ = volume_file_name_;
}

VolumeWriter::~VolumeWriter() = default;

void VolumeWriter::open_volume(int number) {
  std::string name = format::volume_file_name(settings_.target_folder, settings_.archive_name,
                                              settings_.kind, number);
  try {
    if (op_.journal) {
      // An older file of that name is kept aside until the run ends, and comes back when it
      // fails or is aborted; the new volume is journalled before it exists.
      if (fs::name_taken(name)) move_aside(*op_.journal, name);
      const std::uint64_t mark = op_.journal->mark();
      op_.journal->add_file(name);
      try {
        volume_ = File(name, File::Mode::CreateNew);
      } catch (const OsError&) {
        op_.journal->retract(mark);
        throw;
      }
    } else {
      volume_ = File(name, File::Mode::Create);
    }
  } catch (const OsError& e) {
    throw PackFailure(msg::cannot_write(name, e.reason()));
  } catch (const PackFailure&) {
    throw;
  } catch (const std::exception& e) {  // a name the journal cannot hold
    throw PackFailure(e.what());
  }
  volume_names_.push_back(name);
  volume_file_name_ = name;
  volume_number_ = number;
  crc_ = format::Crc32();
  open_ = true;
  if (number > 1) {
    const char marker = format::kContinuationMarker;
    put(&marker, 1);
  }
}

void VolumeWriter::put(const char* data, std::size_t n) {
  crc_.update(data, n);
  if (buffer_.size() + n > kWriteBuffer) flush();
  if (n >= kWriteBuffer) {
    try {
      volume_.write(data, n);
    } catch (const OsError& e) {
      throw PackFailure(msg::cannot_write(volume_file_name_, e.reason()));
    }
    return;
  }
  buffer_.insert(buffer_.end(), data, data + n);
}

void VolumeWriter::flush() {
  if (buffer_.empty()) return;
  try {
    volume_.write(buffer_.data(), buffer_.size());
  } catch (const OsError& e) {
    buffer_.clear();
    throw PackFailure(msg::cannot_write(volume_file_name_, e.reason()));
  }
  buffer_.clear();
}

void VolumeWriter::copy_stub(const std::string& stub_path) {
  try {
    File stub(stub_path, File::Mode::Read);
    std::uint64_t copied = 0;
    std::vector<char> block(kWriteBuffer);
    for (;;) {
      std::size_t got = stub.read(block.data(), block.size());
      if (got == 0) break;
      put(block.data(), got);
      copied += got;
    }
    stub_bytes_ = copied;
  } catch (const OsError& e) {
    if (e.path() == stub_path) throw PackFailure(msg::stub_missing(stub_path, e.reason()));
    throw;
  }
}

void VolumeWriter::write_fields(std::string_view bytes) { put(bytes.data(), bytes.size()); }

bool VolumeWriter::write_chunk(const char* data, std::size_t n) {
  volume_bytes_ += n;
  if (settings_.limit && *settings_.limit < volume_bytes_) {
    close_volume(/*continued=*/true);
    if (volume_number_ + 1 > format::kMaxVolumes) {
      op_.ui.show_message(msg::kTooManyVolumes);
      return false;
    }
    open_volume(volume_number_ + 1);
    volume_bytes_ = n;
  }
  put(data, n);
  return true;
}

void VolumeWriter::close_volume(bool continued) {
  format::Tail tail;
  tail.first_volume = volume_number_ == 1;
  if (tail.first_volume) {
    tail.stub_size = stub_bytes_;
    tail.password_record = settings_.password_record;
  }
  tail.continued = continued;
  write_fields(format::tail_bytes(tail));
  std::string checksum = format::crc_text(crc_.value());
  put(checksum.data(), checksum.size());
  flush();
  try {
    volume_.close();
  } catch (const OsError& e) {
    throw PackFailure(msg::cannot_write(volume_file_name_, e.reason()));
  }
  open_ = false;
}

void VolumeWriter::finish() { close_volume(/*continued=*/false); }

void VolumeWriter::abandon() {
  if (!open_) return;
  buffer_.clear();
  volume_ = File();
  open_ = false;
}

}  // namespace tarvik
