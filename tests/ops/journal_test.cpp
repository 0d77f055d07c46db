// The rollback journal, the rollback and the operation runner around them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef _WIN32
#include <windows.h>
#endif

#include "format/messages.h"
#include "format/names.h"
#include "ops/journal.h"
#include "ops/runner.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "test_support.h"

using namespace std::string_literals;
using namespace tarvik;
using tarvik::test::RecordingUi;
using tarvik::test::ScopedEnv;
using tarvik::test::TempDir;

namespace {
void put(const std::string& win, const std::string& bytes) {
  test::write_file(*fs::to_native(win), bytes);
}
std::string get(const std::string& win) { return test::read_file(*fs::to_native(win)); }

std::vector<std::string> names_in(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::list_directory(folder)) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

// The bytes of a file that a running journal holds, read through a copy of its records.
std::string records_text(RollbackJournal& journal) {
  std::string text;
  for (const auto& r : journal.records()) text += std::string(1, r.tag) + r.path + "|" + r.aside + ";";
  return text;
}
}  // namespace

TEST(Journal, EntriesFollowOneAnotherWithoutHeaderOrTrailer) {
  TempDir dir;
  std::string path = dir.win("Tarvik_file.tmp");
  {
    RollbackJournal journal(path);
    journal.add_file("C:\\a.txt");
    journal.add_folder("C:\\ab\\");
    journal.add_file("C:\\Папка\\б.txt");
    EXPECT_EQ(records_text(journal), "FC:\\a.txt|;GC:\\ab\\|;FC:\\Папка\\б.txt|;");
    EXPECT_THROW(journal.add_file("C:\\日本"), Error);
    EXPECT_THROW(journal.add_file("C:\\notes "), Error);  // would be journalled as "notes"
    EXPECT_THROW(journal.add_file("C:\\a>b"), Error);
    // Withdrawing the record of an action that failed.
    auto mark = journal.mark();
    journal.add_file("C:\\later.txt");
    journal.retract(mark);
    EXPECT_EQ(journal.records().size(), 3u);
  }
  EXPECT_FALSE(fs::exists(path));  // the journal deletes itself
}

// Each operation holds a journal of its own, locked for its life; a file that merely has a
// journal's name is neither taken for one nor touched.
TEST(Journal, OneJournalPerOperationLockedForItsLife) {
  TempDir dir;
  put(dir.win("Tarvik_file.tmp"), "the user's own file of that name");
  auto first = RollbackJournal::create_in({dir.win()});
  auto second = RollbackJournal::create_in({dir.win()});
  EXPECT_EQ(first.path(), dir.win("Tarvik_file~1.tmp"));
  EXPECT_EQ(second.path(), dir.win("Tarvik_file~2.tmp"));
  for (const auto* journal : {&first, &second}) {
    EXPECT_TRUE(File::is_live_journal(journal->path()));
    EXPECT_FALSE(File::open_abandoned_journal(journal->path()));
  }
  EXPECT_FALSE(File::is_live_journal(dir.win("Tarvik_file.tmp")));
  EXPECT_FALSE(File::open_abandoned_journal(dir.win("Tarvik_file.tmp")));
  RecordingUi ui;
  recover_abandoned_journals({dir.win()}, ui);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(get(dir.win("Tarvik_file.tmp")), "the user's own file of that name");

  // An entry that is to be written where the journal lies: the journal moves out of its way.
  first.add_file(dir.win("x"));
  first.step_aside_from(dir.win("Tarvik_file~1.tmp"));
  EXPECT_EQ(first.path(), dir.win("Tarvik_file~3.tmp"));
  EXPECT_TRUE(File::is_live_journal(first.path()));
  EXPECT_FALSE(fs::exists(dir.win("Tarvik_file~1.tmp")));
  EXPECT_EQ(first.records().size(), 1u);
}

