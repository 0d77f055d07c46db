// The whole extraction (Raspakovka) under the runner, with its journal and rollback, into a
// scratch folder: nothing may appear outside the target, the journal is gone afterwards, and
// an aborted run (at a pump the input chooses) leaves the target as it was.
#include <cstdint>

#include "fuzz_support.h"
#include "ops/checks.h"
#include "ops/runner.h"
#include "unpack/extract.h"

using namespace tarvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::Input input = fuzz::split(data, size);
  fuzz::Scratch scratch;
  const std::string first = scratch.write(input, scratch.arch);
  const auto before = scratch.tree();
  std::map<std::string, std::string> arch_before;
  for (const auto& [name, bytes] : before) {
    if (name.starts_with("arch/")) arch_before[name] = bytes;
  }
  // Choice 0: never abort; else abort at that pump.
  const unsigned abort_at = input.choice() % 32;
  fuzz::FuzzUi ui{std::string(fuzz::kSeedPassword),
                  abort_at == 0 ? std::nullopt : std::optional<std::uint64_t>(abort_at)};
  if (!check_before_extract(first, ui)) return 0;
  const Outcome outcome = run_operation(
      {OperationCode::UnpackFromWindow, scratch.program, "a.kzv"}, ui,
      [&](Operation& op) { return Raspakovka({first, scratch.out}, op); });
  scratch.require_nothing_outside_out(arch_before);
  const auto after = scratch.tree();
  for (const auto& [name, bytes] : after) {
    if (name.starts_with("program/")) fuzz::finding("the journal stayed: " + name);
    if (outcome == Outcome::Aborted && name.starts_with("out/"))
      fuzz::finding("an aborted run left " + name);
  }
  return 0;
}
