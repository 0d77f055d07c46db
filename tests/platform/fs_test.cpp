// The file system seam: queries, folders, renames, listings, attribute words and times.
#include "platform/fs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "native_path.h"
#include "platform/error.h"
#include "platform/file.h"
#include "test_support.h"

namespace tarvik::fs {
namespace {

// Whether opening a read-only file for writing is refused here. Root may write anyway on
// Linux, and so may Wine run by root, which leaves the check to the Unix permissions.
bool read_only_is_enforced() {
#ifdef _WIN32
  return false;
#else
  return ::geteuid() != 0;
#endif
}

TEST(Fs, QueriesFilesAndFolders) {
  const test::TempDir dir;
  test::write_file(test::native(dir, "Отчёт.txt"), "12345");
  std::filesystem::create_directory(test::native(dir, "папка"));
  struct Case {
    std::string path;
    bool exists, directory, file;
  };
  const Case cases[] = {
      {dir.win("Отчёт.txt"), true, false, true}, {dir.win("папка"), true, true, false},
      {dir.win("папка\\"), true, true, false},   {dir.win("нет"), false, false, false},
      {dir.win("нет\\a"), false, false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(exists(c.path), c.exists) << c.path;
    EXPECT_EQ(is_directory(c.path), c.directory) << c.path;
    EXPECT_EQ(is_file(c.path), c.file) << c.path;
  }
  EXPECT_EQ(file_size(dir.win("Отчёт.txt")), 5u);
  EXPECT_THROW(file_size(dir.win("нет")), OsError);
}

TEST(Fs, CreatesAndRemovesFoldersAndFiles) {
  const test::TempDir dir;
  const std::string folder = dir.win("новая");
  create_directory(folder);
  EXPECT_TRUE(is_directory(folder));
  try {
    create_directory(folder);
    ADD_FAILURE();
  } catch (const OsError& e) {
    EXPECT_EQ(e.path(), folder);
  }
  EXPECT_THROW(create_directory(dir.win("нет\\глубже")), OsError);

  test::write_file(test::native(dir, "новая\\a.txt"), "a");
  EXPECT_FALSE(remove_directory(folder));  // not empty
  EXPECT_TRUE(remove_file(folder + "\\a.txt"));
  EXPECT_FALSE(remove_file(folder + "\\a.txt"));
  EXPECT_TRUE(remove_directory(folder));
  EXPECT_FALSE(remove_directory(folder));
  EXPECT_FALSE(exists(folder));
}

TEST(Fs, RenameReplacesAReadOnlyTarget) {
  const test::TempDir dir;
  test::write_file(test::native(dir, "a.tzp"), "new");
  test::write_file(test::native(dir, "a.txt"), "old");
  set_attributes(dir.win("a.txt"), kArchive | kReadOnly);
  ASSERT_TRUE(attributes(dir.win("a.txt")) & kReadOnly);
  rename_replace(dir.win("a.tzp"), dir.win("a.txt"));
  EXPECT_FALSE(exists(dir.win("a.tzp")));
  EXPECT_EQ(test::read_file(test::native(dir, "a.txt")), "new");

  rename_replace(dir.win("a.txt"), dir.win("б.txt"));  // to a new name
  EXPECT_EQ(test::read_file(test::native(dir, "б.txt")), "new");
}

TEST(Fs, RenameOfAMissingFileNamesIt) {
  const test::TempDir dir;
  test::write_file(test::native(dir, "b.txt"), "b");
  try {
    rename_replace(dir.win("нет.txt"), dir.win("b.txt"));
    ADD_FAILURE();
  } catch (const OsError& e) {
    EXPECT_TRUE(os_error_is_not_found(e.code())) << e.reason();
    EXPECT_EQ(e.path(), dir.win("нет.txt"));
  }
  EXPECT_EQ(test::read_file(test::native(dir, "b.txt")), "b");
}

std::map<std::string, DirEntry> listing(const std::string& folder) {
  std::map<std::string, DirEntry> by_name;
  for (auto& entry : list_directory(folder)) {
    const std::string name = entry.name;
    EXPECT_TRUE(by_name.emplace(name, std::move(entry)).second) << name;
  }
  return by_name;
}

TEST(Fs, ListsEveryEntryWithItsWord) {
  const test::TempDir dir;
  test::write_file(test::native(dir, "Отчёт.txt"), "12345");
  test::write_file(test::native(dir, ".hidden"), "xy");
  test::write_file(test::native(dir, "папка\\inner.txt"), "inner");
#ifdef _WIN32
  set_attributes(dir.win(".hidden"), kArchive | kHidden);
#endif
  const auto entries = listing(dir.win());
  ASSERT_EQ(entries.size(), 3u);

  const DirEntry& file = entries.at("Отчёт.txt");
  EXPECT_FALSE(file.is_directory);
  EXPECT_FALSE(file.is_linked_directory);
  EXPECT_EQ(file.size, 5u);
  EXPECT_EQ(file.attributes & (kDirectory | kHidden | kReadOnly), 0u);

  const DirEntry& hidden = entries.at(".hidden");
  EXPECT_EQ(hidden.size, 2u);
  EXPECT_TRUE(hidden.attributes & kHidden);

  const DirEntry& folder = entries.at("папка");
  EXPECT_TRUE(folder.is_directory);
  EXPECT_FALSE(folder.is_linked_directory);
  EXPECT_TRUE(folder.attributes & kDirectory);

  EXPECT_EQ(listing(dir.win("папка")).size(), 1u);
  std::filesystem::create_directory(test::native(dir, "пусто"));
  EXPECT_TRUE(list_directory(dir.win("пусто")).empty());
  EXPECT_THROW(list_directory(dir.win("нет")), OsError);
}

TEST(Fs, ListsLinksAsWhatTheyPointTo) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links need privileges on Windows";
#else
  const test::TempDir dir;
  test::write_file(test::native(dir, "real\\a.txt"), "12345");
  const auto at = [&](const char* name) { return test::native(dir, name); };
  std::filesystem::create_directory_symlink(at("real"), at("to_folder"));
  std::filesystem::create_symlink(at("real\\a.txt"), at("to_file"));
  std::filesystem::create_symlink(at("gone"), at("dangling"));
  const auto entries = listing(dir.win());
  ASSERT_EQ(entries.size(), 4u);

  EXPECT_TRUE(entries.at("real").is_directory);
  EXPECT_FALSE(entries.at("real").is_linked_directory);

  const DirEntry& to_folder = entries.at("to_folder");
  EXPECT_TRUE(to_folder.is_directory);
  EXPECT_TRUE(to_folder.is_linked_directory);
  EXPECT_EQ(to_folder.attributes, kDirectory);

  const DirEntry& to_file = entries.at("to_file");
  EXPECT_FALSE(to_file.is_directory);
  EXPECT_EQ(to_file.size, 5u);
  EXPECT_EQ(to_file.attributes, kArchive);

  const DirEntry& dangling = entries.at("dangling");
  EXPECT_FALSE(dangling.is_directory);
  EXPECT_EQ(dangling.size, 0u);
  EXPECT_THROW(File(dir.win("dangling"), File::Mode::Read), OsError);
#endif
}

TEST(Fs, AttributeWords) {
  const test::TempDir dir;
  test::write_file(test::native(dir, "a.txt"), "a");
  test::write_file(test::native(dir, ".profile"), "p");
  std::filesystem::create_directory(test::native(dir, "sub"));
  const std::string file = dir.win("a.txt");

  EXPECT_EQ(attributes(file) & (kDirectory | kReadOnly), 0u);
  EXPECT_EQ(attributes(dir.win("sub")) & (kDirectory | kReadOnly), kDirectory);
#ifndef _WIN32
  EXPECT_EQ(attributes(file), kArchive);
  EXPECT_EQ(attributes(dir.win(".profile")), kArchive | kHidden);
  EXPECT_EQ(attributes(dir.win("sub")), kDirectory);
  EXPECT_EQ(attributes(dir.win("sub\\")), kDirectory);
#endif

  set_attributes(file, kArchive | kReadOnly);
  EXPECT_TRUE(attributes(file) & kReadOnly);
  if (read_only_is_enforced()) {
    EXPECT_THROW(File(file, File::Mode::ReadWrite), OsError);
  }
  set_attributes(file, kArchive);
  EXPECT_FALSE(attributes(file) & kReadOnly);
  File(file, File::Mode::ReadWrite).write("b");

  EXPECT_THROW(attributes(dir.win("нет")), OsError);
  EXPECT_THROW(set_attributes(dir.win("нет"), kArchive), OsError);
}

TEST(Fs, AReadOnlyFolderStillTakesNewFiles) {
  const test::TempDir dir;
  create_directory(dir.win("sub"));
  set_attributes(dir.win("sub"), kDirectory | kReadOnly);
  File(dir.win("sub\\a.txt"), File::Mode::Create).write("a");
  EXPECT_TRUE(is_file(dir.win("sub\\a.txt")));
  set_attributes(dir.win("sub"), kDirectory);
  EXPECT_FALSE(attributes(dir.win("sub")) & kReadOnly);
}

TEST(Fs, LastWriteTimeRoundTrips) {
  const test::TempDir dir;
  test::write_file(test::native(dir, "a.txt"), "a");
  test::write_file(test::native(dir, "ro.txt"), "r");
  set_attributes(dir.win("ro.txt"), kArchive | kReadOnly);
  std::filesystem::create_directory(test::native(dir, "sub"));
  const LocalTime times[] = {
      {2020, 1, 15, 10, 30, 0},
      {2020, 7, 15, 23, 59, 58},
      {1999, 12, 31, 0, 0, 2},
      {2024, 2, 29, 12, 1, 17},
  };
  for (const char* name : {"a.txt", "ro.txt", "sub"}) {
    for (const auto& time : times) {
      set_last_write_time(dir.win(name), time);
      EXPECT_EQ(last_write_time(dir.win(name)), time) << name << " " << time.year;
    }
  }
  EXPECT_TRUE(attributes(dir.win("ro.txt")) & kReadOnly);
}

TEST(Fs, ValidatesLocalTimes) {
  struct Case {
    LocalTime time;
    bool valid;
  };
  const Case cases[] = {
      {{2024, 2, 29, 23, 59, 59}, true}, {{2023, 2, 29, 0, 0, 0}, false},
      {{2000, 2, 29, 0, 0, 0}, true},    {{1900, 2, 29, 0, 0, 0}, false},
      {{1601, 1, 1, 0, 0, 0}, true},     {{1600, 12, 31, 0, 0, 0}, false},
      {{30827, 12, 31, 0, 0, 0}, true},  {{30828, 1, 1, 0, 0, 0}, false},
      {{2021, 4, 31, 0, 0, 0}, false},   {{2021, 12, 31, 0, 0, 0}, true},
      {{2021, 0, 1, 0, 0, 0}, false},    {{2021, 13, 1, 0, 0, 0}, false},
      {{2021, 1, 0, 0, 0, 0}, false},    {{2021, 1, 1, 24, 0, 0}, false},
      {{2021, 1, 1, 0, 60, 0}, false},   {{2021, 1, 1, 0, 0, 60}, false},
      {{2021, 1, 1, -1, 0, 0}, false},   {{}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(is_valid_local_time(c.time), c.valid)
        << c.time.year << "-" << c.time.month << "-" << c.time.day << " " << c.time.hour << ":"
        << c.time.minute << ":" << c.time.second;
  }
}

TEST(Fs, BadTimesAndMissingFilesThrow) {
  const test::TempDir dir;
  test::write_file(test::native(dir, "a.txt"), "a");
  for (const LocalTime& bad : {LocalTime{2021, 13, 1, 0, 0, 0}, LocalTime{2021, 2, 29, 0, 0, 0},
                               LocalTime{2021, 1, 1, 24, 0, 0}, LocalTime{}}) {
    EXPECT_THROW(set_last_write_time(dir.win("a.txt"), bad), OsError) << bad.month;
  }
  EXPECT_THROW(last_write_time(dir.win("нет")), OsError);
  EXPECT_THROW(set_last_write_time(dir.win("нет"), {2020, 1, 1, 0, 0, 0}), OsError);
}

TEST(Fs, OwnExecutableIsThisTestProgram) {
  const std::string path = own_executable_path();
  EXPECT_TRUE(is_file(path)) << path;
  EXPECT_NE(path.find("test_platform"), std::string::npos) << path;
#ifdef _WIN32
  EXPECT_EQ(path[1], ':') << path;
#else
  EXPECT_EQ(path.substr(0, 3), "Z:\\") << path;
#endif
}

}  // namespace
}  // namespace tarvik::fs
