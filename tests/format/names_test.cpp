// Volume file names, volume numbers and the next-volume rule.
#include <gtest/gtest.h>

#include "format/names.h"

namespace f = tarvik::format;

TEST(VolumeNames, FourKindsAndDriveRoots) {
  struct Case {
    std::string folder;
    bool multi, sfx;
    int number;
    std::string name;
  } cases[] = {
      {"C:\\d", false, false, 1, "C:\\d\\arhiv.kzv"},
      {"C:\\d", false, true, 1, "C:\\d\\arhiv.exe"},
      {"C:\\d", true, false, 1, "C:\\d\\arhiv.001.kzv"},
      {"C:\\d", true, true, 1, "C:\\d\\arhiv.001.exe"},
      {"C:\\d", true, true, 2, "C:\\d\\arhiv.002.kzv"},
      {"C:\\d", true, false, 999, "C:\\d\\arhiv.999.kzv"},
      {"C:\\", false, false, 1, "C:\\arhiv.kzv"},
      {"C:\\", true, false, 10, "C:\\arhiv.010.kzv"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(f::volume_file_name(c.folder, "arhiv", {c.multi, c.sfx}, c.number), c.name);
}

TEST(VolumeNumbers, ThreeDigitsFromOneTo999) {
  EXPECT_EQ(f::volume_number_text(1), "001");
  EXPECT_EQ(f::volume_number_text(10), "010");
  EXPECT_EQ(f::volume_number_text(999), "999");
  EXPECT_FALSE(f::volume_number_text(0));
  EXPECT_FALSE(f::volume_number_text(1000));
  EXPECT_EQ(f::parse_volume_number("002"), 2);
  for (const char* bad : {"", "1", "01", "0001", "000", "00a", " 01"})
    EXPECT_FALSE(f::parse_volume_number(bad)) << bad;
}

TEST(NextVolume, ReplacesTheTrailingNumberAndExtension) {
  struct Case {
    std::string current;
    int next;
    std::string expected;
  } cases[] = {
      {"data.001.kzv", 2, "data.002.kzv"},
      {"data.001.exe", 2, "data.002.kzv"},
      {"data.009.kzv", 10, "data.010.kzv"},
      {"setup.exe", 2, "setup.002.kzv"},
      {"data.kzv", 2, "data.002.kzv"},
      {"отчёт.2026.001.kzv", 2, "отчёт.2026.002.kzv"},
      {"отчёт.2026.002.kzv", 3, "отчёт.2026.003.kzv"},
      {"a.b.c.001.EXE", 2, "a.b.c.002.kzv"},
      {"setup", 2, "setup.002.kzv"},  // a stub renamed without extension
  };
  for (const auto& c : cases) EXPECT_EQ(f::next_volume_file_name(c.current, c.next), c.expected);
}

TEST(Paths, JoinAndSplitWithDriveRoots) {
  EXPECT_EQ(f::join_path("C:\\", "a.txt"), "C:\\a.txt");
  EXPECT_EQ(f::join_path("C:\\Work", "a.txt"), "C:\\Work\\a.txt");
  EXPECT_TRUE(f::is_drive_root("C:\\"));
  EXPECT_FALSE(f::is_drive_root("C:\\a"));
  EXPECT_FALSE(f::is_drive_root("C:"));
  EXPECT_EQ(f::file_name_part("C:\\my.dir\\data.001.kzv"), "data.001.kzv");
  EXPECT_EQ(f::folder_part("C:\\my.dir\\data.001.kzv"), "C:\\my.dir");
  EXPECT_EQ(f::folder_part("C:\\data.kzv"), "C:\\");
}
