// The listing walk of the browser (Raspakovka1): the whole tree and one level, as
// `tarvik list` and the browser window build them, after the password check.
#include <cstdint>

#include "browse/listing.h"
#include "fuzz_support.h"
#include "ops/checks.h"
#include "unpack/extract.h"

using namespace tarvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::Input input = fuzz::split(data, size);
  fuzz::Scratch scratch;
  const std::string first = scratch.write(input, scratch.arch);
  fuzz::FuzzUi ui{std::string(fuzz::kSeedPassword)};
  (void)password_ok(first, ui);
  const browse::Listing tree = browse::list_tree(first, ui);
  // Go down into the first folder row of the top level, then up again.
  const browse::Listing top = browse::list_level(first, "", ui);
  for (const auto& row : top.rows) {
    if (!row.is_folder) continue;
    const std::string level = browse::level_down("", row.name);
    (void)browse::list_level(first, level, ui);
    if (browse::level_up(level) != "") fuzz::finding("up from a level below the top");
    break;
  }
  (void)tree;
  return 0;
}
