// MainZlib, packing side: each file becomes one zlib stream at the default level, compressed
// as a stream. Because the compressed size precedes the data, the compressed bytes wait in a
// bounded memory buffer that spills to a temporary file beside the archive.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ops/operation.h"
#include "pack/volume_writer.h"
#include "platform/error.h"
#include "platform/file.h"

struct z_stream_s;

namespace tarvik {

// Compressed bytes of one file: memory up to a bound, the rest in a spill file.
class SpillBuffer {
 public:
  SpillBuffer(std::string spill_path, std::size_t memory_limit);
  ~SpillBuffer();  // deletes the spill file
  SpillBuffer(const SpillBuffer&) = delete;
  SpillBuffer& operator=(const SpillBuffer&) = delete;

  void clear();
  void append(const char* data, std::size_t n);  // throws PackFailure
  std::uint64_t size() const { return size_; }
  // Calls sink(chunk, n) for consecutive chunks of at most `chunk` bytes; stops when it
  // returns false. throws PackFailure.
  template <typename Sink>
  bool for_each_chunk(std::size_t chunk, Sink&& sink);

 private:
  std::string spill_path_;
  std::size_t memory_limit_;
  std::vector<char> memory_;
  std::optional<File> spill_;
  std::uint64_t spilled_ = 0;
  std::uint64_t size_ = 0;
};

// One compressor reused for every file of a run (deflateReset instead of a fresh state).
class Deflater {
 public:
  Deflater();
  ~Deflater();
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // Compresses the whole of `source` into `out` as one zlib stream at the default level;
  // returns the number of source bytes. throws PackFailure (a read error names the file).
  std::uint64_t compress(File& source, SpillBuffer& out, Operation& op);

 private:
  std::unique_ptr<z_stream_s> stream_;
  std::vector<unsigned char> in_, out_;
};

// Compresses the file `source_path` (Windows path text) and writes its size fields and its
// compressed data through `writer`. false when the 999-volume limit stopped the data.
// throws PackFailure.
bool DeflateFileToVolumes(const std::string& source_path, VolumeWriter& writer, Deflater& deflater,
                          SpillBuffer& buffer, Operation& op);

template <typename Sink>
bool SpillBuffer::for_each_chunk(std::size_t chunk, Sink&& sink) {
  std::size_t pos = 0;
  while (pos < memory_.size()) {
    std::size_t n = std::min(chunk, memory_.size() - pos);
    if (!sink(memory_.data() + pos, n)) return false;
    pos += n;
  }
  if (!spill_ || spilled_ == 0) return true;
  std::vector<char> block(chunk);
  try {
    spill_->seek(0);
    std::uint64_t left = spilled_;
    while (left > 0) {
      std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk, left));
      std::size_t got = 0;
      while (got < n) {
        std::size_t r = spill_->read(block.data() + got, n - got);
        if (r == 0) throw PackFailure("spill file ended early");
        got += r;
      }
      if (!sink(block.data(), n)) return false;
      left -= n;
    }
  } catch (const OsError& e) {
    throw PackFailure(e.what());
  }
  return true;
}

}  // namespace tarvik
