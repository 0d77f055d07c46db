// The browser without its window: opening an archive (password, top level), going down and
// up, "Возврат", every listing from volume 001, and what the user is told when an archive
// cannot be shown; and the extraction of chosen rows under the dialog (code "5").
#include "browse/browser.h"

#include <gtest/gtest.h>

#include "../unpack/archive_fixture.h"
#include "format/messages.h"
#include "requests/operations.h"

using namespace tarvik;
using namespace tarvik::test;
using browse::Browser;

namespace {

FixtureArchive tree_archive() {
  FixtureArchive a;
  a.entries = {
      file("\\a.txt", "top a"),
      file("\\a.txt.bak", "top a backup"),
      folder("\\A"),
      file("\\A\\b.txt", noise(3000, 1)),
      folder("\\A\\A"),
      file("\\A\\A\\c.txt", noise(2500, 2)),
      file("\\A\\A\\c.txt.bak", "c backup"),
      folder("\\A\\A\\D"),
      file("\\A\\A\\D\\d.txt", "deep d"),
      folder("\\B"),
  };
  return a;
}

std::vector<std::string> names(const Browser& browser) {
  std::vector<std::string> n;
  for (const auto& row : browser.rows()) n.push_back(row.name + (row.is_folder ? "\\" : ""));
  return n;
}

std::optional<std::size_t> row_named(const Browser& browser, const std::string& name) {
  for (std::size_t i = 0; i < browser.rows().size(); ++i)
    if (browser.rows()[i].name == name) return i;
  return std::nullopt;
}

using Names = std::vector<std::string>;

}  // namespace

TEST(Browser, DownUpAndReturn) {
  for (const std::optional<std::uint64_t> limit : {std::optional<std::uint64_t>{}, std::optional<std::uint64_t>{1024}}) {
    SCOPED_TRACE(limit ? "many volumes" : "one volume");
    Bench b;
    FixtureArchive a = tree_archive();
    a.limit = limit;
    const auto paths = b.write("a", a);
    ASSERT_EQ(paths.size() > 2, limit.has_value());
    RecordingUi ui;
    Browser browser;
    ASSERT_EQ(browser.open(paths[0], ui), Outcome::Done);
    EXPECT_EQ(browser.archive_name(), limit ? "a.001.kzv" : "a.kzv");
    EXPECT_EQ(browser.level(), "");
    EXPECT_EQ(names(browser), (Names{"a.txt", "a.txt.bak", "A\\", "B\\"}));

    // Down into A, then A\A: each walk starts again at volume 001, wherever the last one ended.
    ASSERT_EQ(browser.down(row_named(browser, "A"), ui), Outcome::Done);
    EXPECT_EQ(browser.level(), "\\A");
    EXPECT_EQ(names(browser), (Names{"b.txt", "A\\"}));
    ASSERT_EQ(browser.down(row_named(browser, "A"), ui), Outcome::Done);
    EXPECT_EQ(browser.level(), "\\A\\A");
    EXPECT_EQ(names(browser), (Names{"c.txt", "c.txt.bak", "D\\"}));
    // A folder row after file rows: "Папка" and empty columns.
    const browse::Row& d = browser.rows()[2];
    EXPECT_EQ(d.type(), "Папка");
    EXPECT_EQ(d.date + d.full_size + d.packed_size, "");
    EXPECT_EQ(browser.rows()[0].full_size, "2500");
    EXPECT_EQ(browser.rows()[0].packed_size, std::to_string(2500 + 11));

    // A file row, or no row, lists the same level again.
    for (const auto chosen : {row_named(browser, "c.txt"), std::optional<std::size_t>{}}) {
      ASSERT_EQ(browser.down(chosen, ui), Outcome::Done);
      EXPECT_EQ(browser.level(), "\\A\\A");
      EXPECT_EQ(names(browser), (Names{"c.txt", "c.txt.bak", "D\\"}));
    }
    // "назад" at \A\A goes to \A, then to the top, where it does nothing.
    ASSERT_EQ(browser.up(ui), Outcome::Done);
    EXPECT_EQ(browser.level(), "\\A");
    EXPECT_EQ(names(browser), (Names{"b.txt", "A\\"}));
    ASSERT_EQ(browser.up(ui), Outcome::Done);
    EXPECT_EQ(browser.level(), "");
    EXPECT_EQ(browser.rows().size(), 4u);
    EXPECT_EQ(browser.up(ui), Outcome::Done);
    EXPECT_EQ(browser.level(), "");
    EXPECT_EQ(browser.rows().size(), 4u);

    ASSERT_EQ(browser.down(row_named(browser, "B"), ui), Outcome::Done);
    EXPECT_TRUE(browser.rows().empty());
    browser.close();
    EXPECT_EQ(browser.level(), "");
    EXPECT_TRUE(browser.rows().empty());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(b.out_tree(), (test::Tree{}));
  }
}