TEST(Journal, LivesInTheProgramFolderWhenItCanBeWrittenElseInTheUsersOwn) {
  TempDir dir;
  put(dir.win("file"), "x");
  const std::string unwritable = dir.win("file\\program");  // below a file: never a folder
  const std::string own = dir.win("state\\tarvik");
  auto journal = RollbackJournal::create_in({unwritable, own});
  EXPECT_EQ(journal.path(), own + "\\Tarvik_file.tmp");
  EXPECT_THROW(RollbackJournal::create_in({unwritable}), Error);
  try {
    RollbackJournal::create_in({unwritable});
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find(unwritable + "\\Tarvik_file.tmp"), std::string::npos);
  }
#ifndef _WIN32
  {
    ScopedEnv xdg("XDG_STATE_HOME", fs::to_native(dir.win("xdg"))->string());
    ScopedEnv tmpdir("TMPDIR", fs::to_native(dir.win("tmp"))->string());
    fs::create_directory(dir.win("tmp"));
    const std::string temp = dir.win("tmp\\tarvik-" + std::to_string(::getuid()));
    EXPECT_EQ(journal_folders(dir.win("bin")),
              (std::vector<std::string>{dir.win("bin"), dir.win("xdg\\tarvik"), temp}));
    // Neither the program's folder nor a home: the private temporary folder takes the journal.
    EXPECT_EQ(RollbackJournal::create_in({unwritable, temp}).path(), temp + "\\Tarvik_file.tmp");
  }
  ScopedEnv no_xdg("XDG_STATE_HOME", std::nullopt);
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  if (!home.empty()) {
    EXPECT_EQ(fs::per_user_folder(), fs::from_native(home + "/.local/state/tarvik"));
  }
#endif
}

#ifndef _WIN32
// The private folder in the temporary folder is the user's alone: made 0700, and refused when
// what has its name is a link, is open to others or belongs to another user.
TEST(Journal, ThePrivateTemporaryFolderIsTheUsersAlone) {
  TempDir dir;
  const auto tmp = dir.native() / "tmp";
  std::filesystem::create_directories(tmp);
  ScopedEnv tmpdir("TMPDIR", tmp.string());
  const auto folder = tmp / ("tarvik-" + std::to_string(::getuid()));
  EXPECT_EQ(fs::private_temp_folder(), fs::from_native(folder));
  struct stat st {};
  ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(fs::private_temp_folder(), fs::from_native(folder));  // found again

  ::chmod(folder.c_str(), 0755);
  EXPECT_EQ(fs::private_temp_folder(), std::nullopt);
  std::filesystem::remove(folder);
  std::filesystem::create_directories(tmp / "elsewhere");
  std::filesystem::create_directory_symlink(tmp / "elsewhere", folder);
  EXPECT_EQ(fs::private_temp_folder(), std::nullopt);
  std::filesystem::remove(folder);
  if (::geteuid() == 0) {
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
    EXPECT_EQ(fs::private_temp_folder(), std::nullopt);
  }
}
#endif

