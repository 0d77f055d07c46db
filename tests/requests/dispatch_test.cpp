// The start-up dispatch over real files, with a main window that keeps its state in memory and
// a recording Ui: each request form end to end, the failures that end the program, and the
// self-extracting start.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "../pack/archive_reader.h"
#include "../unpack/archive_fixture.h"
#include "format/messages.h"
#include "ops/journal.h"
#include "platform/fs.h"
#include "requests/dispatch.h"
#include "test_support.h"

using namespace tarvik;
using namespace tarvik::requests;
using tarvik::test::RecordingUi;
using tarvik::test::snapshot;
using tarvik::test::TempDir;

namespace {

// The main window's state without a window: the file list is the folder sorted by name.
class FakeWindow final : public MainWindow {
 public:
  bool shown = false;
  std::string folder;
  std::vector<std::string> names;
  std::vector<std::size_t> selected;
  std::string archive_name = "arhiv";
  PackOptions options;
  std::vector<std::string> browsed;

  void show() override { shown = true; }
  void open_folder(const std::string& f) override {
    names.clear();
    selected.clear();
    for (const auto& e : fs::list_directory(f)) names.push_back(e.name);
    std::sort(names.begin(), names.end());
    folder = f;
  }
  std::vector<std::string> entry_names() override { return names; }
  void select(std::size_t index) override { selected.push_back(index); }
  void set_archive_name(const std::string& name) override { archive_name = name; }
  Selection selection() override {
    Selection s{folder, {}};
    for (auto i : selected) s.items.push_back(names.at(i));
    return s;
  }
  PackOptions pack_options() override {
    PackOptions o = options;
    o.archive_name = archive_name;
    return o;
  }
  void browse(const std::string& archive) override { browsed.push_back(archive); }
  std::vector<std::string> selected_names() const {
    std::vector<std::string> out;
    for (auto i : selected) out.push_back(names.at(i));
    return out;
  }
};

// A folder "d" with two files and a subfolder, and a program folder for the journal.
struct Desk {
  TempDir dir;
  std::string d = dir.win("d");
  std::string program = dir.win("program");
  FakeWindow window;
  RecordingUi ui;
  DirectDialog dialog{ui};
  int registered = 0;

  Desk() {
    test::write_file(dir.native() / "d" / "a.txt", "первый файл");
    test::write_file(dir.native() / "d" / "b.txt", test::noise(70000));
    test::write_file(dir.native() / "d" / "sub" / "c.txt", "третий");
    fs::create_directory(program);
  }
  StartResult start(const std::vector<std::string>& args, std::string own = "") {
    StartUp s{own.empty() ? program + "\\Tarvik.exe" : own, program, window, dialog, ui,
              [this] { ++registered; }};
    return requests::start(args, s);
  }
  std::string in_d(const std::string& name) const { return format::join_path(d, name); }
  test::Tree tree() const { return snapshot(dir.native() / "d"); }
  bool journal_left() const { return fs::exists(program + "\\Tarvik_file.tmp"); }
};

// Packs a.txt, b.txt and sub of `desk` into `name`.kzv through a pack request.
std::string pack_all(Desk& desk, const std::string& first = "a.txt") {
  auto r = desk.start({desk.in_d(first) + "*" + desk.in_d("b.txt") + "*" + desk.in_d("sub") + "*<"});
  EXPECT_EQ(r.outcome, Outcome::Done);
  return desk.in_d(requests::name_without_extension(first) + ".kzv");
}

}  // namespace

TEST(Dispatch, PackRequestWritesAnArchiveTheReaderAccepts) {
  Desk desk;
  auto r = desk.start({desk.in_d("a.txt") + "*" + desk.in_d("b.txt") + "*<"});
  EXPECT_EQ(r.form, Form::Pack);
  EXPECT_FALSE(r.keep_running);
  EXPECT_FALSE(desk.window.shown);
  EXPECT_EQ(r.outcome, Outcome::Done);
  EXPECT_EQ(desk.registered, 1);
  EXPECT_EQ(desk.window.archive_name, "a");
  EXPECT_EQ(desk.window.selected_names(), (std::vector<std::string>{"a.txt", "b.txt"}));
  // The caption right after start names no archive.
  EXPECT_EQ(desk.ui.captions.at(0), "Упаковка: ");
  EXPECT_TRUE(desk.ui.messages.empty());
  auto archive = test::read_archive(desk.in_d("a.kzv"));
  ASSERT_EQ(archive.records.size(), 2u);
  EXPECT_TRUE(archive.records[0].path.ends_with("\\d\\a.txt")) << archive.records[0].path;
  EXPECT_TRUE(archive.records[1].path.ends_with("\\d\\b.txt")) << archive.records[1].path;
  EXPECT_FALSE(desk.journal_left());
}

