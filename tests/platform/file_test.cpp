// Files on disk: the three modes, positions, errors naming the file, the full-disk seam.
#include "platform/file.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "native_path.h"
#include "platform/error.h"
#include "platform/fs.h"
#include "test_support.h"

namespace tarvik {
namespace {

std::string read_all(File& file) {
  std::string bytes(static_cast<std::size_t>(file.size()), '\0');
  file.seek(0);
  bytes.resize(file.read(bytes.data(), bytes.size()));
  return bytes;
}

// Lifts the write budget however the test ends.
struct BudgetGuard {
  ~BudgetGuard() { set_write_budget(std::nullopt); }
};

TEST(File, CreatesWritesSeeksAndReadsBack) {
  const test::TempDir dir;
  const std::string path = dir.win("Архив ё.kzv");
  File file(path, File::Mode::Create);
  EXPECT_TRUE(file.is_open());
  EXPECT_EQ(file.path(), path);
  EXPECT_EQ(file.size(), 0u);
  file.write("hello, ");
  file.write(std::string_view("world\0!", 7));
  EXPECT_EQ(file.tell(), 14u);
  EXPECT_EQ(file.size(), 14u);

  file.seek(7);
  char buffer[16];
  EXPECT_EQ(file.read(buffer, 5), 5u);
  EXPECT_EQ(std::string(buffer, 5), "world");
  EXPECT_EQ(file.tell(), 12u);
  EXPECT_EQ(file.read(buffer, sizeof buffer), 2u);
  EXPECT_EQ(file.read(buffer, sizeof buffer), 0u);

  file.seek(0);
  file.write("J");
  file.seek(20);  // writing past the end leaves zeros in between
  file.write("end");
  file.close();
  EXPECT_FALSE(file.is_open());
  EXPECT_NO_THROW(file.close());
  EXPECT_EQ(test::read_file(test::native(dir, "Архив ё.kzv")),
            std::string("Jello, world\0!\0\0\0\0\0\0end", 23));
}

TEST(File, ReadsALargeFileWhole) {
  const test::TempDir dir;
  std::string bytes(3 << 20, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  test::write_file(test::native(dir, "big.bin"), bytes);
  File file(dir.win("big.bin"), File::Mode::Read);
  EXPECT_EQ(file.size(), bytes.size());
  EXPECT_EQ(read_all(file), bytes);
}

TEST(File, CreateTruncatesAndReadWriteKeepsTheRest) {
  const test::TempDir dir;
  test::write_file(test::native(dir, "a.txt"), "0123456789");
  {
    File file(dir.win("a.txt"), File::Mode::ReadWrite);
    EXPECT_EQ(file.tell(), 0u);
    EXPECT_EQ(file.size(), 10u);
    file.seek(3);
    file.write("abc");
    file.close();
  }
  EXPECT_EQ(test::read_file(test::native(dir, "a.txt")), "012abc6789");
  File file(dir.win("a.txt"), File::Mode::Create);
  EXPECT_EQ(file.size(), 0u);
}

TEST(File, CreateTruncatesAHiddenFile) {
  const test::TempDir dir;
  test::write_file(test::native(dir, ".hidden"), "old bytes");
  fs::set_attributes(dir.win(".hidden"), fs::kArchive | fs::kHidden);
  File file(dir.win(".hidden"), File::Mode::Create);
  EXPECT_EQ(file.size(), 0u);
  file.write("new");
  file.close();
  EXPECT_EQ(test::read_file(test::native(dir, ".hidden")), "new");
  EXPECT_TRUE(fs::attributes(dir.win(".hidden")) & fs::kHidden);
}

TEST(File, APipeIsRefusedNotWaitedFor) {
#ifdef _WIN32
  GTEST_SKIP() << "no named pipes in folders on Windows";
#else
  const test::TempDir dir;
  ASSERT_EQ(::mkfifo(test::native(dir, "pipe").c_str(), 0666), 0);
  File file(dir.win("pipe"), File::Mode::Read);
  char buffer[4];
  EXPECT_THROW(file.read(buffer, sizeof buffer), OsError);
#endif
}

TEST(File, ReadModeLetsOthersWrite) {
  const test::TempDir dir;
  test::write_file(test::native(dir, "a.txt"), "abc");
  File reader(dir.win("a.txt"), File::Mode::Read);
  File writer(dir.win("a.txt"), File::Mode::ReadWrite);
  writer.write("x");
  writer.close();
  EXPECT_EQ(read_all(reader), "xbc");
}

TEST(File, MovesItsHandle) {
  const test::TempDir dir;
  File first(dir.win("a.txt"), File::Mode::Create);
  first.write("abc");
  File second(std::move(first));
  EXPECT_FALSE(first.is_open());  // NOLINT(bugprone-use-after-move)
  EXPECT_TRUE(second.is_open());
  EXPECT_EQ(second.tell(), 3u);
  File third;
  EXPECT_FALSE(third.is_open());
  third = std::move(second);
  EXPECT_EQ(third.path(), dir.win("a.txt"));
  EXPECT_EQ(read_all(third), "abc");
}

TEST(File, FailuresNameTheFile) {
  const test::TempDir dir;
  test::write_file(test::native(dir, "sub\\x.txt"), "x");
  struct Case {
    std::string path;
    File::Mode mode;
    bool not_found;
  };
  const Case cases[] = {
      {dir.win("нет.txt"), File::Mode::Read, true},
      {dir.win("нет.txt"), File::Mode::ReadWrite, true},
      {dir.win("нет\\a.txt"), File::Mode::Create, true},
      {dir.win("sub"), File::Mode::Read, false},
      {dir.win("sub"), File::Mode::Create, false},
  };
  for (const auto& c : cases) {
    try {
      File file(c.path, c.mode);
      ADD_FAILURE() << c.path;
    } catch (const OsError& e) {
      EXPECT_EQ(e.path(), c.path);
      EXPECT_EQ(os_error_is_not_found(e.code()), c.not_found) << c.path << ": " << e.reason();
      EXPECT_FALSE(e.reason().empty());
    }
  }
}

TEST(File, ClosedFileThrowsOnUse) {
  File file;
  char buffer[1];
  EXPECT_THROW(file.read(buffer, 1), OsError);
  EXPECT_THROW(file.write("x"), OsError);
  EXPECT_THROW(file.size(), OsError);
}

TEST(File, WriteBudgetFailsAsAFullDisk) {
  const test::TempDir dir;
  const BudgetGuard guard;
  const std::string path = dir.win("a.bin");
  File file(path, File::Mode::Create);
  set_write_budget(10);
  file.write("0123");
  file.write("");
  try {
    file.write("456789AB");
    ADD_FAILURE();
  } catch (const OsError& e) {
    EXPECT_EQ(e.code(), os_error_disk_full());
    EXPECT_TRUE(os_error_is_disk_full(e.code()));
    EXPECT_EQ(e.path(), path);
    EXPECT_EQ(e.reason(), describe_os_error(os_error_disk_full()));
  }
  EXPECT_THROW(file.write("C"), OsError);
  EXPECT_EQ(file.size(), 10u);  // a full disk takes what fits

  set_write_budget(std::nullopt);
  file.write("CD");
  file.close();
  EXPECT_EQ(test::read_file(test::native(dir, "a.bin")), "0123456789CD");
}

}  // namespace
}  // namespace tarvik
