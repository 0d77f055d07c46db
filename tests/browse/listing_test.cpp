// The browser's list: rows of a level from the listing walk (Raspakovka1), the level rules,
// the whole-tree listing, and walks over many volumes and over damaged archives.
#include "browse/listing.h"

#include <gtest/gtest.h>

#include <fstream>

#include "../unpack/archive_fixture.h"
#include "format/messages.h"

using namespace tarvik;
using namespace tarvik::test;
using browse::Row;

namespace tarvik::browse {
void PrintTo(const Row& row, std::ostream* out) {
  *out << "{" << row.name << " | " << (row.is_folder ? "folder" : "file") << " | " << row.date
       << " | " << row.full_size << " | " << row.packed_size << "}";
}
}  // namespace tarvik::browse

namespace {

ListedEntry listed(std::string path, bool is_folder = false) {
  ListedEntry e;
  e.path = std::move(path);
  e.is_folder = is_folder;
  if (!is_folder) {
    e.date = "08.12.2026 14:05";
    e.size_text = "5";
    e.packed_size = 13;
  }
  return e;
}

Row file_row(std::string name, std::string date, std::string size, std::string packed) {
  return Row{std::move(name), false, std::move(date), std::move(size), std::move(packed)};
}
Row folder_row(std::string name) { return Row{std::move(name), true, "", "", ""}; }

FixtureArchive tree_archive() {
  FixtureArchive a;
  a.entries = {
      file("\\a.txt", "hello"),
      folder("\\A"),
      file("\\A\\b.txt", noise(1500, 1)),
      folder("\\A\\A"),
      file("\\A\\A\\c.txt", ""),
      folder("\\B"),
      file(cp("\\Отчёт за 2026.doc"), cp("отчёт")),
  };
  a.entries[2].time = "01.01.2020";
  return a;
}

}  // namespace

TEST(Level, RowsAreTheDirectChildrenOfTheLevel) {
  struct Case {
    std::string path;
    bool is_folder;
    std::string level;
    std::optional<std::string> name;
  };
  const Case cases[] = {
      {"a.txt", false, "", "a.txt"},
      {"sub\\a.txt", false, "", std::nullopt},
      {"sub", true, "", "sub"},
      {"sub", true, "\\sub", std::nullopt},
      {"sub\\a.txt", false, "\\sub", "a.txt"},
      {"sub\\deep\\a.txt", false, "\\sub", std::nullopt},
      {"sub\\deep", true, "\\sub", "deep"},
      {"subway\\a.txt", false, "\\sub", std::nullopt},
      {"A\\A\\c.txt", false, "\\A\\A", "c.txt"},
      {"A\\A", true, "\\A", "A"},
      {"a.txt", false, "\\A", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path + " at " + c.level);
    const auto row = browse::row_at_level(listed(c.path, c.is_folder), c.level);
    ASSERT_EQ(row.has_value(), c.name.has_value());
    if (row) {
      EXPECT_EQ(row->name, *c.name);
      EXPECT_EQ(row->is_folder, c.is_folder);
    }
  }
}

TEST(Level, ColumnsTypeImageAndChosenEntry) {
  const Row file = *browse::row_at_level(listed("a.txt"), "");
  EXPECT_EQ(file, file_row("a.txt", "08.12.2026 14:05", "5", "13"));
  EXPECT_EQ(file.type(), "Файл");
  EXPECT_EQ(file.image(), 1);
  EXPECT_EQ(browse::chosen_entry(file), "a.txt");
  const Row folder = *browse::row_at_level(listed("sub", true), "");
  EXPECT_EQ(folder, folder_row("sub"));
  EXPECT_EQ(folder.type(), "Папка");
  EXPECT_EQ(folder.image(), 0);
  EXPECT_EQ(browse::chosen_entry(folder), "sub\\");
}

TEST(Level, DownAndUp) {
  EXPECT_EQ(browse::level_down("", "A"), "\\A");
  EXPECT_EQ(browse::level_down("\\A", "A"), "\\A\\A");
  EXPECT_EQ(browse::level_up("\\A\\A"), "\\A");
  EXPECT_EQ(browse::level_up("\\A"), "");
  EXPECT_EQ(browse::level_up(""), "");
}

