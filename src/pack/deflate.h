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

class RollbackJournal;
class WorkFile;

// Compressed bytes of one file: memory up to a bound, the rest in a spill file, a work file of
// the run named "<stem>.tzs" (or "<stem>~N.tzs" when that is taken), made when first needed.
class SpillBuffer {
 public:
  SpillBuffer(RollbackJournal* journal, std::string stem, std::size_t memory_limit);
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
  File& spill();
  RollbackJournal* journal_;
  std::string stem_;
  std::size_t memory_limit_;
  std::vector<char> memory_;
  std::unique_ptr<WorkFile> spill_;
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
  // returns the number of source bytes, or nullopt when Abort was asked (polled after each
  // block read, so that it takes effect inside a large file). throws PackFailure (a read
  // error names the file).
  std::optional<std::uint64_t> compress(File& source, SpillBuffer& out, Operation& op);

 private:
  std::unique_ptr<z_stream_s> stream_;
  std::vector<unsigned char> in_, out_;
};

enum class DeflateEnd {
  Written,      // size fields and data are in the volumes
  VolumeLimit,  // the 999-volume limit stopped the data (the message has been shown)
  Aborted,      // Abort was asked; the record may stop anywhere
};

// Compresses the file `source_path` (Windows path text) and writes its size fields and its
// compressed data through `writer`. throws PackFailure.
DeflateEnd DeflateFileToVolumes(const std::string& source_path, VolumeWriter& writer, Deflater& deflater,
                          SpillBuffer& buffer, Operation& op);

}  // namespace tarvik
