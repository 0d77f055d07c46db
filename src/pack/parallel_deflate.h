// Compression on worker threads. Files are cut into blocks of kDeflateBlock bytes; each block
// is compressed by whichever worker is free. The compressed file is put back together in
// submission order as one zlib stream (RFC 1950):
//   header 78 xx | block 1 ... block n | Adler-32 of the whole file (big-endian)
// The header's second byte tells the level, as zlib's does (9C at the default level).
// A file of one block is compressed whole by libdeflate, the faster of the two (a file of a few
// bytes, which libdeflate would only store, goes to zlib like a larger one). A larger file
// goes through one raw-deflate z_stream per worker, reset per block (zlib's level, at most 9):
// a block after the first is primed with the 32 KiB before it as dictionary; every block but
// the last ends with a sync flush (byte-aligned, no final bit), the last with finish; the
// Adler-32 values of the blocks are combined. Both compressors give the same bytes for the
// same input and level every time, and the block size is fixed: the bytes never depend on the
// number of threads.
//
// Memory is bounded whatever the sizes, the level and the thread count: at most kMaxWorkers
// workers, each with one input block and, made when first needed, one z_stream; libdeflate
// compressors shared by the workers, at most kMaxNearOptimal of them at the levels above 9
// (about 9 MiB each); blocks started and not yet taken of at most (workers + 2) blocks' worth
// of input, and at most window() of them: many small files are in flight at once, big ones few.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ops/workers.h"
#include "pack/level.h"

namespace tarvik {

class SpillBuffer;

inline constexpr std::size_t kDeflateBlock = 256 * 1024;
inline constexpr std::size_t kDeflateDictionary = 32 * 1024;
// Blocks started and not yet taken, at most, for each worker (small files: a block each).
inline constexpr std::size_t kBlocksInFlightPerWorker = 32;

// libdeflate compressors at the levels above 9, at most (each about 9 MiB).
inline constexpr std::size_t kMaxNearOptimal = 3;

class ParallelDeflater {
 public:
  // `level`: kMinLevel to kMaxLevel.
  ParallelDeflater(unsigned threads, int level = kDefaultLevel);
  ~ParallelDeflater();  // stops the workers; blocks not taken are dropped
  ParallelDeflater(const ParallelDeflater&) = delete;
  ParallelDeflater& operator=(const ParallelDeflater&) = delete;

  // Queues the file `path` (Windows path text) of `size` bytes. Never throws for the file:
  // a read failure is reported by take().
  void submit(const std::string& path, std::uint64_t size);
  // Files submitted and not yet taken.
  std::size_t queued() const { return files_.size(); }

  // Appends the zlib stream of the oldest submitted file to `out` and returns the file's size.
  // While it takes the file's blocks it calls `poll` about every 20 ms, whether it waits or
  // not; nullopt when `poll` returned true (the file's stream is then incomplete in `out`, and
  // nothing more is appended to it). throws PackFailure naming the file when it
  // could not be read or changed while it was read. After nullopt or a throw, nothing more may be
  // taken: the deflater is only destroyed.
  std::optional<std::uint64_t> take(SpillBuffer& out, const std::function<bool()>& poll);

  unsigned workers() const { return threads_.size(); }
  std::size_t window() const { return window_; }

 private:
  struct Block {
    std::string path;
    std::uint64_t offset = 0;
    std::size_t length = 0;
    bool last = false;
    // Filled by the worker.
    std::vector<unsigned char> out;
    unsigned long adler = 1;
    std::string error;  // the whole message
    bool done = false;
  };
  struct FileJob {
    std::uint64_t size = 0;
    std::size_t blocks = 0;
  };

  class Compressors;

  void work();
  void stop();  // tells the workers to return

  std::mutex mutex_;
  std::condition_variable to_workers_;
  std::condition_variable to_taker_;
  std::deque<Block> blocks_;  // not yet taken; blocks_[0] has the number taken_
  std::deque<FileJob> files_;
  std::size_t taken_ = 0;     // blocks taken so far
  std::size_t started_ = 0;   // blocks handed to a worker so far
  std::uint64_t in_flight_bytes_ = 0;  // input bytes of the blocks started and not yet taken
  std::size_t window_ = 0;             // blocks started and not yet taken, at most
  std::uint64_t window_bytes_ = 0;     // their input bytes, at most (one block always may start)
  bool stop_ = false;
  int level_;
  std::unique_ptr<Compressors> compressors_;
  WorkerThreads threads_;
};

}  // namespace tarvik
