// Fixed-width fields, decimal numbers, base64 and the uuencoded password text.
#include <gtest/gtest.h>

#include "format/base64.h"
#include "format/fields.h"
#include "format/password.h"

using namespace std::string_literals;
namespace f = tarvik::format;

TEST(FixedField, FillerBytes) {
  struct Case {
    std::string text;
    std::size_t width;
    std::string bytes;
  } cases[] = {
      {"7", 3, "7\0 "s},          // one digit: NUL then a space
      {"13", 3, "13\0"s},         // two digits: NUL only
      {"123", 3, "123"},          // exact width: no terminator
      {"12345", 3, "123"},        // longer: cut
      {"", 2, "\0 "s},            // empty
      {"KZV V1.0", 10, "KZV V1.0\0 "s},
      {"08.12.2026", 16, "08.12.2026\0     "s},
  };
  for (const auto& c : cases) EXPECT_EQ(f::fixed_field(c.text, c.width), c.bytes) << c.text;
}

TEST(FixedField, ReadBackTakesTextUpToNulTrimmed) {
  EXPECT_EQ(f::field_text("7\0 "s), "7");
  EXPECT_EQ(f::field_text("  ab \t"s), "ab");
  EXPECT_EQ(f::field_text("123"), "123");
  EXPECT_EQ(f::field_text("\0xyz"s), "");
}

TEST(Decimal, ParsesOnlyDigitsWithoutOverflow) {
  EXPECT_EQ(f::parse_decimal("0"), 0u);
  EXPECT_EQ(f::parse_decimal("001"), 1u);
  EXPECT_EQ(f::parse_decimal("18446744073709551615"), UINT64_MAX);
  for (const char* bad : {"", " 1", "1 ", "-1", "+1", "1a", "18446744073709551616", "0x10"})
    EXPECT_FALSE(f::parse_decimal(bad).has_value()) << bad;
}

TEST(Base64, EncodesAndDecodesRfc2045) {
  struct Case {
    std::string plain, coded;
  } cases[] = {{"", ""},          {"4", "NA=="},       {"8", "OA=="},   {"13", "MTM="},
               {"1234", "MTIzNA=="}, {"hello!", "aGVsbG8h"}, {"\xff\xfe"s, "//4="}};
  for (const auto& c : cases) {
    EXPECT_EQ(f::base64_encode(c.plain), c.coded);
    EXPECT_EQ(f::base64_decode(c.coded), c.plain);
  }
  for (const char* bad : {"A", "ABC", "A===", "AB=C", "AB==AB==", "A*==", "MTM=\n"})
    EXPECT_FALSE(f::base64_decode(bad).has_value()) << bad;
}

TEST(Uuencode, OneLineWithBackquoteForZero) {
  // "MTI=" is 4 bytes: length character "$", then two groups, the last one incomplete.
  std::string line = f::uuencode_line("MTI=");
  EXPECT_EQ(line[0], '$');
  EXPECT_EQ(line.size(), 9u);
  EXPECT_EQ(line.substr(7), "``");  // missing characters of the last group
  EXPECT_EQ(f::uudecode_line(line), "MTI=");
  // A space reads as a backquote.
  std::string spaced = line;
  for (char& c : spaced)
    if (c == '`') c = ' ';
  EXPECT_EQ(f::uudecode_line(spaced), "MTI=");
  EXPECT_EQ(f::uuencode_line(std::string(3, '\0')), "#````");
  EXPECT_FALSE(f::uudecode_line("$ab").has_value());  // too short for its length
  EXPECT_FALSE(f::uudecode_line("!\x7f```").has_value());
}

TEST(PasswordText, TwelveCharactersGiveTwentySevenAndFieldPadding) {
  std::string password = "secret123456";
  std::string t = f::code_text(password, 'x', '9');
  ASSERT_EQ(t.size(), 27u);
  EXPECT_EQ(t[1], 'x');
  EXPECT_EQ(t[2], '9');
  std::string record = f::password_record(password, "14:05:09", 'x', '9');
  ASSERT_EQ(record.size(), 33u);
  EXPECT_EQ(record.substr(0, 3), "=<N");
  EXPECT_EQ(record.substr(3, 27), t);
  EXPECT_EQ(record.substr(30), "\0  "s);
  EXPECT_EQ(f::decode_text(f::field_text(record.substr(3))), password);
}

TEST(PasswordText, NoPasswordCodesTheTimeUnderItsOwnTag) {
  std::string record = f::password_record("   ", "14:05:09", '@', 'Z');
  EXPECT_EQ(record.substr(0, 3), "K*)");
  EXPECT_EQ(f::decode_text(f::field_text(record.substr(3))), "14:05:09");
}

TEST(PasswordText, RandomCharactersComeFromTheSixtyNine) {
  EXPECT_EQ(f::kRandomAlphabet.size(), 69u);
  for (char banned : std::string("JVjvy=: ")) EXPECT_EQ(f::kRandomAlphabet.find(banned), std::string::npos);
  for (int i = 0; i < 50; ++i) {
    auto [r1, r2] = f::pick_random_pair();
    EXPECT_NE(f::kRandomAlphabet.find(r1), std::string::npos);
    EXPECT_NE(f::kRandomAlphabet.find(r2), std::string::npos);
    // Whatever was picked, the password reads back.
    EXPECT_EQ(f::decode_text(f::code_text("Пароль", r1, r2)), "Пароль");
  }
}
