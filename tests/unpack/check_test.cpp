// The checks before an extraction (checksum and password of volume 001) and the archive test
// that inflates everything and writes nothing.
#include <gtest/gtest.h>

#include "archive_fixture.h"
#include "format/messages.h"
#include "unpack/extract.h"

using namespace tarvik;
using namespace tarvik::test;

TEST(CheckBeforeExtract, ChecksumThenPassword) {
  Bench b;
  FixtureArchive a;
  a.entries = {file("\\a.txt", "a")};
  const auto plain = b.write("plain", a).at(0);
  a.password = "secret";
  const auto locked = b.write("locked", a).at(0);
  const auto damaged = b.write("damaged", a).at(0);
  std::string bytes = read_file(b.native(damaged));
  bytes[50] ^= 1;
  write_file(b.native(damaged), bytes);

  struct Case {
    std::string volume;
    std::optional<std::string> answer;
    bool ok;
    std::vector<std::string> messages;
    std::size_t questions;
  };
  const Case cases[] = {
      {plain, std::nullopt, true, {}, 0},
      {locked, "secret", true, {}, 1},
      {locked, "Secret", false, {std::string(msg::kWrongPassword)}, 1},
      {locked, std::nullopt, false, {std::string(msg::kWrongPassword)}, 1},
      {damaged, "secret", false, {std::string(msg::kChecksumError)}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.volume + " " + c.answer.value_or("<none>"));
    RecordingUi ui;
    ui.answers.push_back(c.answer);
    EXPECT_EQ(check_before_extract(c.volume, ui), c.ok);
    EXPECT_EQ(ui.messages, c.messages);
    EXPECT_EQ(ui.questions.size(), c.questions);
  }
}

TEST(TestArchive, SoundArchiveWritesNothing) {
  Bench b;
  FixtureArchive a;
  a.entries = {folder("\\d"), file("\\d\\a.bin", noise(5000, 1)), file("\\e.txt", "")};
  a.limit = 1024;
  const auto paths = b.write("a", a);
  const auto before = b.whole_tree();
  RecordingUi ui;
  Operation op{ui};
  EXPECT_EQ(test_archive(paths[0], op), Outcome::Done);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(b.whole_tree(), before);
}

TEST(TestArchive, EachDamagedEntryIsNamedAndTheTestGoesOn) {
  Bench b;
  FixtureArchive a;
  a.entries = {file("\\good1.txt", "good"), file("\\bad1.txt", "bad data here"),
               file("\\good2.bin", noise(3000, 2)), file("\\bad2.txt", "more bad data"),
               file("\\good3.txt", "good")};
  a.entries[1].packed = zlib_of("bad data here").substr(0, 2) + noise(30, 3);
  a.entries[3].stored_size = 3;
  a.limit = 1024;
  const auto paths = b.write("a", a);
  ASSERT_EQ(paths.size(), 4u);
  // A later volume whose data no longer match its checksum is named as well.
  std::string third = read_file(b.native(paths[2]));
  third[third.size() - 20] ^= 1;
  write_file(b.native(paths[2]), third);

  RecordingUi ui;
  Operation op{ui};
  EXPECT_EQ(test_archive(paths[0], op), Outcome::Failed);
  ASSERT_EQ(ui.messages.size(), 4u);
  EXPECT_TRUE(ui.messages[0].starts_with(msg::damaged_entry("C:\\Work\\bad1.txt", "")));
  EXPECT_EQ(ui.messages[1], msg::damaged_archive(paths[2], "контрольная сумма тома не совпадает"));
  EXPECT_TRUE(ui.messages[2].starts_with(msg::damaged_entry("C:\\Work\\good2.bin", "")));
  EXPECT_TRUE(ui.messages[3].starts_with(msg::damaged_entry("C:\\Work\\bad2.txt", "")));
  EXPECT_TRUE(b.out_tree().empty());
}

TEST(TestArchive, BrokenRecordsEndTheTest) {
  Bench b;
  FixtureArchive a;
  FixtureEntry broken;
  broken.raw = "F12";
  a.entries = {file("\\a.txt", "a"), broken, file("\\b.txt", "b")};
  const auto first = b.write("a", a).at(0);
  RecordingUi ui;
  Operation op{ui};
  EXPECT_EQ(test_archive(first, op), Outcome::Failed);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_TRUE(ui.messages[0].starts_with(msg::damaged_archive(first, "")));
}
