// The registry of the running Windows through the wide API. Keys are opened for reading,
// writing and deleting, in the registry view of the program's own edition.
#include "platform/registry.h"

#include <windows.h>

#include <string>

#include "platform/codepage.h"

namespace tarvik::registry {
namespace {

constexpr REGSAM kAccess = KEY_READ | KEY_WRITE | DELETE;

HKEY handle_of(Root root) {
  return root == Root::ClassesRoot ? HKEY_CLASSES_ROOT : HKEY_LOCAL_MACHINE;
}

bool is_missing(LSTATUS status) {
  return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

[[noreturn]] void fail(LSTATUS status, std::string what) {
  throw RegistryError(static_cast<int>(status), std::move(what));
}

class SystemKey final : public Key {
 public:
  SystemKey(HKEY handle, std::string name) : handle_(handle), name_(std::move(name)) {}
  ~SystemKey() override { ::RegCloseKey(handle_); }
  SystemKey(const SystemKey&) = delete;
  SystemKey& operator=(const SystemKey&) = delete;

  void write(std::string_view name, std::string_view data) override {
    const auto wide_name = codepage::widen(name);
    const auto wide_data = codepage::widen(data);
    const auto bytes = static_cast<DWORD>((wide_data.size() + 1) * sizeof(wchar_t));
    const LSTATUS status =
        ::RegSetValueExW(handle_, name.empty() ? nullptr : wide_name.c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(wide_data.c_str()), bytes);
    if (status != ERROR_SUCCESS) fail(status, value_name(name));
  }

  std::string read(std::string_view name) override {
    const auto wide_name = codepage::widen(name);
    const wchar_t* value = name.empty() ? nullptr : wide_name.c_str();
    for (;;) {
      DWORD bytes = 0;
      LSTATUS status = ::RegGetValueW(handle_, nullptr, value, RRF_RT_REG_SZ, nullptr, nullptr,
                                      &bytes);
      if (is_missing(status) || status == ERROR_UNSUPPORTED_TYPE) return {};
      if (status != ERROR_SUCCESS) fail(status, value_name(name));
      std::wstring data(bytes / sizeof(wchar_t) + 1, L'\0');
      bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
      status = ::RegGetValueW(handle_, nullptr, value, RRF_RT_REG_SZ, nullptr, data.data(), &bytes);
      if (status == ERROR_MORE_DATA) continue;  // it grew in between
      if (is_missing(status) || status == ERROR_UNSUPPORTED_TYPE) return {};
      if (status != ERROR_SUCCESS) fail(status, value_name(name));
      data.resize(wcsnlen(data.c_str(), bytes / sizeof(wchar_t)));
      return codepage::narrow(data);
    }
  }

  void delete_value(std::string_view name) override {
    const auto wide_name = codepage::widen(name);
    const LSTATUS status = ::RegDeleteValueW(handle_, name.empty() ? nullptr : wide_name.c_str());
    if (status != ERROR_SUCCESS && !is_missing(status)) fail(status, value_name(name));
  }

  void delete_tree(std::string_view subkey) override {
    if (subkey.empty()) return;
    const LSTATUS status = ::RegDeleteTreeW(handle_, codepage::widen(subkey).c_str());
    if (status != ERROR_SUCCESS && !is_missing(status)) {
      fail(status, name_ + "\\" + std::string(subkey));
    }
  }

 private:
  std::string value_name(std::string_view name) const {
    return name.empty() ? name_ : name_ + "\\" + std::string(name);
  }

  HKEY handle_;
  std::string name_;
};

class SystemRegistry final : public Registry {
 public:
  std::unique_ptr<Key> open(Root root, std::string_view path, Open how) override {
    const auto wide_path = codepage::widen(path);
    HKEY handle = nullptr;
    LSTATUS status;
    if (how == Open::Create) {
      status = ::RegCreateKeyExW(handle_of(root), wide_path.c_str(), 0, nullptr,
                                 REG_OPTION_NON_VOLATILE, kAccess, nullptr, &handle, nullptr);
    } else {
      status = ::RegOpenKeyExW(handle_of(root), wide_path.c_str(), 0, kAccess, &handle);
      if (is_missing(status)) return nullptr;
    }
    if (status != ERROR_SUCCESS) fail(status, full_name(root, path));
    return std::make_unique<SystemKey>(handle, full_name(root, path));
  }

  bool exists(Root root, std::string_view path) override {
    HKEY handle = nullptr;
    const LSTATUS status = ::RegOpenKeyExW(handle_of(root), codepage::widen(path).c_str(), 0,
                                           KEY_QUERY_VALUE, &handle);
    if (status == ERROR_SUCCESS) {
      ::RegCloseKey(handle);
      return true;
    }
    if (status == ERROR_ACCESS_DENIED) return true;  // there, though this user may not read it
    if (is_missing(status)) return false;
    fail(status, full_name(root, path));
  }

  void delete_tree(Root root, std::string_view path) override {
    if (path.empty()) return;  // never a whole root
    const LSTATUS status = ::RegDeleteTreeW(handle_of(root), codepage::widen(path).c_str());
    if (status != ERROR_SUCCESS && !is_missing(status)) fail(status, full_name(root, path));
  }
};

}  // namespace

Registry& system_registry() {
  static SystemRegistry registry;
  return registry;
}

}  // namespace tarvik::registry
