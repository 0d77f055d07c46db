// How many worker threads an operation uses, and the threads themselves.
#pragma once

#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

namespace tarvik {

// At most this many workers, whatever was asked: memory stays bounded.
inline constexpr unsigned kMaxWorkers = 32;

// Workers for a request of `threads`; 0 asks for one per core of the machine. 1 to kMaxWorkers.
inline unsigned worker_count(unsigned threads) {
  if (threads == 0) threads = std::thread::hardware_concurrency();
  return std::clamp(threads, 1u, kMaxWorkers);
}

// The worker threads of an operation (the compressors of packing, the inflaters of
// unpacking), each running `work` until it returns. join(), and the destructor, wait for all
// of them: their owner has told them to stop first.
class WorkerThreads {
 public:
  WorkerThreads() = default;
  ~WorkerThreads() { join(); }
  WorkerThreads(const WorkerThreads&) = delete;
  WorkerThreads& operator=(const WorkerThreads&) = delete;

  // Starts `count` threads. When a thread cannot be had, `stop` is called (it must make `work`
  // return), the threads already running are joined, and the error is thrown on.
  void start(unsigned count, const std::function<void()>& work, const std::function<void()>& stop);
  void join();
  unsigned size() const { return static_cast<unsigned>(threads_.size()); }

 private:
  std::vector<std::thread> threads_;
};

}  // namespace tarvik
