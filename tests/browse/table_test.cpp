// The listing as a text table (`tarvik list`): the columns aligned over the whole table, and
// the same bytes whether the rows were all held or those past the held ones came from a second
// walk, on sound archives, damaged ones and archives changed between the two walks.
#include "browse/table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <random>

#include "../unpack/archive_fixture.h"
#include "format/messages.h"

using namespace tarvik;
using namespace tarvik::test;

namespace {

constexpr std::size_t kAllHeld = std::numeric_limits<std::size_t>::max();

struct Written {
  Outcome outcome = Outcome::Done;
  std::string text;
  std::vector<std::string> pieces;
  std::vector<std::string> messages;
};

// The table of `first` at `level` (none: the whole tree) holding at most `held` bytes of rows;
// `on_first_piece` runs when the first piece of text arrives.
Written table_of(const std::string& first, std::optional<std::string> level, std::size_t held,
                 const std::function<void()>& on_first_piece = {}) {
  browse::TableRequest request;
  request.first_volume = first;
  request.level = std::move(level);
  request.held_bytes = held;
  RecordingUi ui;
  Written w;
  w.outcome = browse::write_table(request, ui, [&](std::string_view piece) {
    if (w.pieces.empty() && on_first_piece) on_first_piece();
    w.pieces.emplace_back(piece);
    w.text += piece;
  });
  w.messages = ui.messages;
  return w;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

std::string first_lines(const std::string& text, std::size_t n) {
  std::string out;
  const auto lines = lines_of(text);
  for (std::size_t i = 0; i < n && i < lines.size(); ++i) out += lines[i] + "\n";
  return out;
}

const std::string kHeader =
    "Название           Тип    Создан            Полный, байтов  Сжат, байтов\n";

FixtureArchive small_archive() {
  FixtureArchive a;
  a.entries = {file("\\a.txt", noise(5, 4)),
               folder("\\A"),
               file("\\A\\b.txt", noise(1500, 1)),
               file(cp("\\Отчёт за 2026.doc"), noise(20, 2)),
               file("\\ctl\x1b[2J.txt", noise(3, 3)),
               folder("\\B")};
  a.entries[2].time = "01.01.2020";
  return a;
}

// `count` rows: folders with names of 1 to 120 characters (some Cyrillic) and, every seventh,
// a file; all at the top, or every third below the folder "\sub".
FixtureArchive many_rows(std::size_t count, unsigned seed) {
  std::mt19937 gen(seed);
  FixtureArchive a;
  a.entries.push_back(folder("\\sub"));
  for (std::size_t i = 0; i < count; ++i) {
    std::string name = std::to_string(i) + "_";
    const std::size_t length = gen() % 120;
    for (std::size_t k = 0; k < length; ++k) name += gen() % 5 == 0 ? cp("ж") : "n";
    const std::string path = (i % 3 == 0 ? "\\sub\\" : "\\") + name;
    a.entries.push_back(i % 7 == 0 ? file(path, noise(gen() % 40, seed)) : folder(path));
  }
  return a;
}

}  // namespace

TEST(Table, ColumnsAreAlignedOverTheWholeTable) {
  for (std::optional<std::uint64_t> limit : {std::optional<std::uint64_t>{}, std::optional<std::uint64_t>{0}}) {
    SCOPED_TRACE(limit ? "a volume per chunk" : "one volume");
    Bench b;
    FixtureArchive a = small_archive();
    a.limit = limit;
    const auto first = b.write("a", a).at(0);
    // Widths in code points of what is shown (the code of the escape counts four); sizes on the
    // right; a folder row ends after its type.
    const Written tree = table_of(first, std::nullopt, kAllHeld);
    EXPECT_EQ(tree.outcome, Outcome::Done);
    EXPECT_TRUE(tree.messages.empty());
    EXPECT_EQ(tree.text, kHeader +
                             "a.txt              Файл   08.12.2026 14:05               5            13\n"
                             "A                  Папка\n"
                             "A\\b.txt            Файл   01.01.2020                  1500          1511\n"
                             "Отчёт за 2026.doc  Файл   08.12.2026 14:05              20            29\n"
                             "ctl<1B>[2J.txt     Файл   08.12.2026 14:05               3            11\n"
                             "B                  Папка\n");
    EXPECT_EQ(table_of(first, "\\A", kAllHeld).text,
              "Название  Тип   Создан      Полный, байтов  Сжат, байтов\n"
              "b.txt     Файл  01.01.2020            1500          1511\n");
    // A level with no rows: the captions alone.
    EXPECT_EQ(table_of(first, "\\B", kAllHeld).text, "Название  Тип  Создан  Полный, байтов  Сжат, байтов\n");
  }
}

// Whatever is held, the table is the one of a single walk; when rows are left over, the held
// ones went out before the second walk began.
TEST(Table, RowsPastTheHeldOnesComeFromASecondWalkExactlyAsFromOne) {
  Bench b;
  const auto small = b.write("s", small_archive()).at(0);
  FixtureArchive big = many_rows(3000, 5);
  big.limit = 4096;  // the second walk goes through the later volumes too
  const auto many = b.write("m", big).at(0);
  struct Case {
    std::string archive;
    std::optional<std::string> level;
    std::vector<std::size_t> held;
  };
  const Case cases[] = {
      {small, std::nullopt, {0, 1, 30, 60, 100, 1000}},
      {small, "", {0, 30}},
      {small, "\\A", {0, 5}},
      {many, std::nullopt, {0, 1000, 256 << 10, 300'000, 400'000, browse::kHeldTableBytes}},
      {many, "", {0, 5000, 200'000}},
      {many, "\\sub", {0, 100'000}},
  };
  for (const auto& c : cases) {
    const Written one = table_of(c.archive, c.level, kAllHeld);
    ASSERT_EQ(one.outcome, Outcome::Done);
    const std::size_t rows = lines_of(one.text).size() - 1;
    ASSERT_GT(rows, 0u);
    for (const std::size_t held : c.held) {
      SCOPED_TRACE(c.archive + " at " + c.level.value_or("(tree)") + ", held " + std::to_string(held));
      const Written w = table_of(c.archive, c.level, held);
      EXPECT_EQ(w.outcome, Outcome::Done);
      EXPECT_TRUE(w.messages.empty());
      EXPECT_EQ(w.text, one.text);
      for (const auto& piece : w.pieces) EXPECT_TRUE(piece.ends_with('\n'));
      if (held == 0) {
        EXPECT_EQ(w.pieces.front(), first_lines(one.text, 1));
      }
    }
  }
  // Big tables go out in pieces of whole lines.
  EXPECT_GT(table_of(many, std::nullopt, 0).pieces.size(), 4u);
}

// A damaged archive: the rows before the damage, its message once, its outcome; nothing at all
// when no row came before it. The second walk stops where the first did, without a word.
TEST(Table, ADamagedArchiveGivesTheRowsBeforeTheDamageAndItsMessageOnce) {
  Bench b;
  // 30 rows, the 21st with data running past the end of the archive.
  FixtureArchive late = many_rows(30, 7);
  late.entries[21] = file("\\late.bin", "x");
  late.entries[21].stored_packed = 1'000'000'000;
  FixtureArchive early = late;
  early.entries[3] = file("\\early.bin", "x");
  early.entries[3].stored_packed = 1'000'000'000;
  early.entries.resize(4);
  // Folders on both sides of a file spread over three volumes, the third missing.
  FixtureArchive volumes;
  for (int i = 0; i < 20; ++i) volumes.entries.push_back(folder("\\before" + std::to_string(i)));
  volumes.entries.push_back(file("\\spread.bin", noise(3000, 9)));
  for (int i = 0; i < 20; ++i) volumes.entries.push_back(folder("\\after" + std::to_string(i)));
  volumes.limit = 1024;
  FixtureArchive at_once;
  at_once.entries = {file("\\a.txt", "a")};
  at_once.entries[0].raw = "F999";

  const auto late_path = b.write("late", late).at(0);
  const auto early_path = b.write("early", early).at(0);
  const auto spread = b.write("v", volumes);
  ASSERT_EQ(spread.size(), 3u);
  std::filesystem::remove(b.native(spread[2]));
  const auto at_once_path = b.write("none", at_once).at(0);

  struct Case {
    const char* name;
    std::string archive;
    Outcome outcome;
    std::size_t rows;           // before the walk ended
    std::string message;        // empty: any one message
    std::vector<std::size_t> held;
  };
  const std::string past_end = "данные записи выходят за конец последнего тома";
  const Case cases[] = {
      {"damage past the held rows", late_path, Outcome::Failed, 22,
       msg::damaged_entry("C:\\Work\\late.bin", past_end), {0, 200, 1000}},
      {"damage among the held rows", early_path, Outcome::Failed, 4,
       msg::damaged_entry("C:\\Work\\early.bin", past_end), {0, 10, 1000}},
      {"a later volume missing past the held rows", spread[0], Outcome::EndProgram, 21,
       msg::next_volume_missing(spread[2]), {0, 100}},
      {"no row before the damage", at_once_path, Outcome::Failed, 0, "", {0, 100}},
  };
  for (const auto& c : cases) {
    const Written one = table_of(c.archive, std::nullopt, kAllHeld);
    for (const std::size_t held : c.held) {
      SCOPED_TRACE(std::string(c.name) + ", held " + std::to_string(held));
      const Written w = table_of(c.archive, std::nullopt, held);
      EXPECT_EQ(w.outcome, c.outcome);
      ASSERT_EQ(w.messages.size(), 1u) << ::testing::PrintToString(w.messages);
      if (!c.message.empty()) {
        EXPECT_EQ(w.messages[0], c.message);
      }
      EXPECT_EQ(w.text, one.text);
      if (c.rows == 0) {
        EXPECT_EQ(w.text, "");
      } else {
        EXPECT_EQ(lines_of(w.text).size(), c.rows + 1);
      }
    }
  }
}

// An archive rewritten between the two walks is named as changed; the table stops where the
// rows no longer agree with the first walk, and no row is misaligned.
TEST(Table, AnArchiveChangedBetweenTheWalksIsNamedAndNotMisprinted) {
  const auto folders = [](int from, int to, std::string wide = "") {
    FixtureArchive a;
    for (int i = from; i < to; ++i) {
      const std::string name = "f" + std::to_string(100 + i);
      a.entries.push_back(folder("\\" + (i == 10 ? name + wide : name)));
    }
    return a;
  };
  struct Case {
    const char* name;
    FixtureArchive then;
    std::size_t rows;  // rows of the table
    bool changed;
  };
  const Case cases[] = {
      {"the same", folders(0, 20), 20, false},
      {"fewer rows", folders(0, 12), 12, true},
      {"a wider row past the held ones", folders(0, 20, " is longer now"), 10, true},
      {"more rows: those of the first walk are shown", folders(0, 25), 20, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bench b;
    const auto first = b.write("a", folders(0, 20)).at(0);
    const Written one = table_of(first, std::nullopt, kAllHeld);
    const Written w = table_of(first, std::nullopt, 5 * 8, [&] {
      write_file(b.native(first), build_volumes(c.then).at(0));
    });
    EXPECT_EQ(w.outcome, c.changed ? Outcome::Failed : Outcome::Done);
    EXPECT_EQ(w.messages, c.changed ? std::vector<std::string>{msg::listing_failed(
                                          first, msg::kArchiveChangedWhileListed)}
                                    : std::vector<std::string>{});
    EXPECT_EQ(w.text, first_lines(one.text, c.rows + 1));
  }
}
