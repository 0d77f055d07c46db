// Byte streams held in memory.
#include "platform/stream.h"

#include <algorithm>
#include <cstring>

namespace tarvik {

std::size_t MemorySource::read(void* buffer, std::size_t n) {
  if (pos_ >= bytes_.size()) return 0;
  const auto left = static_cast<std::size_t>(bytes_.size() - pos_);
  const std::size_t count = std::min(n, left);
  std::memcpy(buffer, bytes_.data() + pos_, count);
  pos_ += count;
  return count;
}

ReadAhead::ReadAhead(ByteSource& source, std::size_t capacity)
    : source_(&source), buffer_(capacity, '\0'), pos_(source.tell()) {}

void ReadAhead::reset() {
  have_ = 0;
  start_ = 0;
  pos_ = source_->tell();
}

std::size_t ReadAhead::read(void* buffer, std::size_t n) {
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  if (pos_ >= start_ && pos_ < start_ + have_) {
    const auto offset = static_cast<std::size_t>(pos_ - start_);
    done = std::min(n, have_ - offset);
    std::memcpy(out, buffer_.data() + offset, done);
    pos_ += done;
    if (done == n) return n;
  }
  source_->seek(pos_);
  if (n - done >= buffer_.size()) {
    const std::size_t got = source_->read(out + done, n - done);
    pos_ += got;
    return done + got;
  }
  start_ = pos_;
  have_ = source_->read(buffer_.data(), buffer_.size());
  const std::size_t more = std::min(n - done, have_);
  std::memcpy(out + done, buffer_.data(), more);
  pos_ += more;
  return done + more;
}

std::optional<std::string> read_from_end(ByteSource& source, std::uint64_t from_end,
                                         std::size_t n) {
  const std::uint64_t size = source.size();
  if (size < from_end) return std::nullopt;
  std::string bytes(n, '\0');
  source.seek(size - from_end);
  if (source.read(bytes.data(), n) != n) return std::nullopt;
  return bytes;
}

}  // namespace tarvik
