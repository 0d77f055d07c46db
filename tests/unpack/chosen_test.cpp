// The browser's extraction of chosen entries (Raspakovka2): the selection key, the level cut
// from the destination, entries not taken left untouched and their data seeked over, no
// journal and no abort.
#include <gtest/gtest.h>

#include "archive_fixture.h"
#include "format/messages.h"
#include "ops/runner.h"
#include "unpack/extract.h"

using namespace tarvik;
using namespace tarvik::test;

namespace {

FixtureArchive docs_archive() {
  FixtureArchive a;
  a.entries = {
      file("\\a.txt", "top a"),
      file("\\a.txt.bak", "top a backup"),
      folder("\\docs"),
      file("\\docs\\y.txt", "docs y"),
      folder("\\docs\\sub"),
      file("\\docs\\sub\\x.txt", noise(2500, 1)),
      folder("\\docs\\sub\\deep"),
      file("\\docs\\sub\\deep\\z.txt", "deep z"),
      folder("\\docs\\subway"),
      file("\\docs\\subway\\w.txt", "subway w"),
      folder("\\sub"),
      file("\\sub\\a.txt", "sub a"),
  };
  a.entries[5].time = "01.02.2020 03:04";
  return a;
}

Outcome extract_chosen(Bench& b, const std::string& first, const std::string& level,
                       const std::string& chosen, RecordingUi& ui) {
  const ChosenRequest request{first, b.out, level, chosen};
  return run_operation({OperationCode::ExtractChosen, b.program, ""}, ui,
                       [&](Operation& op) { return Raspakovka2(request, op); });
}

}  // namespace

TEST(Raspakovka2, TheKeyTakesTheChosenEntryWithItsLevelCutOff) {
  using Tree = test::Tree;
  struct Case {
    std::string level;
    std::string chosen;
    Tree expected;
  };
  const Case cases[] = {
      {"\\docs",
       "sub\\",
       {{"sub", "<dir>"},
        {"sub/x.txt", noise(2500, 1)},
        {"sub/deep", "<dir>"},
        {"sub/deep/z.txt", "deep z"}}},
      {"", "a.txt", {{"a.txt", "top a"}}},
      {"",
       "docs\\",
       {{"docs", "<dir>"},
        {"docs/y.txt", "docs y"},
        {"docs/sub", "<dir>"},
        {"docs/sub/x.txt", noise(2500, 1)},
        {"docs/sub/deep", "<dir>"},
        {"docs/sub/deep/z.txt", "deep z"},
        {"docs/subway", "<dir>"},
        {"docs/subway/w.txt", "subway w"}}},
      {"\\docs\\sub", "x.txt", {{"x.txt", noise(2500, 1)}}},
      {"\\docs\\sub", "deep\\", {{"deep", "<dir>"}, {"deep/z.txt", "deep z"}}},
      {"\\sub", "a.txt", {{"a.txt", "sub a"}}},
      {"", "nothing.txt", {}},
  };
  for (std::optional<std::uint64_t> limit :
       {std::optional<std::uint64_t>{}, std::optional<std::uint64_t>{0}}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.level + " | " + c.chosen + (limit ? " | limit 0" : ""));
      Bench b;
      FixtureArchive a = docs_archive();
      a.limit = limit;
      const auto first = b.write("a", a).at(0);
      RecordingUi ui;
      EXPECT_EQ(extract_chosen(b, first, c.level, c.chosen, ui), Outcome::Done);
      EXPECT_TRUE(ui.messages.empty());
      EXPECT_EQ(b.out_tree(), c.expected);
      // No journal was created.
      EXPECT_TRUE(snapshot(b.native(b.program)).empty());
    }
  }
}

TEST(Raspakovka2, DateAndAttributesOfTakenEntriesAndReplacedTargets) {
  Bench b;
  FixtureArchive a = docs_archive();
  a.entries[5].attributes = fs::kArchive | fs::kReadOnly;
  const auto first = b.write("a", a).at(0);
  const std::string target = format::join_path(b.out, "x.txt");
  write_file(b.native(target), "old");
  fs::set_attributes(target, fs::kReadOnly);
  RecordingUi ui;
  EXPECT_EQ(extract_chosen(b, first, "\\docs\\sub", "x.txt", ui), Outcome::Done);
  EXPECT_EQ(b.out_tree(), (test::Tree{{"x.txt", noise(2500, 1) + "+ro"}}));
  EXPECT_EQ(fs::last_write_time(target), (fs::LocalTime{2020, 2, 1, 3, 4, 0}));
  EXPECT_EQ(ui.items, std::vector<std::string>{"x.txt"});
}

TEST(Raspakovka2, AbortIsNotTested) {
  Bench b;
  const auto first = b.write("a", docs_archive()).at(0);
  RecordingUi ui;
  ui.abort_after_pumps = 1;
  Operation op{ui};
  EXPECT_EQ(Raspakovka2({first, b.out, "", "docs\\"}, op), Outcome::Done);
  EXPECT_GT(ui.pumps, 1u);
  EXPECT_FALSE(op.abort);
  EXPECT_EQ(b.out_tree().size(), 8u);
}

TEST(Raspakovka2, LaterVolumesAreCheckedOnlyWhereTakenDataAreRead) {
  FixtureArchive a;
  a.entries = {file("\\skipped.bin", noise(3000, 2)), file("\\taken.txt", noise(1500, 3))};
  a.limit = 1024;
  for (bool damage_taken_volume : {false, true}) {
    SCOPED_TRACE(damage_taken_volume);
    Bench b;
    const auto paths = b.write("a", a);
    ASSERT_EQ(paths.size(), 5u);  // 1024 | 1024 | 963 | 1024 | 487
    // Volume 002 holds only data of the skipped entry, volume 004 data of the taken one.
    const auto damaged = b.native(paths[damage_taken_volume ? 3 : 1]);
    std::string bytes = read_file(damaged);
    bytes[5] ^= 0x40;
    write_file(damaged, bytes);
    RecordingUi ui;
    if (damage_taken_volume) {
      EXPECT_EQ(extract_chosen(b, paths[0], "", "taken.txt", ui), Outcome::EndProgram);
      EXPECT_EQ(ui.messages,
                (std::vector<std::string>{msg::failed_run_undone(msg::kChecksumError)}));
      EXPECT_TRUE(b.out_tree().empty());
    } else {
      EXPECT_EQ(extract_chosen(b, paths[0], "", "taken.txt", ui), Outcome::Done);
      EXPECT_EQ(b.out_tree(), (test::Tree{{"taken.txt", noise(1500, 3)}}));
    }
  }
}

TEST(Raspakovka2, MissingVolumeAndWrongFirstVolume) {
  Bench b;
  FixtureArchive a = docs_archive();
  a.limit = 1024;
  const auto paths = b.write("a", a);
  ASSERT_GE(paths.size(), 3u);
  {
    RecordingUi ui;
    EXPECT_EQ(extract_chosen(b, paths[1], "", "a.txt", ui), Outcome::EndProgram);
    EXPECT_EQ(ui.messages, std::vector<std::string>{std::string(msg::kWrongVersion)});
  }
  std::filesystem::remove(b.native(paths[2]));
  RecordingUi ui;
  EXPECT_EQ(extract_chosen(b, paths[0], "", "docs\\", ui), Outcome::EndProgram);
  EXPECT_EQ(ui.messages,
            (std::vector<std::string>{msg::failed_run_undone(msg::next_volume_missing(paths[2]))}));
  EXPECT_TRUE(b.out_tree().empty());
}
