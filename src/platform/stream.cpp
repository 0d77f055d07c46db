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