TEST(Dispatch, UnpackRequests) {
  struct Case {
    const char* what;
    const char* marker;
    const char* into;  // below d
    Form form;
  };
  const Case cases[] = {
      {"unpack to folder", "<", "a", Form::UnpackToFolder},
      {"unpack here", ">", "", Form::UnpackHere},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Desk desk;
    const std::string archive = pack_all(desk);
    const auto before = desk.tree();
    // Remove the originals for unpack here, so what comes back is the archive's doing.
    if (std::string(c.into).empty()) {
      std::filesystem::remove_all(desk.dir.native() / "d" / "sub");
      std::filesystem::remove(desk.dir.native() / "d" / "a.txt");
      std::filesystem::remove(desk.dir.native() / "d" / "b.txt");
    }
    desk.ui = RecordingUi{};
    auto r = desk.start({archive + "*" + c.marker});
    EXPECT_EQ(r.form, c.form);
    EXPECT_EQ(r.outcome, Outcome::Done);
    EXPECT_FALSE(desk.window.shown);
    EXPECT_TRUE(desk.ui.messages.empty()) << desk.ui.messages.at(0);
    EXPECT_EQ(desk.window.selected_names(), std::vector<std::string>{"a.kzv"});
    auto tree = desk.tree();
    const std::string prefix = std::string(c.into).empty() ? "" : std::string(c.into) + "/";
    for (const char* name : {"a.txt", "b.txt", "sub/c.txt"})
      EXPECT_EQ(tree[prefix + name], before.at(name)) << name;
    EXPECT_EQ(desk.ui.captions.at(0), "Распаковка: a.kzv");
    EXPECT_FALSE(desk.journal_left());
  }
}

TEST(Dispatch, SelectAndBrowseShowTheWindow) {
  Desk desk;
  const std::string archive = pack_all(desk);
  // The name field from the first item.
  auto r = desk.start({desk.in_d("b.txt") + "*" + desk.in_d("sub") + "*>"});
  EXPECT_EQ(r.form, Form::Select);
  EXPECT_TRUE(r.keep_running);
  EXPECT_TRUE(desk.window.shown);
  EXPECT_EQ(desk.window.folder, desk.d);
  EXPECT_EQ(desk.window.archive_name, "b");
  EXPECT_EQ(desk.window.selected_names(), (std::vector<std::string>{"b.txt", "sub"}));
  EXPECT_FALSE(fs::exists(desk.in_d("b.kzv")));

  FakeWindow fresh;
  desk.window = fresh;
  r = desk.start({archive});
  EXPECT_EQ(r.form, Form::Browse);
  EXPECT_TRUE(r.keep_running);
  EXPECT_TRUE(desk.window.shown);
  EXPECT_EQ(desk.window.selected_names(), std::vector<std::string>{"a.kzv"});
  EXPECT_EQ(desk.window.browsed, std::vector<std::string>{archive});
}

// A request names exactly what is packed: an item of another folder, or one that is not there,
// refuses the whole request with a message naming it; "ab.txt" is never taken for "a b.txt".
TEST(Dispatch, RequestItemsNameExactlyWhatIsPacked) {
  Desk desk;
  test::write_file(desk.dir.native() / "d" / "a b.txt", "с пробелом");
  test::write_file(desk.dir.native() / "d" / "ab.txt", "без пробела");
  test::write_file(desk.dir.native() / "e" / "b.txt", "другая папка");
  const std::string elsewhere = desk.dir.win("e") + "\\b.txt";
  const auto before = desk.tree();
  for (const char marker : {'<', '>'}) {
    for (const std::string& odd : {elsewhere, desk.in_d("none.txt")}) {
      SCOPED_TRACE(std::string(1, marker) + " " + odd);
      desk.ui.messages.clear();
      auto r = desk.start({desk.in_d("a.txt") + "*" + odd + "*" + std::string(1, marker)});
      EXPECT_EQ(r.outcome, Outcome::Failed);
      EXPECT_FALSE(r.keep_running);
      ASSERT_EQ(desk.ui.messages.size(), 1u);
      EXPECT_EQ(desk.ui.messages[0], msg::request_item_not_in_folder(odd, desk.d));
      EXPECT_TRUE(desk.ui.captions.empty());
      EXPECT_EQ(desk.tree(), before);
      EXPECT_FALSE(desk.journal_left());
    }
  }
  auto r = desk.start({desk.in_d("ab.txt") + "*" + desk.in_d("b.txt") + "*<"});
  ASSERT_EQ(r.outcome, Outcome::Done);
  auto archive = test::read_archive(desk.in_d("ab.kzv"));
  ASSERT_EQ(archive.records.size(), 2u);
  EXPECT_TRUE(archive.records[0].path.ends_with("\\d\\ab.txt")) << archive.records[0].path;
  EXPECT_TRUE(archive.records[1].path.ends_with("\\d\\b.txt")) << archive.records[1].path;
}

