// Native paths of names in a test folder, built from UTF-8 text the way the program builds
// them (mingw would read a narrow literal appended to a path as ANSI text).
#pragma once

#include <filesystem>
#include <string>

#include "platform/fs.h"
#include "test_support.h"

namespace tarvik::test {

inline std::filesystem::path native(const TempDir& dir, const std::string& relative) {
  return fs::to_native(dir.win(relative)).value();
}

}  // namespace tarvik::test
