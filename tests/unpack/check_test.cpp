// The checks before an extraction (checksum and password of volume 001) and the archive test
// that inflates everything and writes nothing.
#include <gtest/gtest.h>

#include "archive_fixture.h"
#include "format/messages.h"
#include "ops/runner.h"
#include "unpack/extract.h"

using namespace tarvik;
using namespace tarvik::test;

TEST(CheckBeforeExtract, ArchiveThenChecksumThenPassword) {
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
  // A text file renamed to .kzv, and one as short as a word: named as no archive at all.
  const std::string text = format::join_path(b.arch, "text.kzv"), word = format::join_path(b.arch, "word.kzv");
  write_file(b.native(text), std::string(200, 'x') + "\r\nпросто текст\r\n");
  write_file(b.native(word), "ok");

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
      {text, "secret", false, {msg::not_an_archive(text)}, 0},
      {word, "secret", false, {msg::not_an_archive(word)}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.volume + " " + c.answer.value_or("<none>"));
    RecordingUi ui;
    ui.answers.push_back(c.answer);
    EXPECT_EQ(check_before_extract(c.volume, ui), c.ok);
    EXPECT_EQ(ui.messages, c.messages);
    EXPECT_EQ(ui.questions.size(), c.questions);
    // The box names the archive it asks for.
    if (c.questions) {
      EXPECT_EQ(ui.prompts, std::vector<std::string>{msg::password_prompt(c.volume)});
    }
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

// `tarvik test` makes the entry check of unpack: every archive that unpack refuses an entry of
// fails the test with the same messages, and a sound one passes both.
TEST(TestArchive, FailsWhereUnpackRefusesWithTheSameMessages) {
  const std::string long_name(300, 'L');
  struct Case {
    const char* name;
    std::vector<FixtureEntry> entries;
    std::size_t messages;  // how many entries are refused
  };
  const Case cases[] = {
      {"dot-dot", {file("\\..\\evil.txt", "e")}, 1},
      {"dot-dot below a folder", {folder("\\a\\..\\..\\x")}, 1},
      {"drive letter", {file("\\C:\\evil.txt", "e")}, 1},
      {"share", {file("\\\\server\\share\\evil.txt", "e")}, 1},
      {"device", {file("\\CON", "e"), folder("\\sub\\lpt9.log")}, 2},
      {"NUL byte in a path", {file(std::string("\\ok.txt") + '\0' + "\\..\\..\\x", "e")}, 1},
      {"control characters", {file("\\harmless.txt\r..\\..\\.bashrc", "e")}, 1},
      {"name too long", {file("\\" + long_name, "e"), folder("\\" + long_name + "\\x")}, 2},
      {"file then folder", {file("\\x", "1"), folder("\\x"), file("\\x\\y.txt", "2")}, 2},
      {"folder then file", {folder("\\d"), file("\\D", "1")}, 1},
      {"implied folder then file", {file("\\p\\q.txt", "1"), file("\\P", "2")}, 1},
      {"sound: the same file twice and folders again",
       {folder("\\d"), file("\\d\\a.txt", "1"), file("\\D\\A.TXT", "2"), folder("\\D")},
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bench b;
    FixtureArchive a;
    a.entries = {file("\\before.txt", "b")};
    a.entries.insert(a.entries.end(), c.entries.begin(), c.entries.end());
    a.entries.push_back(file("\\after.txt", "a"));
    const auto first = b.write("a", a).at(0);
    const auto outside = b.whole_tree();

    RecordingUi tested;
    Operation op{tested};
    const Outcome test_outcome = test_archive(first, op);
    EXPECT_EQ(b.whole_tree(), outside);

    RecordingUi unpacked;
    const Outcome unpack_outcome = run_operation(
        {OperationCode::UnpackFromWindow, b.program, "a.kzv"}, unpacked,
        [&](Operation& op) { return Raspakovka({first, b.out}, op); });

    const Outcome expected = c.messages == 0 ? Outcome::Done : Outcome::Failed;
    EXPECT_EQ(test_outcome, expected);
    EXPECT_EQ(unpack_outcome, expected);
    EXPECT_EQ(tested.messages.size(), c.messages);
    EXPECT_EQ(tested.messages, unpacked.messages);
    // Unpack wrote the other entries, and nothing outside the target.
    EXPECT_EQ(b.out_tree().count("before.txt"), 1u);
    EXPECT_EQ(b.out_tree().count("after.txt"), 1u);
    auto now = b.whole_tree();
    std::erase_if(now, [](const auto& kv) { return kv.first.starts_with("out/"); });
    EXPECT_EQ(now, outside);
  }
}
