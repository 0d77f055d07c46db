// On Windows the registry in memory and the system's: the two must behave alike.
#include "platform/memory_registry.h"
#include "../registry_under_test.h"

namespace tarvik::test {
namespace {

// The system's registry, borrowed (it lives for the whole program).
class Borrowed final : public registry::Registry {
 public:
  std::unique_ptr<registry::Key> open(registry::Root root, std::string_view path,
                                      registry::Open how) override {
    return registry::system_registry().open(root, path, how);
  }
  bool exists(registry::Root root, std::string_view path) override {
    return registry::system_registry().exists(root, path);
  }
  void delete_tree(registry::Root root, std::string_view path) override {
    registry::system_registry().delete_tree(root, path);
  }
};

}  // namespace

std::vector<RegistryUnderTest> registries_under_test() {
  return {{"Memory", [] { return std::make_unique<registry::MemoryRegistry>(); }},
          {"System", [] { return std::make_unique<Borrowed>(); }}};
}

}  // namespace tarvik::test
