#include "ops/workers.h"

namespace tarvik {

void WorkerThreads::start(unsigned count, const std::function<void()>& work,
                          const std::function<void()>& stop) {
  threads_.reserve(count);
  try {
    for (unsigned i = 0; i < count; ++i) threads_.emplace_back(work);
  } catch (...) {
    stop();
    join();
    throw;
  }
}

void WorkerThreads::join() {
  for (auto& thread : threads_)
    if (thread.joinable()) thread.join();
}

}  // namespace tarvik
