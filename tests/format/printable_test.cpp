// Names as they may be shown: nothing in them steers a terminal or hides the text before it.
#include "format/printable.h"

#include <gtest/gtest.h>

using tarvik::format::append_printable;
using tarvik::format::printable;

TEST(Printable, ControlAndFormatCharactersAreWrittenAsTheirCode) {
  struct Case {
    std::string text;
    std::string shown;
  };
  const Case cases[] = {
      {"harmless.txt", "harmless.txt"},
      {"Отчёт за год.txt", "Отчёт за год.txt"},
      {"C:\\Work\\a b\\c.txt", "C:\\Work\\a b\\c.txt"},
      {"harmless.txt\r..\\..\\.bashrc", "harmless.txt<0D>..\\..\\.bashrc"},
      {"\x1b]0;pwned\x07", "<1B>]0;pwned<07>"},
      {"\x1b[2J\x1b[H", "<1B>[2J<1B>[H"},
      {std::string("a\0b\n\t\x7f", 6), "a<00>b<0A><09><7F>"},
      {"\xc2\x9b" "31m", "<U+009B>31m"},                         // C1 CSI
      {"txt.\xe2\x80\xae" "exe", "txt.<U+202E>exe"},                 // right-to-left override
      {"a\xe2\x80\x8b" "b\xef\xbb\xbf", "a<U+200B>b<U+FEFF>"},   // zero-width characters
      {"\x9b" "31m \xff \xc3", "<9B>31m <FF> <C3>"},              // not well-formed UTF-8
      {"\xed\xa0\x80", "<ED><A0><80>"},                           // a surrogate
      {"\xe2\x82\xac \xf0\x9f\x98\x80", "\xe2\x82\xac \xf0\x9f\x98\x80"},  // € and an emoji
      {"<1B> stays", "<1B> stays"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(printable(c.text), c.shown) << c.shown;
    EXPECT_EQ(printable(printable(c.text)), printable(c.text)) << c.shown;
    std::string after = "x\x01";  // appended, what is there left alone
    append_printable(after, c.text);
    EXPECT_EQ(after, "x\x01" + c.shown) << c.shown;
  }
}