TEST(Listing, RowsOfEachLevelInArchiveOrderOverOneOrManyVolumes) {
  for (std::optional<std::uint64_t> limit :
       {std::optional<std::uint64_t>{}, std::optional<std::uint64_t>{0},
        std::optional<std::uint64_t>{1024}}) {
    SCOPED_TRACE(limit ? std::to_string(*limit) : "one volume");
    Bench b;
    FixtureArchive a = tree_archive();
    a.limit = limit;
    const auto first = b.write("a", a).at(0);
    const std::string packed_b = std::to_string(zlib_of(noise(1500, 1)).size());
    const std::string packed_c = std::to_string(zlib_of("").size());
    const std::string packed_doc = std::to_string(zlib_of(cp("отчёт")).size());
    RecordingUi ui;
    auto top = browse::list_level(first, "", ui);
    EXPECT_EQ(top.outcome, Outcome::Done);
    EXPECT_EQ(top.rows, (std::vector<Row>{
                            file_row("a.txt", "08.12.2026 14:05", "5", "13"), folder_row("A"),
                            folder_row("B"),
                            file_row("Отчёт за 2026.doc", "08.12.2026 14:05", "5", packed_doc)}));
    auto level_a = browse::list_level(first, "\\A", ui);
    EXPECT_EQ(level_a.rows, (std::vector<Row>{file_row("b.txt", "01.01.2020", "1500", packed_b),
                                              folder_row("A")}));
    auto level_aa = browse::list_level(first, "\\A\\A", ui);
    EXPECT_EQ(level_aa.rows,
              (std::vector<Row>{file_row("c.txt", "08.12.2026 14:05", "0", packed_c)}));
    EXPECT_TRUE(browse::list_level(first, "\\B", ui).rows.empty());
    EXPECT_TRUE(ui.messages.empty());
    // Nothing is shown on the progress dialog.
    EXPECT_TRUE(ui.captions.empty());
  }
}

TEST(Listing, WholeTree) {
  Bench b;
  const auto first = b.write("a", tree_archive()).at(0);
  RecordingUi ui;
  const auto listing = browse::list_tree(first, ui);
  EXPECT_EQ(listing.outcome, Outcome::Done);
  std::vector<std::string> names;
  for (const auto& row : listing.rows) names.push_back(row.name + (row.is_folder ? "\\" : ""));
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "A\\", "A\\b.txt", "A\\A\\", "A\\A\\c.txt",
                                             "B\\", "Отчёт за 2026.doc"}));
}

TEST(Listing, EmptyArchiveAndFoldersOnly) {
  Bench b;
  RecordingUi ui;
  const auto empty = browse::list_level(b.write("e", FixtureArchive{}).at(0), "", ui);
  EXPECT_EQ(empty.outcome, Outcome::Done);
  EXPECT_TRUE(empty.rows.empty());
  FixtureArchive folders;
  folders.entries = {folder("\\x"), folder("\\x\\y"), folder("\\z")};
  const auto only = browse::list_level(b.write("f", folders).at(0), "", ui);
  EXPECT_EQ(only.rows, (std::vector<Row>{folder_row("x"), folder_row("z")}));
  EXPECT_TRUE(ui.messages.empty());
}

TEST(Listing, AnyTagOtherThanFileIsAFolder) {
  Bench b;
  FixtureArchive a;
  a.entries = {folder("\\g")};
  a.entries[0].tag = 'Q';
  RecordingUi ui;
  const auto listing = browse::list_level(b.write("a", a).at(0), "", ui);
  EXPECT_EQ(listing.rows, std::vector<Row>{folder_row("g")});
}

