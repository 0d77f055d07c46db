// The registries the seam's contract is checked on: the one in memory everywhere, and the
// system's on Windows (under Wine: the prefix's real registry).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace tarvik::test {

struct RegistryUnderTest {
  std::string name;
  std::function<std::unique_ptr<registry::Registry>()> make;
};

std::vector<RegistryUnderTest> registries_under_test();

}  // namespace tarvik::test
