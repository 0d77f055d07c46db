// Byte streams in memory.
#include "platform/stream.h"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

TEST(MemorySource, ReadsInPiecesUntilTheEnd) {
  MemorySource source("abcdefg");
  char buffer[4];
  EXPECT_EQ(source.read(buffer, 4), 4u);
  EXPECT_EQ(std::string(buffer, 4), "abcd");
  EXPECT_EQ(source.read(buffer, 4), 3u);
  EXPECT_EQ(std::string(buffer, 3), "efg");
  EXPECT_EQ(source.read(buffer, 4), 0u);
  EXPECT_EQ(source.tell(), 7u);
  EXPECT_EQ(source.size(), 7u);
}

TEST(MemorySource, SeeksBackAndPastTheEnd) {
  MemorySource source("abcdefg");
  char buffer[8];
  source.seek(5);
  EXPECT_EQ(source.read(buffer, 8), 2u);
  EXPECT_EQ(std::string(buffer, 2), "fg");
  source.seek(100);
  EXPECT_EQ(source.read(buffer, 8), 0u);
  source.seek(0);
  EXPECT_EQ(source.read(buffer, 0), 0u);
  EXPECT_EQ(source.read(buffer, 1), 1u);
  EXPECT_EQ(buffer[0], 'a');
}

TEST(MemorySink, AppendsEveryWrite) {
  MemorySink sink;
  sink.write("ab");
  sink.write(std::string_view("c\0d", 3));
  EXPECT_EQ(sink.bytes(), std::string("abc\0d", 5));
}

}  // namespace
}  // namespace tarvik
