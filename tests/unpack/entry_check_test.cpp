// The one check of an entry before it is written: unsafe paths, names too long, and entries
// that clash with a file or folder taken before them.
#include "unpack/entry_check.h"

#include <gtest/gtest.h>

#include <vector>

#include "format/messages.h"
#include "format/names.h"

using namespace tarvik;
using tarvik::unpack::EntryCheck;

namespace {

struct Step {
  std::string relative;
  bool is_file;
  std::string refusal;  // "" when taken
};

std::string clash(std::string_view entry, std::string_view other, bool other_is_file) {
  return msg::entry_clash(entry, other, other_is_file);
}

}  // namespace

TEST(EntryCheck, ClashesWithEarlierEntriesWhateverTheLetterCase) {
  const std::string long_name(251, 'n');
  struct Case {
    const char* name;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"file then the same file", {{"\\a", true, ""}, {"\\A", true, ""}}},
      {"folder then the same folder", {{"\\d", false, ""}, {"\\D", false, ""}}},
      {"file then folder", {{"\\a", true, ""}, {"\\a", false, clash("\\a", "\\a", true)}}},
      {"folder then file", {{"\\a", false, ""}, {"\\A", true, clash("\\A", "\\a", false)}}},
      {"file then below it",
       {{"\\a", true, ""}, {"\\a\\b\\c", true, clash("\\a\\b\\c", "\\a", true)}}},
      {"file then a folder below it",
       {{"\\x\\a", true, ""}, {"\\X\\A\\b", false, clash("\\X\\A\\b", "\\x\\a", true)}}},
      {"implied folder then file",
       {{"\\a\\b\\c.txt", true, ""}, {"\\a\\b", true, clash("\\a\\b", "\\a\\b", false)}}},
      {"Cyrillic letters of either case",
       {{"\\Отчёт\\Итог.txt", true, ""},
        {"\\ОТЧЁТ", true, clash("\\ОТЧЁТ", "\\Отчёт", false)},
        {"\\отчёт\\итог.TXT\\x", true, clash("\\отчёт\\итог.TXT\\x", "\\Отчёт\\Итог.txt", true)}}},
      {"a refused entry is not remembered",
       {{"\\a", true, ""},
        {"\\a", false, clash("\\a", "\\a", true)},
        {"\\a\\x", true, clash("\\a\\x", "\\a", true)},
        {"\\b\\..\\a", false, msg::unsafe_entry("\\b\\..\\a")},
        {"\\b", true, ""}}},
      {"unsafe paths",
       {{"\\..\\x", true, msg::unsafe_entry("\\..\\x")},
        {std::string("\\a\0b", 4), true, msg::unsafe_entry(std::string("\\a\0b", 4))},
        {"\\NUL", false, msg::unsafe_entry("\\NUL")}}},
      {"names too long",
       {{"\\" + long_name, false, ""},
        {"\\" + long_name + "\\" + long_name, true,
         msg::name_too_long("\\" + long_name + "\\" + long_name)},
        {"\\" + long_name + "n\\x", true, ""},
        {"\\" + std::string(256, 'x') + "\\y", false,
         msg::name_too_long("\\" + std::string(256, 'x') + "\\y")}}},
      {"similar names do not clash",
       {{"\\a", true, ""}, {"\\ab\\c", true, ""}, {"\\a.txt\\d", false, ""}, {"\\б", true, ""},
        {"\\Б\\x", true, clash("\\Б\\x", "\\б", true)}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EntryCheck check;
    for (const auto& step : c.steps) {
      SCOPED_TRACE(step.relative);
      EXPECT_EQ(check.refusal(step.relative, step.is_file).value_or(""), step.refusal);
    }
  }
}

TEST(EntryCheck, FoldCaseMakesLatinAndCyrillicCapitalsSmall) {
  EXPECT_EQ(format::fold_case("\\ABC\\xyz\\АБВЁЂЯ\\ґҐ.TXT"), "\\abc\\xyz\\абвёђя\\ґґ.txt");
}
