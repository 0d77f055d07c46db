// The Windows registry as the program uses it: keys under two roots, named by paths with "\"
// between the levels, holding string values (REG_SZ). Key and value names compare without
// regard to case, as Windows compares them; the empty value name is the key's default value.
// All text is UTF-8. Implementations: the system's registry (Windows only) and MemoryRegistry
// (platform/memory_registry.h) for tests.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace tarvik::registry {

enum class Root { ClassesRoot, LocalMachine };

// "HKEY_CLASSES_ROOT" or "HKEY_LOCAL_MACHINE".
std::string_view root_name(Root root);
// The full name of a key as a person reads it: "HKEY_LOCAL_MACHINE\software\KZV".
std::string full_name(Root root, std::string_view path);

// A failed registry call. path() is the full name of the key (with "\" and the value name when
// a value was concerned), code() the system's error code.
class RegistryError : public OsError {
 public:
  using OsError::OsError;
};

// An open key; closed when the object goes.
class Key {
 public:
  virtual ~Key() = default;
  // Writes the string value `name` ("" for the default value); throws RegistryError.
  virtual void write(std::string_view name, std::string_view data) = 0;
  // The string value `name`; "" when it is missing (or not a string). throws RegistryError
  // for any other failure.
  virtual std::string read(std::string_view name) = 0;
  // Deletes the value `name`; a missing value is no error. throws RegistryError.
  virtual void delete_value(std::string_view name) = 0;
  // Deletes the subkey `subkey` (a path below this key) with all its subkeys and values; a
  // missing subkey is no error, an empty `subkey` deletes nothing. throws RegistryError.
  virtual void delete_tree(std::string_view subkey) = 0;
};

enum class Open {
  Existing,  // the key must exist
  Create,    // created, with every missing parent, when missing
};

class Registry {
 public:
  virtual ~Registry() = default;
  // Opens `path` under `root` for reading and writing. With Open::Existing a missing key gives
  // nullptr; every other failure throws RegistryError.
  virtual std::unique_ptr<Key> open(Root root, std::string_view path, Open how) = 0;
  // Whether the key exists (also when this user may not read it).
  virtual bool exists(Root root, std::string_view path) = 0;
  // Deletes the key with all its subkeys and values; a missing key is no error, an empty
  // `path` deletes nothing (never a whole root). throws RegistryError.
  virtual void delete_tree(Root root, std::string_view path) = 0;
};

#ifdef _WIN32
// The registry of the running Windows, in the view of the running program's edition.
Registry& system_registry();
#endif

}  // namespace tarvik::registry
