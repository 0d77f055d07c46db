#include "pack/parallel_deflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>

#include "format/messages.h"
#include "pack/deflate.h"
#include "pack/volume_writer.h"
#include "platform/error.h"
#include "platform/file.h"

namespace tarvik {

namespace {

constexpr int kRawWindowBits = -15;
constexpr int kMemLevel = 8;
constexpr auto kPollEvery = std::chrono::milliseconds(20);
// libdeflate stores an input this small (55 - 4 x level bytes, at most 51) rather than
// compressing it; zlib's fixed-code block is smaller, and cheap at that size.
constexpr std::size_t kStoredByLibdeflate = 64;

// The zlib header: deflate with a 32 KiB window, the level in zlib's four steps (levels 1, 2-5,
// 6, 7 and above), the check bits making it a multiple of 31.
std::array<char, 2> zlib_header(int level) {
  const unsigned flevel = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
  unsigned header = 0x7800 | (flevel << 6);
  header |= 31 - header % 31;
  return {static_cast<char>(header >> 8), static_cast<char>(header & 0xFF)};
}

// One raw-deflate stream, ended on every way out.
class RawDeflater {
 public:
  explicit RawDeflater(int level) {
    if (deflateInit2(&z_, std::min(level, Z_BEST_COMPRESSION), Z_DEFLATED, kRawWindowBits, kMemLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK)
      throw std::bad_alloc();
  }
  ~RawDeflater() { deflateEnd(&z_); }
  RawDeflater(const RawDeflater&) = delete;
  RawDeflater& operator=(const RawDeflater&) = delete;

  // Compresses `n` bytes at `data` into `out`, primed with the `dict` bytes before them, ended
  // with finish (`last`) or a sync flush.
  void block(const unsigned char* data, std::size_t n, std::size_t dict, bool last,
             std::vector<unsigned char>& out) {
    deflateReset(&z_);
    if (dict > 0) deflateSetDictionary(&z_, data - dict, static_cast<uInt>(dict));
    out.resize(deflateBound(&z_, n) + 16);
    z_.next_in = const_cast<unsigned char*>(data);
    z_.avail_in = static_cast<uInt>(n);
    std::size_t have = 0;
    const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
      z_.next_out = out.data() + have;
      z_.avail_out = static_cast<uInt>(out.size() - have);
      const int rc = deflate(&z_, flush);
      if (rc == Z_STREAM_ERROR) throw Error(std::string(msg::kCompressionFailed));
      have = out.size() - z_.avail_out;
      const bool complete = last ? rc == Z_STREAM_END : z_.avail_in == 0 && z_.avail_out != 0;
      if (complete) break;
      out.resize(out.size() * 2);
    }
    out.resize(have);
    out.shrink_to_fit();  // it waits in the window: only what it holds, not deflateBound's room
  }

 private:
  z_stream z_{};
};

void put_be32(SpillBuffer& out, unsigned long value) {
  const char bytes[4] = {static_cast<char>((value >> 24) & 0xFF),
                         static_cast<char>((value >> 16) & 0xFF),
                         static_cast<char>((value >> 8) & 0xFF), static_cast<char>(value & 0xFF)};
  out.append(bytes, sizeof bytes);
}

// Compresses a whole block (a whole file) into raw deflate.
void deflate_whole(libdeflate_compressor* c, const unsigned char* data, std::size_t n,
                   std::vector<unsigned char>& out) {
  out.resize(libdeflate_deflate_compress_bound(c, n));
  const std::size_t have = libdeflate_deflate_compress(c, data, n, out.data(), out.size());
  if (have == 0) throw Error(std::string(msg::kCompressionFailed));
  out.resize(have);
  out.shrink_to_fit();
}

}  // namespace

// libdeflate compressors of one level, shared by the workers: at the levels above 9 each is
// large, so fewer are made than there are workers and a worker may wait for one.
class ParallelDeflater::Compressors {
 public:
  Compressors(int level, std::size_t limit) : level_(level), limit_(limit) {}
  ~Compressors() {
    for (auto* c : free_) libdeflate_free_compressor(c);
  }
  Compressors(const Compressors&) = delete;
  Compressors& operator=(const Compressors&) = delete;

  // A compressor, or null once stop() was called: a worker waiting for one does not hold up
  // the end of the run by compressing a block nobody will take.
  libdeflate_compressor* acquire() {
    std::unique_lock lock(mutex_);
    returned_.wait(lock, [&] { return stopped_ || !free_.empty() || made_ < limit_; });
    if (stopped_) return nullptr;
    if (!free_.empty()) {
      auto* c = free_.back();
      free_.pop_back();
      return c;
    }
    auto* c = libdeflate_alloc_compressor(level_);
    if (!c) throw std::bad_alloc();
    ++made_;
    return c;
  }
  void stop() {
    {
      std::lock_guard lock(mutex_);
      stopped_ = true;
    }
    returned_.notify_all();
  }
  void release(libdeflate_compressor* c) {
    {
      std::lock_guard lock(mutex_);
      free_.push_back(c);
    }
    returned_.notify_one();
  }

