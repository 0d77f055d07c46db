// The full-disk test seam: a process-wide count of bytes that File may still write.
#include "platform/write_budget.h"

#include <algorithm>
#include <mutex>
#include <optional>

#include "platform/file.h"

namespace tarvik {
namespace {

std::mutex budget_mutex;
std::optional<std::uint64_t> budget;

}  // namespace

void set_write_budget(std::optional<std::uint64_t> bytes) {
  std::lock_guard lock(budget_mutex);
  budget = bytes;
}

std::size_t detail::take_write_budget(std::size_t n) {
  std::lock_guard lock(budget_mutex);
  if (!budget) return n;
  const auto allowed = static_cast<std::size_t>(std::min<std::uint64_t>(n, *budget));
  *budget -= allowed;
  return allowed;
}

}  // namespace tarvik
