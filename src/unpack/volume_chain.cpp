#include "unpack/volume_chain.h"

#include <algorithm>
#include <array>
#include <utility>

#include "format/crc.h"
#include "format/encryption.h"
#include "format/fields.h"
#include "format/layout.h"
#include "format/messages.h"
#include "format/names.h"
#include "format/printable.h"
#include "ops/checks.h"
#include "platform/fs.h"

namespace tarvik::unpack {

namespace {

// Reads exactly `n` bytes at `offset`; a file that ends first is damaged.
std::string read_at(ByteSource& file, std::uint64_t offset, std::size_t n) {
  std::string bytes(n, '\0');
  file.seek(offset);
  if (file.read(bytes.data(), n) != n) throw format::FormatError(std::string(msg::kVolumeBreaksOff));
  return bytes;
}

}  // namespace

VolumeChain::VolumeChain(std::string first_volume, Options options)
    : first_volume_(std::move(first_volume)),
      reading_path_(first_volume_),
      options_(std::move(options)) {
  file_ = File(first_volume_, File::Mode::Read);
  in_.reset();
  const std::uint64_t size = file_.size();
  const std::uint64_t tail = format::tail_length(true, options_.self_extracting);
  if (options_.self_extracting) {
    if (size < tail) throw VolumeDamaged{reading_path_, std::string(msg::kShorterThanTail)};
    auto stub = format::parse_decimal(format::field_text(
        read_at(in_, size - format::kStubSizeFromEnd, format::kStubSizeWidth)));
    if (!stub || *stub > size - tail)
      throw VolumeDamaged{reading_path_, std::string(msg::kStubSizeWrong)};
    start_ = *stub;
  }
  data_end_ = size >= tail ? size - tail : 0;
  in_.seek(start_);
  show_progress();
}

std::string VolumeChain::read_version() {
  const std::uint64_t size = file_.size();
  const std::uint64_t n = std::min<std::uint64_t>(format::kVersionWidth, size - start_);
  std::string raw = read_at(in_, start_, static_cast<std::size_t>(n));
  return format::field_text(raw);
}

void VolumeChain::check_first_tail() {
  require_tail(format::tail_length(true, options_.self_extracting));
  in_.seek(start_);
}

void VolumeChain::require_tail(std::uint64_t tail_length) {
  const std::uint64_t size = file_.size();
  if (size < tail_length + start_) throw VolumeDamaged{reading_path_, std::string(msg::kVolumeShorterThanTail)};
  if (read_at(in_, size - tail_length, format::kTagWidth)[0] != format::kEndTag)
    throw VolumeDamaged{reading_path_, std::string(msg::kNoEndMarkBeforeTail)};
  const std::string terminator =
      read_at(in_, size - format::kTerminatorFromEnd, format::kTerminatorWidth);
  if (terminator == format::kContinuedTerminator) {
    continued_ = true;
  } else if (terminator == format::kLastTerminator) {
    continued_ = false;
  } else {
    throw VolumeDamaged{reading_path_, std::string(msg::kTailNotRecognised)};
  }
  data_end_ = size - tail_length;
}

bool VolumeChain::checksum_ok() {
  SilentUi silent;
  return stored_checksum_matches(file_.path(), options_.ui ? *options_.ui : silent).value_or(false);
}

void VolumeChain::show_progress() {
  if (!options_.progress) return;
  Ui& ui = *options_.progress;
  ui.set_caption(std::string(msg::kUnpackingCaption) +
                 format::printable(format::file_name_part(file_.path())));
  ui.set_progress_max(file_.size());
  ui.set_progress(in_.tell());
}

void VolumeChain::open_volume(const std::string& path) {
  if (!fs::is_file(path)) throw VolumeMissing{path};
  reading_path_ = path;
  File next(path, File::Mode::Read);
  file_ = std::move(next);
  in_.reset();
  start_ = format::kTagWidth;
  verified_ = false;
  if (options_.later_checksums == LaterChecksums::Verify ||
      options_.later_checksums == LaterChecksums::Report) {
    verified_ = checksum_ok();
    if (!verified_) {
      if (options_.later_checksums == LaterChecksums::Verify || !options_.report)
        throw VolumeChecksumBad{path};
      options_.report(path);
      verified_ = true;  // reported once
    }
  } else if (options_.later_checksums == LaterChecksums::Skip) {
    verified_ = true;
  }
  require_tail(format::kLaterTailBytes);
  if (read_at(in_, 0, format::kTagWidth)[0] != format::kContinuationMarker)
    throw VolumeDamaged{reading_path_, std::string(msg::kNoContinuationMark)};
  in_.seek(start_);
  show_progress();
}

void VolumeChain::next_volume() {
  if (number_ >= format::kMaxVolumes) throw VolumeDamaged{reading_path_, std::string(msg::kTooManyVolumesInChain)};
  ++number_;
  const std::string name =
      format::next_volume_file_name(format::file_name_part(first_volume_), number_);
  open_volume(format::join_path(format::folder_part(first_volume_), name));
}

std::size_t VolumeChain::read_data(void* buffer, std::size_t max) {
  while (at_data_end()) {
    if (!continued_) throw format::FormatError(std::string(msg::kDataPastLastVolume));
    next_volume();
  }
  if (!verified_) {
    const std::uint64_t at = position();
    if (!checksum_ok()) throw VolumeChecksumBad{file_.path()};
    verified_ = true;
    in_.seek(at);
  }
  const std::uint64_t left = data_end_ - position();
  const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(max, left));
  if (in_.read(buffer, n) != n) throw format::FormatError(std::string(msg::kVolumeBreaksOff));
  return n;
}

