// The self-extracting start: recognising the tail, the password check with its own question,
// the checksum of the executable and the walk from the stub size on, later volumes beside
// the executable, all into the executable's own folder and nowhere else.
#include <cstdint>

#include "fuzz_support.h"
#include "ops/runner.h"
#include "unpack/extract.h"

using namespace tarvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::Input input = fuzz::split(data, size);
  fuzz::Scratch scratch;
  // The executable and its later volumes lie in the target folder ("out"): the run unpacks
  // beside itself.
  const std::string exe = scratch.write(input, scratch.out, /*self_extracting=*/true);
  const auto before = scratch.tree();
  const bool right_answer = (input.choice() & 1) == 0;
  fuzz::FuzzUi ui{right_answer ? std::string(fuzz::kSeedPassword) : std::string("не тот")};
  if (!ends_in_volume_tail(exe)) return 0;
  if (!self_extract_password_ok(exe, ui)) {
    if (scratch.tree() != before) fuzz::finding("a refused start wrote something");
    return 0;
  }
  (void)run_operation({OperationCode::SelfExtract, scratch.program, "a.exe"}, ui,
                      [&](Operation& op) { return self_extract(exe, op); });
  scratch.require_nothing_outside_out({});
  for (const auto& [name, bytes] : scratch.tree()) {
    if (name.starts_with("program/")) fuzz::finding("the journal stayed: " + name);
  }
  return 0;
}
