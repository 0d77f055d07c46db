// MainZlib, packing side: each file becomes one zlib stream at the default level, compressed
// as a stream. Because the compressed size precedes the data, the compressed bytes wait in a
// bounded memory buffer that spills to a temporary file beside the archive.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ops/operation.h"
#include "pack/volume_writer.h"
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
  // Calls sink(data, n) for consecutive chunks of at most `chunk` bytes; stops when it
  // returns false. throws PackFailure.
  bool for_each_chunk(std::size_t chunk,
                      const std::function<bool(const char*, std::size_t)>& sink);

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

}  // namespace tarvik
