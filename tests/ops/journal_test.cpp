// The rollback journal, the rollback and the operation runner around them.
#include <gtest/gtest.h>

#include "format/messages.h"
#include "ops/journal.h"
#include "ops/runner.h"
#include "platform/fs.h"
#include "test_support.h"

using namespace std::string_literals;
using namespace tarvik;
using tarvik::test::RecordingUi;
using tarvik::test::TempDir;

namespace {
void put(const std::string& win, const std::string& bytes) {
  test::write_file(*fs::to_native(win), bytes);
}
std::string get(const std::string& win) { return test::read_file(*fs::to_native(win)); }
}  // namespace

TEST(Journal, EntriesFollowOneAnotherWithoutHeaderOrTrailer) {
  TempDir dir;
  std::string path = dir.win("Tarvik_file.tmp");
  RollbackJournal journal(path);
  journal.add_file("C:\\a.txt");
  journal.add_folder("C:\\ab\\");
  journal.add_file("C:\\Папка\\б.txt");
  EXPECT_EQ(get(path), "F<C:\\a.txt>11\0"s + "G<C:\\ab\\>9\0 "s +
                           "F<C:\\\xcf\xe0\xef\xea\xe0\\\xe1.txt>17\0"s);
  auto entries = journal.read_backwards();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].path, "C:\\Папка\\б.txt");
  EXPECT_EQ(entries[2].path, "C:\\a.txt");
  EXPECT_THROW(journal.add_file("C:\\日本"), std::invalid_argument);
}

TEST(Journal, DamagedEndStopsTheReadingWithoutHarm) {
  TempDir dir;
  std::string path = dir.win("j.tmp");
  std::string good = "F<C:\\a.txt>11\0"s;
  for (std::string tail : {"xyz"s, "999"s, "F<C:\\b>"s, "1\0 "s, ""s}) {
    put(path, good + tail);
    auto entries = read_journal_backwards(path);
    EXPECT_EQ(entries.size(), tail.empty() ? 1u : 0u) << tail;
  }
  {
    RollbackJournal journal(path);
    journal.add_file("C:\\a.txt");
  }
  EXPECT_FALSE(fs::exists(path));  // the journal deletes itself
}

// Newest first: files are deleted before the folders they were written into; a folder that
// holds anything else stays; a replaced file comes back.
TEST(Rollback, UndoesNewestFirstAndPutsReplacedFilesBack) {
  TempDir dir;
  std::string out = dir.win("Out");
  fs::create_directory(out);
  put(out + "\\c.txt", "the user's own c.txt");
  put(out + "\\keep.txt", "untouched");
  RollbackJournal journal(dir.win("Tarvik_file.tmp"));
  // What an extraction into Out does: create Out\a, write a\b.txt, replace c.txt.
  fs::create_directory(out + "\\a");
  journal.add_folder(out + "\\a\\");
  put(out + "\\a\\b.txt", "new b");
  journal.add_file(out + "\\a\\b.txt");
  std::string aside = move_aside(journal, out + "\\c.txt");
  EXPECT_FALSE(fs::exists(out + "\\c.txt"));
  put(out + "\\c.txt", "archive's c.txt");
  fs::set_attributes(out + "\\c.txt", fs::kReadOnly | fs::kArchive);
  journal.add_file(out + "\\c.txt");
  // A folder the run created but where the user put something meanwhile stays.
  fs::create_directory(out + "\\d");
  journal.add_folder(out + "\\d\\");
  put(out + "\\d\\user.txt", "user");

  RecordingUi ui;
  Otkat(journal, ui);
  EXPECT_EQ(ui.captions, std::vector<std::string>{std::string(msg::kRollbackCaption)});
  EXPECT_FALSE(fs::exists(out + "\\a"));
  EXPECT_EQ(get(out + "\\c.txt"), "the user's own c.txt");
  EXPECT_FALSE(fs::exists(aside));
  EXPECT_EQ(get(out + "\\keep.txt"), "untouched");
  EXPECT_TRUE(fs::is_file(out + "\\d\\user.txt"));
}

TEST(Runner, JournalLivesForOneOperationAndAbortRollsBack) {
  TempDir dir;
  std::string journal_path = dir.win("Tarvik_file.tmp");
  put(journal_path, "an older journal");
  std::string created = dir.win("created.bin");
  std::string replaced = dir.win("replaced.txt");
  put(replaced, "old");
  for (bool abort : {false, true}) {
    SCOPED_TRACE(abort);
    RecordingUi ui;
    Outcome outcome = run_operation(
        {OperationCode::UnpackFromWindow, dir.win(), "x.kzv"}, ui, [&](Operation& op) {
          EXPECT_TRUE(fs::exists(journal_path));
          EXPECT_EQ(op.journal->read_backwards().size(), 0u);  // created empty
          move_aside(*op.journal, replaced);
          put(replaced, "new");
          op.journal->add_file(replaced);
          put(created, "x");
          op.journal->add_file(created);
          op.abort = abort;
          return Outcome::Done;
        });
    EXPECT_EQ(outcome, abort ? Outcome::Aborted : Outcome::Done);
    EXPECT_EQ(ui.captions.front(), "Распаковка: x.kzv");
    EXPECT_FALSE(fs::exists(journal_path));
    EXPECT_EQ(fs::exists(created), !abort);
    EXPECT_EQ(get(replaced), abort ? "old" : "new");
    // No copy of the replaced file stays either way.
    EXPECT_EQ(fs::list_directory(dir.win()).size(), abort ? 1u : 2u);
    put(replaced, "old");
  }
}

TEST(Runner, NoJournalForTheBrowsersExtractionAndAClearMessageWhenItCannotBeMade) {
  TempDir dir;
  RecordingUi ui;
  run_operation({OperationCode::ExtractChosen, dir.win(), ""}, ui, [&](Operation& op) {
    EXPECT_EQ(op.journal, nullptr);
    return Outcome::Done;
  });
  EXPECT_TRUE(fs::list_directory(dir.win()).empty());

  RecordingUi failing;
  bool ran = false;
  std::string missing = dir.win("no such folder");
  Outcome outcome = run_operation({OperationCode::PackFromWindow, missing, ""}, failing,
                                  [&](Operation&) {
                                    ran = true;
                                    return Outcome::Done;
                                  });
  EXPECT_FALSE(ran);
  EXPECT_EQ(outcome, Outcome::Failed);
  ASSERT_EQ(failing.messages.size(), 1u);
  EXPECT_NE(failing.messages[0].find(missing + "\\Tarvik_file.tmp"), std::string::npos);
}

// A file moved aside whose replacement never arrived is not lost when the run ends without a
// rollback.
TEST(Runner, AReplacedFileWithoutReplacementComesBack) {
  TempDir dir;
  std::string target = dir.win("report.txt");
  put(target, "the only copy");
  RecordingUi ui;
  run_operation({OperationCode::UnpackFromWindow, dir.win(), ""}, ui, [&](Operation& op) {
    move_aside(*op.journal, target);
    return Outcome::Failed;  // e.g. the rename of the new file failed
  });
  EXPECT_EQ(get(target), "the only copy");
  EXPECT_EQ(fs::list_directory(dir.win()).size(), 1u);
}