TEST(Browser, ChosenEntriesOfSelectedRows) {
  Bench b;
  RecordingUi ui;
  Browser browser;
  ASSERT_EQ(browser.open(b.write("a", tree_archive()).at(0), ui), Outcome::Done);
  EXPECT_EQ(browser.chosen_entries({0, 2, 3, 99}), (Names{"a.txt", "A\\", "B\\"}));
  EXPECT_TRUE(browser.chosen_entries({}).empty());
}

// Each way an archive cannot be shown: the message the user sees and what the browser holds.
TEST(Browser, ArchivesThatCannotBeShown) {
  struct Case {
    const char* what;
    std::function<std::string(Bench&)> make;  // gives volume 001's path
    std::optional<std::string> answer;
    Outcome outcome;
    std::function<std::string(const Bench&, const std::string&)> message;
    std::size_t rows;
  };
  const Case cases[] = {
      {"wrong password",
       [](Bench& b) {
         FixtureArchive a = tree_archive();
         a.password = "secret";
         return b.write("p", a).at(0);
       },
       "Secret", Outcome::EndProgram,
       [](const Bench&, const std::string&) { return std::string(msg::kWrongPassword); }, 0},
      {"password box cancelled",
       [](Bench& b) {
         FixtureArchive a = tree_archive();
         a.password = "secret";
         return b.write("p", a).at(0);
       },
       std::nullopt, Outcome::EndProgram,
       [](const Bench&, const std::string&) { return std::string(msg::kWrongPassword); }, 0},
      {"missing file",
       [](Bench& b) { return format::join_path(b.arch, "нет.kzv"); }, std::nullopt, Outcome::Failed,
       [](const Bench&, const std::string& first) {
         return "Не удалось показать содержимое архива " + first + ":\nНе удалось прочитать файл " + first + ": ";
       },
       0},
      {"missing later volume",
       [](Bench& b) {
         FixtureArchive a = tree_archive();
         a.limit = 1024;
         const auto paths = b.write("m", a);
         std::filesystem::remove(b.native(paths.at(2)));
         return paths[0];
       },
       std::nullopt, Outcome::EndProgram,
       [](const Bench& b, const std::string&) {
         return msg::next_volume_missing(format::join_path(b.arch, "m.003.kzv"));
       },
       3},
      {"damaged record",
       [](Bench& b) {
         FixtureArchive a = tree_archive();
         a.entries[3].stored_packed = 1'000'000'000;
         return b.write("d", a).at(0);
       },
       std::nullopt, Outcome::Failed,
       [](const Bench&, const std::string& first) {
         return msg::listing_failed(first, msg::damaged_entry("C:\\Work\\A\\b.txt",
                                                              "данные записи выходят за конец последнего тома"));
       },
       3},
      {"not an archive",
       [](Bench& b) {
         const std::string path = format::join_path(b.arch, "x.kzv");
         write_file(b.native(path), std::string(200, 'x') + "K*)" + std::string(41, ' '));
         return path;
       },
       std::nullopt, Outcome::EndProgram,
       [](const Bench&, const std::string&) { return std::string(msg::kWrongVersion); }, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bench b;
    const std::string first = c.make(b);
    RecordingUi ui;
    ui.answers.push_back(c.answer);
    Browser browser;
    EXPECT_EQ(browser.open(first, ui), c.outcome);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].starts_with(c.message(b, first))) << ui.messages[0];
    EXPECT_EQ(browser.rows().size(), c.rows);
    EXPECT_EQ(b.out_tree(), (test::Tree{}));
  }
}

TEST(Browser, EmptyArchiveShowsNoRows) {
  Bench b;
  RecordingUi ui;
  Browser browser;
  EXPECT_EQ(browser.open(b.write("e", FixtureArchive{}).at(0), ui), Outcome::Done);
  EXPECT_TRUE(browser.rows().empty());
  EXPECT_EQ(browser.down(std::nullopt, ui), Outcome::Done);
  EXPECT_EQ(browser.down(0, ui), Outcome::Done);
  EXPECT_EQ(browser.level(), "");
  EXPECT_TRUE(ui.messages.empty());
}

