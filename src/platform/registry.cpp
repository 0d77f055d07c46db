// Names of registry keys as a person reads them.
#include "platform/registry.h"

namespace tarvik::registry {

std::string_view root_name(Root root) {
  return root == Root::ClassesRoot ? "HKEY_CLASSES_ROOT" : "HKEY_LOCAL_MACHINE";
}

std::string full_name(Root root, std::string_view path) {
  std::string name(root_name(root));
  if (!path.empty()) {
    name += '\\';
    name += path;
  }
  return name;
}

}  // namespace tarvik::registry
