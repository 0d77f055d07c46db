#include "pack/deflate.h"

#include <algorithm>

#include "format/messages.h"
#include "format/records.h"
#include "ops/journal.h"
#include "platform/error.h"
#include "platform/fs.h"

namespace tarvik {

constexpr std::string_view kSpillSuffix = ".tzs";
constexpr std::size_t kSpillReadBlock = 256 * 1024;

SpillBuffer::SpillBuffer(RollbackJournal* journal, std::string stem, std::size_t memory_limit)
    : journal_(journal), stem_(std::move(stem)), memory_limit_(memory_limit) {}

SpillBuffer::~SpillBuffer() = default;

File& SpillBuffer::spill() {
  if (!spill_) {
    try {
      spill_ = std::make_unique<WorkFile>(journal_, stem_, kSpillSuffix);
    } catch (const OsError& e) {
      throw PackFailure(msg::cannot_write(stem_ + std::string(kSpillSuffix), e.reason()));
    } catch (const std::exception& e) {
      throw PackFailure(e.what());
    }
  }
  return spill_->file();
}

void SpillBuffer::clear() {
  memory_.clear();
  spilled_ = 0;
  size_ = 0;
  if (spill_) spill_->file().seek(0);
}

void SpillBuffer::append(const char* data, std::size_t n) {
  size_ += n;
  std::size_t to_memory = std::min(n, memory_limit_ - std::min(memory_limit_, memory_.size()));
  if (spilled_ == 0 && to_memory > 0) {
    memory_.insert(memory_.end(), data, data + to_memory);
    data += to_memory;
    n -= to_memory;
  }
  if (n == 0) return;
  File& file = spill();
  try {
    file.seek(spilled_);
    file.write(data, n);
    spilled_ += n;
  } catch (const OsError& e) {
    throw PackFailure(msg::cannot_write(file.path(), e.reason()));
  }
}

bool SpillBuffer::for_each_chunk(std::size_t chunk,
                                 const std::function<bool(const char*, std::size_t)>& sink) {
  for (std::size_t pos = 0; pos < memory_.size(); pos += chunk) {
    if (!sink(memory_.data() + pos, std::min(chunk, memory_.size() - pos))) return false;
  }
  if (!spill_ || spilled_ == 0) return true;
  // Read back in large blocks (a whole number of chunks): one system call per chunk costs more
  // than the rest of the copy.
  const std::size_t block_size = std::max(chunk, kSpillReadBlock / chunk * chunk);
  std::vector<char> block(static_cast<std::size_t>(std::min<std::uint64_t>(block_size, spilled_)));
  File& file = spill_->file();
  try {
    file.seek(0);
    for (std::uint64_t left = spilled_; left > 0;) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), left));
      if (file.read(block.data(), n) != n)
        throw PackFailure(msg::cannot_read(file.path(), std::string(msg::kShorterThanWritten)));
      for (std::size_t pos = 0; pos < n; pos += chunk) {
        if (!sink(block.data() + pos, std::min(chunk, n - pos))) return false;
      }
      left -= n;
    }
  } catch (const OsError& e) {
    throw PackFailure(msg::cannot_read(file.path(), e.reason()));
  }
  return true;
}

}  // namespace tarvik
