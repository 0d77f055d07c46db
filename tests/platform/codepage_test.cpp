// Names to and from the archive's code page (Windows-1251 on Linux; under Wine with
// LANG=ru_RU.UTF-8 the ANSI code page is 1251 too).
#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace tarvik::codepage {
namespace {

struct Pair {
  const char* utf8;
  const char* bytes;
};

constexpr Pair kPairs[] = {
    {"", ""},
    {"readme.txt", "readme.txt"},
    {"C:\\Work\\a b~!@#$%^&()_+-=.txt", "C:\\Work\\a b~!@#$%^&()_+-=.txt"},
    {"Привет", "\xCF\xF0\xE8\xE2\xE5\xF2"},
    {"ёлка Ёж", "\xB8\xEB\xEA\xE0 \xA8\xE6"},
    {"АЯаяЖж", "\xC0\xDF\xE0\xFF\xC6\xE6"},
    {"Їжак ґ Є і Ў", "\xAF\xE6\xE0\xEA \xB4 \xAA \xB3 \xA1"},
    {"€ № « » — …", "\x88 \xB9 \xAB \xBB \x97 \x85"},
    {"Отчёт за 2024.doc", "\xCE\xF2\xF7\xB8\xF2 \xE7\xE0 2024.doc"},
};

TEST(Codepage, ConvertsBothWays) {
  for (const auto& pair : kPairs) {
    EXPECT_EQ(to_archive(pair.utf8), std::optional<std::string>(pair.bytes)) << pair.utf8;
    EXPECT_EQ(from_archive(pair.bytes), pair.utf8) << pair.utf8;
  }
}

TEST(Codepage, EveryByteRoundTrips) {
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    const std::string text = from_archive(byte);
    EXPECT_FALSE(text.empty()) << b;
    EXPECT_EQ(to_archive(text), std::optional<std::string>(byte)) << "byte " << b;
  }
}

TEST(Codepage, KeepsEmbeddedZeroBytes) {
  const std::string bytes("a\0\xE0", 3);
  EXPECT_EQ(from_archive(bytes), std::string("a\0а", 4));
  EXPECT_EQ(to_archive(std::string("a\0а", 4)), std::optional<std::string>(bytes));
}

TEST(Codepage, RefusesCharactersWithoutAForm) {
  for (const char* text : {"日本", "ŝ", "a\xF0\x9F\x98\x80", "Œuvre", "Привет, 世界"}) {
    EXPECT_EQ(to_archive(text), std::nullopt) << text;
  }
}

TEST(Codepage, RefusesInvalidUtf8) {
  for (const char* text : {
           "\xFF",              // never a UTF-8 byte
           "a\x80",             // continuation without a lead
           "\xD0",              // truncated two-byte form
           "\xE2\x82",          // truncated three-byte form
           "\xD0\x41",          // lead followed by ASCII
           "\xC0\xAF",          // overlong "/"
           "\xE0\x80\xAF",      // overlong "/"
           "\xED\xA0\x80",      // a surrogate
           "\xF4\x90\x80\x80",  // beyond U+10FFFF
       }) {
    EXPECT_EQ(to_archive(text), std::nullopt) << testing::PrintToString(std::string(text));
  }
}

#ifdef _WIN32
TEST(Codepage, WidensAndNarrowsUtf8) {
  EXPECT_EQ(widen("Пути ё a"), std::wstring(L"Пути ё a"));
  EXPECT_EQ(narrow(L"Пути ё a"), "Пути ё a");
  EXPECT_EQ(narrow(widen("日本 \xF0\x9F\x98\x80")), "日本 \xF0\x9F\x98\x80");
  EXPECT_EQ(widen(""), std::wstring());
  EXPECT_EQ(narrow(L""), "");
}
#endif

}  // namespace
}  // namespace tarvik::codepage
