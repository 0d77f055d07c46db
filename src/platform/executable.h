// Where the program image of an executable file ends: what comes after it (an overlay) is data
// appended to the program, such as the archive of a self-extracting executable. Reads ELF (32
// and 64 bit, little-endian) and PE files, whatever system runs.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/stream.h"

namespace tarvik {

// The offset just past the last byte of `file` that belongs to its program image: the ends of
// every section, segment and header table (ELF); the headers, every section's raw data, the
// COFF symbol and string tables and the signature (PE). nullopt when the file is neither, or its headers do not hold together.
std::optional<std::uint64_t> executable_image_end(ByteSource& file);

}  // namespace tarvik
