// On Linux only the registry in memory exists.
#include "platform/memory_registry.h"
#include "../registry_under_test.h"

namespace tarvik::test {

std::vector<RegistryUnderTest> registries_under_test() {
  return {{"Memory", [] { return std::make_unique<registry::MemoryRegistry>(); }}};
}

}  // namespace tarvik::test
