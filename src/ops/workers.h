// How many worker threads an operation uses.
#pragma once

#include <algorithm>
#include <thread>

namespace tarvik {

// At most this many workers, whatever was asked: memory stays bounded.
inline constexpr unsigned kMaxWorkers = 32;

// Workers for a request of `threads`; 0 asks for one per core of the machine. 1 to kMaxWorkers.
inline unsigned worker_count(unsigned threads) {
  if (threads == 0) threads = std::thread::hardware_concurrency();
  return std::clamp(threads, 1u, kMaxWorkers);
}

}  // namespace tarvik
