// A registry held in memory, for tests: the same contract as the system's registry (key and
// value names without regard to the case of the ASCII letters, a missing value reads as "",
// deleting what is missing is no error), plus what a test needs to look inside and to play a
// user who may not change the registry.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace tarvik::registry {

class MemoryRegistry final : public Registry {
 public:
  MemoryRegistry();
  ~MemoryRegistry() override;
  MemoryRegistry(const MemoryRegistry&) = delete;
  MemoryRegistry& operator=(const MemoryRegistry&) = delete;

  std::unique_ptr<Key> open(Root root, std::string_view path, Open how) override;
  bool exists(Root root, std::string_view path) override;
  void delete_tree(Root root, std::string_view path) override;

  // From now on opening a key, creating, writing and deleting under `root` fail with "access
  // denied", as for a user without administrator rights (keys are opened for writing too);
  // exists(), rows() and keys() still work.
  void deny_changes(Root root, bool deny = true);

  // One string value: the key's full name ("HKEY_CLASSES_ROOT\Tarvik\DefaultIcon", with the
  // spelling of each level as it was created), the value name ("" for the default value) and
  // the data.
  struct Row {
    std::string key;
    std::string name;
    std::string data;
    friend bool operator==(const Row&, const Row&) = default;
  };
  // Every value, keys in the order of their names (without regard to case), values likewise.
  std::vector<Row> rows() const;
  // The full name of every key below the roots, in the same order.
  std::vector<std::string> keys() const;
  // How many keys were created, values written and keys or values deleted so far.
  std::size_t changes() const;

  struct State;

 private:
  std::shared_ptr<State> state_;  // shared with the open keys
};

}  // namespace tarvik::registry
