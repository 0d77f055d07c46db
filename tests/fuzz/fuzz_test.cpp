// `tarvik test`: the checks before extraction (checksum of volume 001, password) and the
// test of every entry. It writes nothing at all.
#include <cstdint>

#include "fuzz_support.h"
#include "ops/checks.h"
#include "ops/operation.h"
#include "unpack/extract.h"

using namespace tarvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::Input input = fuzz::split(data, size);
  fuzz::Scratch scratch;
  const std::string first = scratch.write(input, scratch.arch);
  const auto before = scratch.tree();
  fuzz::FuzzUi ui{std::string(fuzz::kSeedPassword)};
  if (check_before_extract(first, ui)) {
    Operation op{ui};
    (void)test_archive(first, op);
  }
  if (scratch.tree() != before) fuzz::finding("the test wrote something");
  return 0;
}
