// Errors of the operating system and their words.
#include "platform/error.h"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

TEST(OsError, CarriesCodePathAndReason) {
  const OsError error(os_error_disk_full(), "C:\\Work\\a.txt");
  EXPECT_EQ(error.code(), os_error_disk_full());
  EXPECT_EQ(error.path(), "C:\\Work\\a.txt");
  EXPECT_EQ(error.reason(), describe_os_error(os_error_disk_full()));
}

TEST(OsError, DescribesCodesAsTrimmedText) {
  const std::string full = describe_os_error(os_error_disk_full());
  const std::string missing = describe_os_error(os_error_not_found());
  EXPECT_FALSE(full.empty());
  EXPECT_FALSE(missing.empty());
  EXPECT_NE(full, missing);
  for (const std::string& text : {full, missing}) {
    const char last = text.back();
    EXPECT_TRUE(last != '\n' && last != '\r' && last != ' ' && last != '.') << text;
  }
}

TEST(OsError, ClassifiesItsOwnCodes) {
  EXPECT_TRUE(os_error_is_disk_full(os_error_disk_full()));
  EXPECT_FALSE(os_error_is_disk_full(os_error_not_found()));
  EXPECT_TRUE(os_error_is_not_found(os_error_not_found()));
  EXPECT_FALSE(os_error_is_not_found(os_error_disk_full()));
}

}  // namespace
}  // namespace tarvik