void VolumeChain::skip_data(std::uint64_t count) {
  while (count > 0) {
    while (at_data_end()) {
      if (!continued_) throw format::FormatError(std::string(msg::kDataPastLastVolume));
      next_volume();
    }
    const std::uint64_t step = std::min(count, data_end_ - position());
    in_.seek(position() + step);
    count -= step;
  }
}

EntryData::EntryData(VolumeChain& chain, std::uint64_t packed_size,
                     std::optional<EntryCipher> cipher)
    : chain_(&chain), remaining_(0), packed_left_(packed_size), encrypted_(true),
      cipher_(std::move(cipher)) {
  const auto plain = format::plain_size(packed_size);
  damaged_ = !plain;
  if (plain) {
    remaining_ = plain_total_ = *plain;
    segments_ = format::segment_count(*plain);
  }
}

EntryData::~EntryData() = default;

std::size_t EntryData::read_plain(unsigned char* buffer, std::size_t want) {
  if (encrypted_) return read_decrypted(buffer, want);
  const std::size_t got = chain_->read_data(buffer, want);
  remaining_ -= got;
  packed_left_ -= got;
  return got;
}

// Reads, decrypts and authenticates the next segment whole.
void EntryData::open_segment() {
  if (damaged_) throw EntryDamaged(std::string(msg::kDataNotAuthentic));
  if (!cipher_) throw EntryDamaged(std::string(msg::kNoKeyForData));
  const bool last = next_segment_ + 1 == segments_;
  const std::uint64_t before = std::uint64_t{next_segment_} * format::kSegmentBytes;
  const auto length = static_cast<std::size_t>(last ? plain_total_ - before
                                                    : std::uint64_t{format::kSegmentBytes});
  segment_.resize(length);
  crypto::Tag tag{};
  for (std::size_t have = 0; have < length;)
    have += chain_->read_data(segment_.data() + have, length - have);
  for (std::size_t have = 0; have < tag.size();)
    have += chain_->read_data(tag.data() + have, tag.size() - have);
  packed_left_ -= length + tag.size();
  const auto& aad = cipher_->aad;
  const bool authentic = cipher_->key->open(
      format::segment_nonce(cipher_->file_number, next_segment_, last),
      std::span(reinterpret_cast<const std::uint8_t*>(aad.data()), aad.size()), segment_, tag);
  ++next_segment_;
  segment_pos_ = 0;
  if (!authentic) {
    segment_.clear();
    throw EntryDamaged(std::string(msg::kDataNotAuthentic));
  }
}

std::size_t EntryData::read_decrypted(unsigned char* buffer, std::size_t want) {
  if (segment_pos_ == segment_.size()) open_segment();
  const std::size_t n = std::min(want, segment_.size() - segment_pos_);
  std::copy_n(segment_.data() + segment_pos_, n, buffer);
  segment_pos_ += n;
  remaining_ -= n;
  return n;
}

std::size_t EntryData::read_chunk(unsigned char* buffer) {
  if (remaining_ == 0) return 0;
  return read_plain(buffer,
                    static_cast<std::size_t>(std::min<std::uint64_t>(format::kChunkSize, remaining_)));
}

std::size_t EntryData::read(unsigned char* buffer, std::size_t max) {
  if (remaining_ == 0) return 0;
  return read_plain(buffer, static_cast<std::size_t>(std::min<std::uint64_t>(max, remaining_)));
}

bool EntryData::authentic() {
  if (!encrypted_ || !cipher_) return true;
  try {
    while (next_segment_ < segments_) open_segment();
    return true;
  } catch (const EntryDamaged&) {
    return false;
  } catch (const std::exception&) {
    return true;  // the chain's own fault: not for this entry's words
  }
}

void EntryData::skip_rest() {
  chain_->skip_data(packed_left_);
  packed_left_ = 0;
  remaining_ = 0;
  next_segment_ = static_cast<std::uint32_t>(segments_);
}

}  // namespace tarvik::unpack
