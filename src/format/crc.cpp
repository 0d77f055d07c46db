#include "format/crc.h"

#include <zlib.h>

#include <cstdio>

namespace tarvik::format {

std::uint32_t UpdateCRC32(std::uint32_t crc, const void* buffer, std::uint16_t count) {
  // zlib presets and complements around the same register update.
  return ~static_cast<std::uint32_t>(
      crc32(~crc & 0xFFFFFFFFu, static_cast<const Bytef*>(buffer), count));
}

void Crc32::update(const void* data, std::size_t n) {
  const auto* bytes = static_cast<const Bytef*>(data);
  while (n > 0) {
    auto step = static_cast<uInt>(n > 0x40000000u ? 0x40000000u : n);
    value_ = static_cast<std::uint32_t>(crc32(value_, bytes, step));
    bytes += step;
    n -= step;
  }
}

std::string crc_text(std::uint32_t crc) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(crc));
  return text;
}

}  // namespace tarvik::format
