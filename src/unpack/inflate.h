// Inflating one entry straight from the volume chain: zlib's inflate in zpipe's shape, packed
// data in chunks of at most 1024 bytes, output in blocks of 4096 bytes, memory constant
// whatever the entry's size.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/error.h"
#include "platform/stream.h"
#include "unpack/volume_chain.h"

namespace tarvik::unpack {

// This entry's data are damaged; the framing of the records around it still holds.
struct EntryDamaged : Error {
  explicit EntryDamaged(std::string why) : Error(why), reason(std::move(why)) {}
  std::string reason;  // Russian words
};

struct InflateHooks {
  std::function<void()> before_read;  // before each read of packed data (abort test)
  std::function<void()> after_block;  // after each block of inflated output
};

// Inflates the entry's packed data (exactly data.remaining() bytes holding one zlib stream)
// into `out` (nothing is written when null) and returns the inflated size. The stream must
// end exactly at the packed size and inflate to `expected_size` bytes; output beyond
// `expected_size` is never written. throws EntryDamaged, whatever the hooks throw, and the
// chain's errors (FormatError, VolumeMissing, ...).
std::uint64_t InflateFile(EntryData& data, std::uint64_t expected_size, ByteSink* out,
                          const InflateHooks& hooks);

}  // namespace tarvik::unpack
