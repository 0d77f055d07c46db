// Inflating one entry straight from the volume chain: zlib's inflate in zpipe's shape, packed
// data in chunks of at most 1024 bytes, output in blocks of 4096 bytes, memory constant
// whatever the entry's size. An entry small enough to hold is inflated whole by libdeflate.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "platform/error.h"
#include "platform/stream.h"
#include "unpack/volume_chain.h"

struct libdeflate_decompressor;

namespace tarvik::unpack {

struct InflateHooks {
  std::function<void()> before_read;  // before each read of packed data (abort test)
  std::function<void()> after_block;  // after each block of inflated output
};

// Where an entry's packed data come from, piece by piece.
class PackedSource {
 public:
  virtual ~PackedSource() = default;
  // Packed bytes still due.
  virtual std::uint64_t remaining() const = 0;
  // The next piece (at least 1 byte while any is due); valid until the next call.
  virtual std::size_t next(const unsigned char*& piece) = 0;
};

// Packed data already in memory, in one piece.
class MemorySource final : public PackedSource {
 public:
  MemorySource(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
  std::uint64_t remaining() const override { return size_; }
  std::size_t next(const unsigned char*& piece) override {
    piece = data_;
    const std::size_t n = size_;
    data_ += n;
    size_ = 0;
    return n;
  }

 private:
  const unsigned char* data_;
  std::size_t size_;
};

// libdeflate's decompressor, for entries inflated whole: faster than zlib's inflate, but only
// from one buffer into one buffer.
class WholeInflater {
 public:
  WholeInflater();
  ~WholeInflater();
  WholeInflater(const WholeInflater&) = delete;
  WholeInflater& operator=(const WholeInflater&) = delete;

  // Inflates `packed` (n bytes) into `out` (room for `expected_size` bytes) when it is exactly
  // one zlib stream of exactly `expected_size` bytes; false otherwise, with nothing to say why: the
  // caller then inflates it with inflate_entry, which names the fault.
  bool inflate(const unsigned char* packed, std::size_t n, unsigned char* out,
               std::size_t expected_size);

 private:
  ::libdeflate_decompressor* d_;
};

// Inflates exactly source.remaining() packed bytes holding one zlib stream into `out` (nothing
// is written when null), in output blocks of `block` bytes, with the checks of InflateFile.
std::uint64_t inflate_entry(PackedSource& source, std::uint64_t expected_size, ByteSink* out,
                            const InflateHooks& hooks, unsigned char* block,
                            std::size_t block_size);

// Inflates the entry's packed data (exactly data.remaining() bytes holding one zlib stream)
// (whole with libdeflate when it is at most 64 KiB packed and 256 KiB inflated, else streamed)
// into `out` (nothing is written when null) and returns the inflated size. The stream must
// end exactly at the packed size and inflate to `expected_size` bytes; output beyond
// `expected_size` is never written. throws EntryDamaged, whatever the hooks throw, and the
// chain's errors (FormatError, VolumeMissing, ...).
std::uint64_t InflateFile(EntryData& data, std::uint64_t expected_size, ByteSink* out,
                          const InflateHooks& hooks);

}  // namespace tarvik::unpack
