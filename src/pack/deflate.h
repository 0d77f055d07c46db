// MainZlib, packing side: the compressed bytes of one file wait in a bounded memory buffer that
// spills to a temporary file beside the archive, because the compressed size precedes the data
// in the record. The compression itself is pack/parallel_deflate.h's.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pack/volume_writer.h"
#include "platform/file.h"

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

}  // namespace tarvik
