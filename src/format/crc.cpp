#include "format/crc.h"

#include <libdeflate.h>

#include <cstdio>

namespace tarvik::format {

// libdeflate's CRC-32 is zlib's (same register, preset and complement), several times faster
// where the processor multiplies without carries.
std::uint32_t UpdateCRC32(std::uint32_t crc, const void* buffer, std::uint16_t count) {
  // It presets and complements around the same register update.
  return ~libdeflate_crc32(~crc, buffer, count);
}

void Crc32::update(const void* data, std::size_t n) {
  value_ = libdeflate_crc32(value_, data, n);
}

std::string crc_text(std::uint32_t crc) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(crc));
  return text;
}

}  // namespace tarvik::format
