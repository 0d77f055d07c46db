// The full-disk test seam shared by the File implementations (see set_write_budget).
#pragma once

#include <cstddef>

namespace tarvik::detail {

// Takes up to `n` bytes from the write budget; returns how many may be written now (all `n`
// when no budget is set). A result below `n` means the disk counts as full after that many.
std::size_t take_write_budget(std::size_t n);

}  // namespace tarvik::detail
