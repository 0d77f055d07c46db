// Windows path text to native paths and back, and the current folder.
#include <gtest/gtest.h>

#include "native_path.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/fs.h"
#include "test_support.h"

namespace tarvik::fs {
namespace {

#ifndef _WIN32
struct Mapping {
  const char* win;
  std::optional<const char*> native;
};

constexpr Mapping kToNative[] = {
    {"Z:\\", "/"},
    {"z:\\", "/"},
    {"Z:\\home\\u\\Work", "/home/u/Work"},
    {"Z:\\home\\u\\Работа\\файл ё.txt", "/home/u/Работа/файл ё.txt"},
    {"Z:\\tmp\\dir\\", "/tmp/dir/"},
    {"a\\b.txt", "a/b.txt"},
    {"..\\up\\Отчёт", "../up/Отчёт"},
    {"\\home\\u", "/home/u"},
    {"Z:rel\\x", "rel/x"},
    {"C:\\Work\\a.txt", std::nullopt},
    {"c:\\", std::nullopt},
    {"D:rel", std::nullopt},
    {"\\\\server\\share\\a", std::nullopt},
};

TEST(Paths, MapsWindowsTextToNative) {
  for (const auto& m : kToNative) {
    const auto native = to_native(m.win);
    if (m.native) {
      ASSERT_TRUE(native) << m.win;
      EXPECT_EQ(native->string(), *m.native) << m.win;
    } else {
      EXPECT_FALSE(native) << m.win;
    }
  }
}

constexpr std::pair<const char*, const char*> kFromNative[] = {
    {"/", "Z:\\"},
    {"/home", "Z:\\home"},
    {"/home/u/Работа/файл ё.txt", "Z:\\home\\u\\Работа\\файл ё.txt"},
    {"/home/u/", "Z:\\home\\u"},
    {"/home//u", "Z:\\home\\u"},
    {"a/b.txt", "a\\b.txt"},
    {"sub/", "sub"},
    {"", ""},
};

TEST(Paths, MapsNativeToWindowsText) {
  for (const auto& [native, win] : kFromNative) {
    EXPECT_EQ(from_native(native), win) << native;
  }
}

TEST(Paths, OtherDrivesAreNotFound) {
  for (const char* path : {"C:\\Work", "D:\\a.txt"}) {
    EXPECT_FALSE(exists(path));
    EXPECT_FALSE(remove_file(path));
    try {
      create_directory(path);
      ADD_FAILURE() << path;
    } catch (const OsError& e) {
      EXPECT_TRUE(os_error_is_not_found(e.code()));
      EXPECT_EQ(e.path(), path);
    }
  }
}
#else
TEST(Paths, AreTheSameTextOnWindows) {
  for (const char* win :
       {"C:\\", "C:\\Work\\a.txt", "D:\\Работа\\Отчёт ё.doc", "a\\b.txt", "\\\\server\\share\\x"}) {
    const auto native = to_native(win);
    ASSERT_TRUE(native) << win;
    EXPECT_EQ(native->wstring(), codepage::widen(win)) << win;
    EXPECT_EQ(from_native(*native), win);
  }
  EXPECT_EQ(to_native("C:\\Работа")->wstring(), std::wstring(L"C:\\Работа"));
}
#endif

TEST(Paths, TempFolderRoundTrips) {
  const test::TempDir dir;
  const auto native = to_native(dir.win());
  ASSERT_TRUE(native);
  EXPECT_EQ(*native, dir.native());
  EXPECT_TRUE(is_directory(dir.win()));
}

// Restores the current folder on the way out (before the temporary folder goes: Windows
// cannot remove a folder that is current).
struct CurrentDirectoryGuard {
  const std::string saved = current_directory();
  ~CurrentDirectoryGuard() { set_current_directory(saved); }
};

TEST(CurrentDirectory, SetsAndReadsBackAndResolvesRelativeNames) {
  const test::TempDir dir;
  const CurrentDirectoryGuard guard;
  test::write_file(test::native(dir, "Отчёт.txt"), "x");
  set_current_directory(dir.win());
  EXPECT_EQ(current_directory(), dir.win());
  EXPECT_TRUE(is_file("Отчёт.txt"));
  create_directory("sub");
  EXPECT_TRUE(is_directory(dir.win("sub")));
  set_current_directory("sub");
  EXPECT_EQ(current_directory(), dir.win("sub"));
  EXPECT_TRUE(is_file("..\\Отчёт.txt"));
}

TEST(CurrentDirectory, MissingFolderThrowsNamingIt) {
  const test::TempDir dir;
  const CurrentDirectoryGuard guard;
  const std::string missing = dir.win("нет");
  try {
    set_current_directory(missing);
    ADD_FAILURE();
  } catch (const OsError& e) {
    EXPECT_TRUE(os_error_is_not_found(e.code())) << e.code();
    EXPECT_EQ(e.path(), missing);
  }
}

}  // namespace
}  // namespace tarvik::fs
