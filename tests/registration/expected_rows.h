// The fourteen rows that tie the program into the shell, as the tests expect them, byte for
// byte: rows 1-6 for the program's folder P, rows 7-14 for the handler's folder D.
#pragma once

#include <algorithm>
#include <ostream>
#include <string>
#include <tuple>
#include <string_view>
#include <vector>

#include "platform/memory_registry.h"

namespace tarvik::registry {
// A row as the test reports it: key [value name] = "data".
inline void PrintTo(const MemoryRegistry::Row& row, std::ostream* out) {
  *out << "\n    " << row.key << " [" << row.name << "] = \"" << row.data << "\"";
}
}  // namespace tarvik::registry

namespace tarvik::test {

using registry::MemoryRegistry;
using registry::Root;
using Rows = std::vector<MemoryRegistry::Row>;

inline constexpr std::string_view kClassesRoot = "HKEY_CLASSES_ROOT\\";
inline constexpr std::string_view kMachine = "HKEY_LOCAL_MACHINE\\";

inline std::string cat(std::initializer_list<std::string_view> parts) {
  std::string s;
  for (auto p : parts) s += p;
  return s;
}

// Rows 1 to 6 for the program folder P.
inline Rows file_type_rows(std::string_view p) {
  const auto command = cat({"\"", p, "\\Tarvik.exe\"  \"%1\""});
  return {
      {cat({kClassesRoot, ".kzv"}), "", "Tarvik"},
      {cat({kClassesRoot, "Tarvik"}), "", "Архив Tarvik"},
      {cat({kClassesRoot, "Tarvik\\DefaultIcon"}), "", cat({p, "\\Tarvik.exe,0"})},
      {cat({kClassesRoot, "Tarvik\\Shell\\open\\command"}), "", command},
      {cat({kClassesRoot, "Tarvik\\Shell\\edit\\command"}), "", command},
      {cat({kMachine, "software\\KZV"}), "Application", cat({p, "\\Tarvik.exe"})},
  };
}

// Rows 7 to 14 for the handler's folder D.
inline Rows handler_rows(std::string_view d) {
  const auto dll = cat({d, "\\KZVContextMenu.dll"});
  const std::string_view id = "{4B7D21C6-93E0-4F5A-A1D8-3C6E90B2F417}";
  return {
      {cat({kClassesRoot, "CLSID\\", id, "\\InprocServer32"}), "", dll},
      {cat({kClassesRoot, "CLSID\\", id, "\\InprocServer32"}), "ThreadingModel", "Apartment"},
      {cat({kMachine, "SOFTWARE\\Classes\\CLSID\\", id, "\\InprocServer32"}), "", dll},
      {cat({kMachine, "SOFTWARE\\Classes\\CLSID\\", id, "\\InprocServer32"}), "ThreadingModel",
       "Apartment"},
      {cat({kMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"}),
       std::string(id), "TARVIK Context Menu Shell Extension"},
      {cat({kClassesRoot, "*\\shellex\\ContextMenuHandlers\\Tarvik"}), "", std::string(id)},
      {cat({kClassesRoot, "Folder\\shellex\\ContextMenuHandlers\\Tarvik"}), "", std::string(id)},
      {cat({kClassesRoot, "Directory\\shellex\\ContextMenuHandlers\\Tarvik"}), "", std::string(id)},
  };
}

inline Rows plus(Rows a, const Rows& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline std::string upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// Rows in a fixed order, key names in upper case: keys are found without regard to case, and
// a level keeps the spelling it was first created with ("software\KZV", "SOFTWARE\Classes").
inline Rows sorted(Rows rows) {
  for (auto& row : rows) row.key = upper(row.key);
  std::sort(rows.begin(), rows.end(), [](const auto& x, const auto& y) {
    return std::tie(x.key, x.name) < std::tie(y.key, y.name);
  });
  return rows;
}

}  // namespace tarvik::test