// Work files get names nothing has, are journalled, and are deleted only by their maker.
TEST(Journal, WorkFilesTakeFreeNamesAndAreJournalled) {
  TempDir dir;
  put(dir.win("a.tzp"), "the user's");
  RollbackJournal journal(dir.win("j.tmp"));
  {
    WorkFile temp(&journal, dir.win("a"), ".tzp");
    EXPECT_EQ(temp.path(), dir.win("a~1.tzp"));
    EXPECT_TRUE(journal.is_work_file(temp.path()));
    EXPECT_EQ(records_text(journal), "F" + dir.win("a~1.tzp") + "|;");
  }
  EXPECT_FALSE(fs::exists(dir.win("a~1.tzp")));
  EXPECT_EQ(get(dir.win("a.tzp")), "the user's");
  std::string copy = move_aside(journal, dir.win("a.tzp"));
  EXPECT_EQ(copy, dir.win("a.tzp.tzb"));
  EXPECT_TRUE(journal.is_work_file(copy));
  EXPECT_EQ(journal.records().back().aside, copy);
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
  journal.add_folder(out + "\\a\\");
  fs::create_directory(out + "\\a");
  journal.add_file(out + "\\a\\b.txt");
  put(out + "\\a\\b.txt", "new b");
  std::string aside = move_aside(journal, out + "\\c.txt");
  EXPECT_FALSE(fs::exists(out + "\\c.txt"));
  journal.add_file(out + "\\c.txt");
  put(out + "\\c.txt", "archive's c.txt");
  fs::set_attributes(out + "\\c.txt", fs::kReadOnly | fs::kArchive);
  // A folder the run created but where the user put something meanwhile stays.
  journal.add_folder(out + "\\d\\");
  fs::create_directory(out + "\\d");
  put(out + "\\d\\user.txt", "user");
  // Named but never made (the process died before): nothing to do.
  journal.add_file(out + "\\never.txt");

  RecordingUi ui;
  EXPECT_TRUE(Otkat(journal, ui).empty());
  EXPECT_EQ(ui.captions, std::vector<std::string>{std::string(msg::kRollbackCaption)});
  EXPECT_FALSE(fs::exists(out + "\\a"));
  EXPECT_EQ(get(out + "\\c.txt"), "the user's own c.txt");
  EXPECT_FALSE(fs::exists(aside));
  EXPECT_EQ(get(out + "\\keep.txt"), "untouched");
  EXPECT_TRUE(fs::is_file(out + "\\d\\user.txt"));
}