TEST(Dispatch, InteractiveShowsTheWindowAndRunsNothing) {
  Desk desk;
  auto r = desk.start({});
  EXPECT_EQ(r.form, Form::Interactive);
  EXPECT_TRUE(r.keep_running);
  EXPECT_TRUE(desk.window.shown);
  EXPECT_TRUE(desk.ui.captions.empty());
  EXPECT_EQ(desk.registered, 1);
}

// Whatever the start (no request, a request it cannot read), the journal of a run that is gone
// is rolled back before anything else, in one sentence.
TEST(Dispatch, EveryStartRollsBackAJournalWhoseRunIsGone) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, std::vector<std::string>{"no such request"}}) {
    SCOPED_TRACE(args.size());
    Desk desk;
    const auto before = desk.tree();
    const std::string made = desk.in_d("half.kzv");
    test::write_file(*fs::to_native(made), "half-made");
    const std::string journal = desk.program + "\\Tarvik_file.tmp";
    {
      RollbackJournal left(journal);
      left.add_file(made);
      left.keep();  // as a run that is gone leaves it
    }
    desk.start(args);
    ASSERT_FALSE(desk.ui.messages.empty());
    EXPECT_EQ(desk.ui.messages[0], msg::recovered_journal(journal));
    EXPECT_EQ(desk.tree(), before);
    EXPECT_FALSE(desk.journal_left());
  }
}

TEST(Dispatch, RequestsThatCannotBeCarriedOutEndWithAMessageAndLeaveNothing) {
  Desk desk;
  desk.window.options.password = "секрет";
  const std::string archive = pack_all(desk);
  {
    // A damaged copy of the archive beside it.
    std::string bytes = test::read_file(*fs::to_native(archive));
    bytes[50] ^= 1;
    test::write_file(desk.dir.native() / "d" / "bad.kzv", bytes);
  }
  const auto before = desk.tree();
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::vector<std::optional<std::string>> answers;
    std::string message;  // the start of the one message shown
  };
  const Case cases[] = {
      {"no form", {desk.in_d("a.txt") + "*"}, {}, "Непонятный запрос в командной строке: "},
      {"marker without items", {desk.in_d("a.txt") + "<"}, {}, "Непонятный запрос"},
      {"wrong password, to folder", {archive + "*<"}, {"неверный"}, std::string(msg::kWrongPassword)},
      {"cancelled password, here", {archive + "*>"}, {std::nullopt}, std::string(msg::kWrongPassword)},
      {"damaged, to folder", {desk.in_d("bad.kzv") + "*<"}, {}, std::string(msg::kChecksumError)},
      {"damaged, browse", {desk.in_d("bad.kzv")}, {}, std::string(msg::kChecksumError)},
      {"missing archive, here", {desk.in_d("none.kzv") + "*>"}, {}, "Подсчет CRC файла ["},
      {"missing folder", {desk.dir.win("nowhere\\a.txt") + "*<"}, {}, "Не удалось открыть "},
      {"missing browse", {desk.dir.win("nowhere\\x.kzv")}, {}, "Не удалось открыть "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    desk.ui = RecordingUi{};
    desk.window = FakeWindow{};
    for (const auto& a : c.answers) desk.ui.answers.push_back(a);
    auto r = desk.start(c.args);
    EXPECT_FALSE(r.keep_running);
    EXPECT_NE(r.outcome, Outcome::Done);
    ASSERT_EQ(desk.ui.messages.size(), 1u);
    EXPECT_TRUE(desk.ui.messages[0].starts_with(c.message)) << desk.ui.messages[0];
    EXPECT_EQ(desk.tree(), before);
    EXPECT_FALSE(desk.journal_left());
  }
}

