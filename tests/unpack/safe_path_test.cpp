// Which stored paths may be written below the target folder.
#include "unpack/safe_path.h"

#include <gtest/gtest.h>

using tarvik::unpack::is_device_name;
using tarvik::unpack::is_safe_relative_path;

TEST(SafePath, Table) {
  struct Case {
    const char* relative;
    bool safe;
  };
  const Case cases[] = {
      {"\\a.txt", true},
      {"\\sub\\deep\\a.txt", true},
      {"\\..a", true},
      {"\\a..", false},
      {"\\a.", false},
      {"\\notes ", false},
      {"\\sub.\\x", false},
      {"\\sub \\x", false},
      {"\\a<b", false},
      {"\\a>b", false},
      {"\\p|q.txt", false},
      {"\\a\"b", false},
      {"\\a?b", false},
      {"\\a*b", false},
      {"\\a\x7f", true},
      {"\\ lead", true},
      {"\\a.b.c", true},
      {"\\con.d\\x", false},
      {"\\console", true},
      {"\\COM10", true},
      {"\\COM0", true},
      {"\\LPT", true},
      {"\\Отчёт.txt", true},
      {"", false},
      {"a.txt", false},
      {"\\", false},
      {"\\..", false},
      {"\\..\\x", false},
      {"\\a\\..\\..\\x", false},
      {"\\a\\.", false},
      {"\\. .\\x", false},
      {"\\...", false},
      {"\\a\\\\b", false},
      {"\\a\\", false},
      {"\\\\server\\share\\x", false},
      {"\\C:\\x", false},
      {"\\x:stream", false},
      {"\\a/../x", false},
      {"\\a/b", false},
      {"\\a\tb", false},
      {"\\CON", false},
      {"\\con", false},
      {"\\NUL.txt", false},
      {"\\nul .txt", false},
      {"\\aux.tar.gz", false},
      {"\\PRN", false},
      {"\\COM1", false},
      {"\\com9.log", false},
      {"\\LPT1", false},
      {"\\sub\\lpt9.x", false},
      {"\\CONIN$", false},
      {"\\conout$.txt", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(is_safe_relative_path(c.relative), c.safe) << c.relative;
  }
  EXPECT_FALSE(is_safe_relative_path(std::string_view("\\a\0b", 4)));
}

TEST(SafePath, DeviceNames) {
  EXPECT_TRUE(is_device_name("Com1 .log"));
  EXPECT_TRUE(is_device_name("PRN."));
  EXPECT_FALSE(is_device_name("PRNx"));
  EXPECT_FALSE(is_device_name(".con"));
}