TEST(Runner, JournalLivesForOneOperationAndAbortRollsBack) {
  TempDir dir;
  std::string created = dir.win("created.bin");
  std::string replaced = dir.win("replaced.txt");
  put(replaced, "old");
  for (bool abort : {false, true}) {
    SCOPED_TRACE(abort);
    RecordingUi ui;
    std::string journal_path;
    Outcome outcome = run_operation(
        {OperationCode::UnpackFromWindow, dir.win(), "x.kzv"}, ui, [&](Operation& op) {
          journal_path = op.journal->path();
          EXPECT_EQ(journal_path, dir.win("Tarvik_file.tmp"));
          EXPECT_TRUE(op.journal->records().empty());  // created empty
          move_aside(*op.journal, replaced);
          op.journal->add_file(replaced);
          put(replaced, "new");
          op.journal->add_file(created);
          put(created, "x");
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

// Two operations at once, the second started while the first runs: each has its own journal,
// and the rollback of one touches only its own files.
TEST(Runner, OperationsAtOnceEachUndoOnlyTheirOwnFiles) {
  TempDir dir;
  put(dir.win("shared.txt"), "the user's");
  RecordingUi first_ui, second_ui;
  Outcome second = Outcome::Done;
  Outcome first = run_operation(
      {OperationCode::UnpackFromWindow, dir.win(), ""}, first_ui, [&](Operation& op) {
        op.journal->add_file(dir.win("first.txt"));
        put(dir.win("first.txt"), "1");
        second = run_operation(
            {OperationCode::UnpackFromWindow, dir.win(), ""}, second_ui, [&](Operation& inner) {
              EXPECT_NE(inner.journal->path(), op.journal->path());
              move_aside(*inner.journal, dir.win("shared.txt"));
              inner.journal->add_file(dir.win("shared.txt"));
              put(dir.win("shared.txt"), "second's");
              inner.journal->add_file(dir.win("second.txt"));
              put(dir.win("second.txt"), "2");
              inner.abort = true;  // Ctrl-C in the second
              return Outcome::Done;
            });
        op.journal->add_file(dir.win("first2.txt"));
        put(dir.win("first2.txt"), "1");
        return Outcome::Done;
      });
  EXPECT_EQ(second, Outcome::Aborted);
  EXPECT_EQ(first, Outcome::Done);
  EXPECT_EQ(names_in(dir.win()), (std::vector<std::string>{"first.txt", "first2.txt", "shared.txt"}));
  EXPECT_EQ(get(dir.win("shared.txt")), "the user's");
  EXPECT_TRUE(first_ui.messages.empty());
  EXPECT_TRUE(second_ui.messages.empty());
}

TEST(Runner, AJournalForEveryOperationAndAClearMessageWhenItCannotBeMade) {
  TempDir dir;
  RecordingUi ui;
  run_operation({OperationCode::ExtractChosen, dir.win(), ""}, ui, [&](Operation& op) {
    EXPECT_NE(op.journal, nullptr);
    return Outcome::Done;
  });
  EXPECT_TRUE(fs::list_directory(dir.win()).empty());

  RecordingUi failing;
  bool ran = false;
  put(dir.win("file"), "x");
  std::string nowhere = dir.win("file\\program");
  Outcome outcome;
  {
    // No home, and a temporary folder below a file.
    const std::string no_temp = fs::to_native(dir.win("file\\tmp"))->string();
    ScopedEnv no_local("LOCALAPPDATA", std::nullopt), no_xdg("XDG_STATE_HOME", std::nullopt),
        no_home("HOME", std::nullopt), tmpdir("TMPDIR", no_temp), tmp("TMP", no_temp),
        temp("TEMP", no_temp);
    outcome = run_operation({OperationCode::PackFromWindow, nowhere, ""}, failing,
                            [&](Operation&) {
                              ran = true;
                              return Outcome::Done;
                            });
  }
  EXPECT_FALSE(ran);
  EXPECT_EQ(outcome, Outcome::Failed);
  ASSERT_EQ(failing.messages.size(), 1u);
  EXPECT_NE(failing.messages[0].find(nowhere + "\\Tarvik_file.tmp"), std::string::npos);
}

// A file moved aside whose replacement never arrived is not lost when the run ends without a
// rollback; a copy that cannot be put back is named and the run fails.
TEST(Runner, ReplacedFilesComeBackOrAreNamed) {
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

  RecordingUi blocked;
  std::string copy;
  Outcome outcome = run_operation(
      {OperationCode::UnpackFromWindow, dir.win(), ""}, blocked, [&](Operation& op) {
        copy = move_aside(*op.journal, target);
        op.journal->add_folder(target + "\\");
        fs::create_directory(target);  // an entry made a folder there
        put(target + "\\inside.txt", "not ours");
        op.abort = true;
        return Outcome::Done;
      });
  EXPECT_EQ(outcome, Outcome::Failed);
  ASSERT_EQ(blocked.messages.size(), 1u);
  EXPECT_EQ(blocked.messages[0], msg::cannot_put_back(target, copy));
  EXPECT_EQ(get(copy), "the only copy");
  // The rollback could not finish: its journal stays for the next start, which puts the copy
  // back once the way is clear.
  EXPECT_TRUE(fs::exists(dir.win("Tarvik_file.tmp")));
  fs::remove_file(target + "\\inside.txt");
  fs::remove_directory(target);
  RecordingUi next;
  recover_at_start(dir.win(), next);
  EXPECT_EQ(next.messages,
            std::vector<std::string>{msg::recovered_journal(dir.win("Tarvik_file.tmp"))});
  EXPECT_EQ(get(target), "the only copy");
  EXPECT_EQ(fs::list_directory(dir.win()).size(), 1u);
}

// Whatever an operation throws is shown, and what it did is rolled back.
TEST(Runner, AnythingThrownIsShownAndRolledBack) {
  TempDir dir;
  RecordingUi ui;
  Outcome outcome = run_operation(
      {OperationCode::PackRequest, dir.win(), ""}, ui, [&](Operation& op) -> Outcome {
        op.journal->add_file(dir.win("made.kzv"));
        put(dir.win("made.kzv"), "half");
        throw std::runtime_error("сбой");
      });
  EXPECT_EQ(outcome, Outcome::Failed);
  EXPECT_EQ(ui.messages, (std::vector<std::string>{msg::failed_run_undone("сбой")}));
  EXPECT_TRUE(fs::list_directory(dir.win()).empty());
}