TEST(Dispatch, AbortLeavesTheFolderAsItWas) {
  for (const char* marker : {"pack", "<", ">"}) {
    SCOPED_TRACE(marker);
    Desk desk;
    std::string archive;
    if (std::string(marker) != "pack") archive = pack_all(desk);
    const auto before = desk.tree();
    desk.ui = RecordingUi{};
    desk.ui.abort_after_pumps = 3;
    auto r = std::string(marker) == "pack"
                 ? desk.start({desk.in_d("a.txt") + "*" + desk.in_d("b.txt") + "*" + desk.in_d("sub") + "*<"})
                 : desk.start({archive + "*" + marker});
    EXPECT_EQ(r.outcome, Outcome::Aborted);
    EXPECT_EQ(desk.tree(), before);
    EXPECT_FALSE(desk.journal_left());
  }
}

TEST(Dispatch, SelfExtractingStartIgnoresTheArguments) {
  Desk desk;
  desk.window.options.password = "пароль";
  desk.window.options.self_extracting = true;
  desk.window.options.program_folder = desk.program;
  // The stub: any file that does not end in a volume tail.
  test::write_file(desk.dir.native() / "program" / "Tarvik.sfx", std::string(4096, 'M'));
  auto r = desk.start({desk.in_d("a.txt") + "*" + desk.in_d("b.txt") + "*" + desk.in_d("sub") + "*<"});
  ASSERT_EQ(r.outcome, Outcome::Done);
  const auto before = desk.tree();
  const std::string exe = desk.dir.win("run\\setup.exe");
  std::filesystem::create_directories(desk.dir.native() / "run");
  std::filesystem::copy_file(*fs::to_native(desk.in_d("a.exe")), *fs::to_native(exe));
  struct Case {
    std::optional<std::string> answer;
    Outcome outcome;
  };
  for (const Case& c : {Case{"неверный", Outcome::EndProgram}, Case{std::nullopt, Outcome::EndProgram},
                        Case{" пароль ", Outcome::Done}}) {
    SCOPED_TRACE(c.answer.value_or("<cancel>"));
    desk.ui = RecordingUi{};
    desk.ui.answers.push_back(c.answer);
    desk.window = FakeWindow{};
    r = desk.start({desk.in_d("a.txt") + "*<"}, exe);
    EXPECT_TRUE(r.self_extracting);
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_EQ(desk.ui.questions, std::vector<std::string>{"Введите пароль"});
    auto tree = snapshot(desk.dir.native() / "run");
    if (c.outcome == Outcome::Done) {
      // One word at the end: the three files and the folder they went to.
      EXPECT_EQ(desk.ui.messages, std::vector<std::string>{msg::files_unpacked(3, desk.dir.win("run"))});
      EXPECT_EQ(desk.ui.captions.at(0), "Распаковка: setup.exe");
      for (const char* name : {"a.txt", "b.txt", "sub/c.txt"}) EXPECT_EQ(tree[name], before.at(name));
    } else {
      EXPECT_EQ(desk.ui.messages, std::vector<std::string>{"Неверный пароль!"});
      EXPECT_EQ(tree.size(), 1u);
    }
    EXPECT_FALSE(fs::exists(desk.in_d("a.kzv")));
    EXPECT_EQ(desk.registered, 1);
  }
}

TEST(Dispatch, DamagedSelfExtractingArchiveIsNamedAndNothingRuns) {
  Desk desk;
  // A program followed by bytes that do not end in a volume tail: an archive cut off.
  const std::string exe = desk.dir.win("run\\setup.exe");
  std::filesystem::create_directories(desk.dir.native() / "run");
  std::filesystem::copy_file(*fs::to_native(fs::own_executable_path()), *fs::to_native(exe));
  {
    std::ofstream tail(*fs::to_native(exe), std::ios::binary | std::ios::app);
    tail << "D{A" << std::string(200, 'x');
  }
  const auto before = snapshot(desk.dir.native() / "run");
  const auto r = desk.start({desk.in_d("a.txt") + "*<"}, exe);
  EXPECT_TRUE(r.self_extracting);
  EXPECT_EQ(r.outcome, Outcome::Failed);
  EXPECT_FALSE(r.keep_running);
  EXPECT_FALSE(desk.window.shown);
  EXPECT_EQ(desk.ui.messages,
            std::vector<std::string>{msg::damaged_archive(exe, msg::kSelfExtractingTailMissing)});
  EXPECT_EQ(snapshot(desk.dir.native() / "run"), before);
  EXPECT_FALSE(fs::exists(desk.in_d("a.kzv")));
  EXPECT_EQ(desk.registered, 0);
}
