// CRC-32 of the volumes: reflected polynomial EDB88320, register preset to all ones, result
// complemented (zlib's crc32). Stored as 8 upper-case hexadecimal digits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik::format {

inline constexpr std::uint32_t kCrcPreset = 0xFFFFFFFFu;

// Feeds `count` bytes to the CRC register (no presetting, no complement); count 0 returns
// `crc` unchanged.
std::uint32_t UpdateCRC32(std::uint32_t crc, const void* buffer, std::uint16_t count);

// A running CRC-32 over any amount of bytes.
class Crc32 {
 public:
  void update(const void* data, std::size_t n);
  void update(std::string_view bytes) { update(bytes.data(), bytes.size()); }
  std::uint32_t value() const { return value_; }

 private:
  std::uint32_t value_ = 0;  // zlib's (and libdeflate's) form: already complemented
};

std::string crc_text(std::uint32_t crc);

}  // namespace tarvik::format
