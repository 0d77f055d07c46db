// Byte streams in memory.
#include "platform/stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// A source that counts the reads that reach it.
class CountingSource final : public ByteSource {
 public:
  explicit CountingSource(std::string bytes) : inner_(std::move(bytes)) {}
  std::size_t read(void* buffer, std::size_t n) override {
    ++reads;
    return inner_.read(buffer, n);
  }
  void seek(std::uint64_t offset) override { inner_.seek(offset); }
  std::uint64_t tell() const override { return inner_.tell(); }
  std::uint64_t size() const override { return inner_.size(); }
  int reads = 0;

 private:
  MemorySource inner_;
};

// Every pattern of reads gives the bytes a plain read would; the source is read only when the
// buffer does not hold the start of a read.
TEST(ReadAhead, SameBytesAsThePlainSourceWithFewReads) {
  std::string bytes;
  for (int i = 0; i < 100; ++i) bytes += static_cast<char>('a' + i % 26);
  struct Step {
    std::uint64_t seek;
    std::size_t n;
    int reads_after;  // reads of the underlying source so far
  };
  const std::vector<Step> steps = {
      {0, 3, 1},    // fills 16 bytes
      {3, 10, 1},   // inside the buffer
      {13, 5, 2},   // 3 from the buffer, then a refill at 16
      {40, 20, 3},  // at least the buffer's size: straight through
      {10, 2, 4},   // behind the buffer: refill
      {95, 10, 5},  // the end: 5 bytes
      {100, 4, 6},  // past the end: nothing
  };
  CountingSource counted(bytes);
  ReadAhead ahead(counted, 16);
  MemorySource plain(bytes);
  for (const auto& step : steps) {
    SCOPED_TRACE(step.seek);
    ahead.seek(step.seek);
    plain.seek(step.seek);
    std::string a(step.n, '?'), p(step.n, '?');
    const std::size_t got = ahead.read(a.data(), step.n);
    ASSERT_EQ(got, plain.read(p.data(), step.n));
    EXPECT_EQ(a.substr(0, got), p.substr(0, got));
    EXPECT_EQ(ahead.tell(), plain.tell());
    EXPECT_EQ(counted.reads, step.reads_after);
  }
}

}  // namespace
}  // namespace tarvik