 private:
  int level_;
  std::size_t limit_;
  std::mutex mutex_;
  std::condition_variable returned_;
  std::vector<libdeflate_compressor*> free_;
  std::size_t made_ = 0;
  bool stopped_ = false;
};

ParallelDeflater::ParallelDeflater(unsigned threads, int level)
    : level_(std::clamp(level, kMinLevel, kMaxLevel)) {
  const unsigned n = worker_count(threads);
  // One block's worth of input in hand for each worker and two more: every worker stays busy,
  // and the blocks that wait to be taken stay few whatever the thread count. Small files are
  // many blocks to that worth: they are handed out without waiting for the writer at each one.
  window_bytes_ = (static_cast<std::uint64_t>(n) + 2) * kDeflateBlock;
  window_ = static_cast<std::size_t>(n) * kBlocksInFlightPerWorker;
  compressors_ = std::make_unique<Compressors>(
      level_, level_ > Z_BEST_COMPRESSION ? std::min<std::size_t>(n, kMaxNearOptimal) : n);
  threads_.start(n, [this] { work(); }, [this] { stop(); });
}

void ParallelDeflater::stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  compressors_->stop();
  to_workers_.notify_all();
}

ParallelDeflater::~ParallelDeflater() {
  stop();
  threads_.join();
}

void ParallelDeflater::submit(const std::string& path, std::uint64_t size) {
  const std::size_t count =
      size == 0 ? 1 : static_cast<std::size_t>((size + kDeflateBlock - 1) / kDeflateBlock);
  {
    std::lock_guard lock(mutex_);
    files_.push_back({size, count});
    for (std::size_t i = 0; i < count; ++i) {
      Block b;
      b.path = path;
      b.offset = static_cast<std::uint64_t>(i) * kDeflateBlock;
      b.length = static_cast<std::size_t>(std::min<std::uint64_t>(kDeflateBlock, size - b.offset));
      b.last = i + 1 == count;
      blocks_.push_back(std::move(b));
    }
  }
  to_workers_.notify_all();
}

void ParallelDeflater::work() {
  std::unique_ptr<RawDeflater> z;
  std::vector<unsigned char> in(kDeflateDictionary + kDeflateBlock + 1);
  std::unique_lock lock(mutex_);
  for (;;) {
    to_workers_.wait(lock, [&] {
      if (stop_) return true;
      if (started_ >= taken_ + blocks_.size()) return false;  // nothing waits
      if (started_ == taken_) return true;                     // nothing in flight
      return started_ < taken_ + window_ &&
             in_flight_bytes_ + blocks_[started_ - taken_].length <= window_bytes_;
    });
    if (stop_) return;
    Block& b = blocks_[started_ - taken_];  // stays in place: the deque only grows at its back
    ++started_;                             // and loses its front after the block was done
    in_flight_bytes_ += b.length;
    lock.unlock();

    std::string error;
    std::vector<unsigned char> out;
    unsigned long adler = 1;
    try {
      const std::size_t dict =
          static_cast<std::size_t>(std::min<std::uint64_t>(b.offset, kDeflateDictionary));
      File source(b.path, File::Mode::Read);
      if (b.offset > dict) source.seek(b.offset - dict);
      // The last block asks for one byte more: a file that grew since it was listed is no
      // longer the file whose size the record gives.
      const std::size_t want = dict + b.length + (b.last ? 1 : 0);
      const std::size_t got = source.read(in.data(), want);
      if (got != dict + b.length) {
        error = msg::cannot_read(b.path, msg::kChangedWhileRead);
      } else {
        const unsigned char* data = in.data() + dict;
        adler = libdeflate_adler32(1, data, b.length);
        if (b.offset == 0 && b.last && b.length > kStoredByLibdeflate) {
          auto* c = compressors_->acquire();
          if (!c) return;  // the deflater is being destroyed
          try {
            deflate_whole(c, data, b.length, out);
          } catch (...) {
            compressors_->release(c);
            throw;
          }
          compressors_->release(c);
        } else {
          if (!z) z = std::make_unique<RawDeflater>(level_);
          z->block(data, b.length, dict, b.last, out);
        }
      }
    } catch (const OsError& e) {
      error = msg::cannot_read(b.path, e.reason());
    } catch (const std::bad_alloc&) {
      error = msg::cannot_read(b.path, std::string(msg::kNotEnoughMemoryReason));
    } catch (const std::exception& e) {
      error = msg::cannot_read(b.path, e.what());
    }

    lock.lock();
    b.out = std::move(out);
    b.adler = adler;
    b.error = std::move(error);
    b.done = true;
    to_taker_.notify_all();
  }
}

std::optional<std::uint64_t> ParallelDeflater::take(SpillBuffer& out,
                                                    const std::function<bool()>& poll) {
  FileJob file;
  {
    std::lock_guard lock(mutex_);
    file = files_.front();
    files_.pop_front();
  }
  const auto header = zlib_header(level_);
  out.append(header.data(), header.size());
  unsigned long adler = 1;
  // The poll goes by the clock, not by the waits: blocks that are always ready when asked for
  // must not keep an Abort waiting until the whole file is compressed.
  auto last_poll = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < file.blocks; ++i) {
    Block block;
    {
      std::unique_lock lock(mutex_);
      for (;;) {
        if (!blocks_.front().done) to_taker_.wait_for(lock, kPollEvery);
        if (std::chrono::steady_clock::now() - last_poll >= kPollEvery) {
          lock.unlock();
          const bool stop = poll();
          lock.lock();
          last_poll = std::chrono::steady_clock::now();
          // Nothing more is appended: the blocks in flight are dropped with the deflater.
          if (stop) return std::nullopt;
        }
        if (blocks_.front().done) break;
      }
      block = std::move(blocks_.front());
      blocks_.pop_front();
      ++taken_;
      in_flight_bytes_ -= block.length;
    }
    to_workers_.notify_all();
    if (!block.error.empty()) throw PackFailure(block.error);
    out.append(reinterpret_cast<const char*>(block.out.data()), block.out.size());
    adler = i == 0 ? block.adler
                   : adler32_combine(adler, block.adler, static_cast<z_off_t>(block.length));
  }
  put_be32(out, adler);
  return file.size;
}

}  // namespace tarvik