// ---- "Извлечь" ----

TEST(ExtractChosen, EachRowWithItsOwnChecksAndRun) {
  Bench b;
  FixtureArchive a = tree_archive();
  a.password = "secret";
  a.limit = 1024;
  const std::string first = b.write("a", a).at(0);
  RecordingUi ui;
  for (int i = 0; i < 3; ++i) ui.answers.push_back("secret");
  requests::DirectDialog dialog(ui);
  // At \A: the folder row A (everything below it) and the file row b.txt; at the top the file
  // row a.txt, which does not take a.txt.bak.
  requests::ChosenJob job{first, b.out, "\\A", {"A\\", "b.txt"}, b.program};
  EXPECT_EQ(requests::extract_chosen(job, dialog, ui), Outcome::Done);
  job = {first, b.out, "", {"a.txt"}, b.program};
  EXPECT_EQ(requests::extract_chosen(job, dialog, ui), Outcome::Done);
  EXPECT_EQ(b.out_tree(), (test::Tree{
                              {"A", "<dir>"},
                              {"A/c.txt", noise(2500, 2)},
                              {"A/c.txt.bak", "c backup"},
                              {"A/D", "<dir>"},
                              {"A/D/d.txt", "deep d"},
                              {"b.txt", noise(3000, 1)},
                              {"a.txt", "top a"},
                          }));
  // The password once per row; "Извлечение выполнено!" after each click.
  EXPECT_EQ(ui.questions, Names(3, std::string(msg::kPasswordQuestion)));
  EXPECT_EQ(ui.messages, Names(2, std::string(msg::kExtractionDone)));
  ASSERT_FALSE(ui.captions.empty());
  EXPECT_EQ(ui.captions.front(), "Распаковка: a.001.kzv");
  EXPECT_EQ(b.whole_tree().count("program/Tarvik_file.tmp"), 0u);
}

TEST(ExtractChosen, WhatStopsIt) {
  struct Case {
    const char* what;
    std::function<void(Bench&, const std::vector<std::string>&)> damage;
    std::vector<std::optional<std::string>> answers;
    Names chosen;
    Outcome outcome;
    std::function<Names(const Bench&)> messages;
    test::Tree written;
  };
  const Case cases[] = {
      {"nothing chosen", [](Bench&, const std::vector<std::string>&) {}, {}, {}, Outcome::Failed,
       [](const Bench&) { return Names{std::string(msg::kNoArchiveChosen)}; }, {}},
      {"wrong password at the second row", [](Bench&, const std::vector<std::string>&) {},
       {"secret", "wrong"}, {"a.txt", "a.txt.bak"}, Outcome::EndProgram,
       [](const Bench&) { return Names{std::string(msg::kWrongPassword)}; },
       {{"a.txt", "top a"}}},
      {"checksum of volume 001",
       [](Bench& b, const std::vector<std::string>& paths) {
         std::string bytes = read_file(b.native(paths[0]));
         bytes[40] ^= 1;
         write_file(b.native(paths[0]), bytes);
       },
       {"secret"}, {"a.txt"}, Outcome::EndProgram,
       [](const Bench&) { return Names{std::string(msg::kChecksumError)}; }, {}},
      {"missing later volume",
       [](Bench& b, const std::vector<std::string>& paths) { std::filesystem::remove(b.native(paths.at(3))); },
       {"secret"}, {"a.txt", "A\\"}, Outcome::EndProgram,
       [](const Bench& b) {
         return Names{msg::failed_run_undone(
             msg::next_volume_missing(format::join_path(b.arch, "a.004.kzv")))};
       },
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bench b;
    FixtureArchive a = tree_archive();
    a.password = "secret";
    a.limit = 1024;
    const auto paths = b.write("a", a);
    c.damage(b, paths);
    RecordingUi ui;
    for (const auto& answer : c.answers) ui.answers.push_back(answer);
    requests::DirectDialog dialog(ui);
    requests::ChosenJob job{paths[0], b.out, "", c.chosen, b.program};
    EXPECT_EQ(requests::extract_chosen(job, dialog, ui), c.outcome);
    EXPECT_EQ(ui.messages, c.messages(b));
    // A run cut short by a missing volume is rolled back whole; no work file is left.
    EXPECT_EQ(b.out_tree(), c.written);
  }
}