TEST(Listing, LaterVolumesFollowedWithoutTheirChecksumsAndWhatEndsTheWalk) {
  FixtureArchive a = tree_archive();
  a.limit = 1024;
  {
    Bench b;
    const auto paths = b.write("a", a);
    ASSERT_EQ(paths.size(), 3u);  // b.txt: 1024 | 487
    std::string bytes = read_file(b.native(paths[1]));
    bytes[3] ^= 0x10;  // data of b.txt: the listing never reads it
    write_file(b.native(paths[1]), bytes);
    RecordingUi ui;
    EXPECT_EQ(browse::list_level(paths[0], "\\A", ui).rows.size(), 2u);
    EXPECT_TRUE(ui.messages.empty());
  }
  {
    Bench b;
    const auto paths = b.write("a", a);
    std::filesystem::remove(b.native(paths[1]));
    RecordingUi ui;
    const auto listing = browse::list_level(paths[0], "", ui);
    EXPECT_EQ(listing.outcome, Outcome::EndProgram);
    EXPECT_EQ(ui.messages, std::vector<std::string>{msg::next_volume_missing(paths[1])});
    // The rows before the missing volume were handed on.
    EXPECT_EQ(listing.rows.size(), 2u);
  }
  {
    // The volume number is not compared, but the version text is: a later volume or a
    // self-extracting executable is not listed.
    Bench b;
    const auto paths = b.write("a", a);
    FixtureArchive exe = tree_archive();
    exe.stub = noise(700, 3);
    const auto exe_path = write_volumes(b.arch, {"s.exe"}, build_volumes(exe)).at(0);
    for (const auto& path : {paths[1], exe_path}) {
      RecordingUi ui;
      EXPECT_EQ(browse::list_level(path, "", ui).outcome, Outcome::EndProgram);
      EXPECT_EQ(ui.messages, std::vector<std::string>{std::string(msg::kWrongVersion)});
    }
  }
  {
    // Data declared longer than the archive.
    Bench b;
    FixtureArchive damaged;
    damaged.entries = {file("\\ok.txt", "ok"), file("\\x.txt", "x")};
    damaged.entries[1].stored_packed = 1'000'000'000;
    const auto first = b.write("d", damaged).at(0);
    RecordingUi ui;
    const auto listing = browse::list_level(first, "", ui);
    EXPECT_EQ(listing.outcome, Outcome::Failed);
    EXPECT_EQ(ui.messages,
              std::vector<std::string>{msg::damaged_entry(
                  "C:\\Work\\x.txt", "данные записи выходят за конец последнего тома")});
    EXPECT_EQ(listing.rows.size(), 2u);
  }
}

TEST(Listing, EveryWalkStartsFromVolume001) {
  Bench b;
  FixtureArchive a = tree_archive();
  a.limit = 0;
  const auto first = b.write("a", a).at(0);
  RecordingUi ui;
  const auto once = browse::list_level(first, "\\A", ui);
  const auto twice = browse::list_level(first, "\\A", ui);
  EXPECT_EQ(once.rows, twice.rows);
  EXPECT_EQ(once.rows.size(), 2u);
}

// The listing seeks over data: an entry of 5 GiB whose data are a hole in a sparse file is
// listed without reading them (a read would take minutes and fail the checksum-free walk on
// nothing, a seek takes no time).
TEST(Listing, DataAreSeekedOverNotRead) {
  Bench b;
  const std::uint64_t huge = 5ull << 30;
  FixtureArchive a;
  a.entries = {file("\\huge.bin", "")};
  const std::string head = format::header_bytes(a.source) +
                           format::file_record_head("C:\\Work\\huge.bin", 32, "08.12.2026 14:05") +
                           format::size_fields(huge, huge);
  FixtureArchive rest;
  rest.entries = {file("\\after.txt", "after")};
  std::string after_volume = build_volumes(rest).at(0);
  const std::string after = after_volume.substr(format::header_bytes(rest.source).size());
  const auto path = b.native(format::join_path(b.arch, "s.kzv"));
  write_file(path, head);
  std::filesystem::resize_file(path, head.size() + huge);
  {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(after.data(), static_cast<std::streamsize>(after.size()));
  }
  RecordingUi ui;
  const auto listing = browse::list_level(fs::from_native(path), "", ui);
  EXPECT_EQ(listing.outcome, Outcome::Done);
  EXPECT_EQ(listing.rows, (std::vector<Row>{file_row("huge.bin", "08.12.2026 14:05",
                                                     std::to_string(huge), std::to_string(huge)),
                                            file_row("after.txt", "08.12.2026 14:05", "5",
                                                     std::to_string(zlib_of("after").size()))}));
}
