// The console front end end to end: real folders packed and unpacked by the tarvik program,
// self-extracting archives run on their own, and the exit statuses and messages users see.
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <map>
#include <random>
#include <unordered_set>

#include "../unpack/archive_fixture.h"
#include "browse/table.h"
#include "format/base64.h"
#include "format/encryption.h"
#include "format/fields.h"
#include "format/messages.h"
#include "format/password.h"
#include "format/names.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/fs.h"
#include "process.h"
#include "test_support.h"

using namespace tarvik;
using tarvik::test::run_program;
using tarvik::test::TempDir;

namespace {

// The console program shows paths as this system writes them ("/tmp/a" on Linux): so do the
// texts the tests expect of it.
const bool kNativePaths = [] {
  msg::show_native_paths(console::native_paths());
  return true;
}();

// Bytes that compress partly, like real files: mostly three letters, every seventh random.
std::string mixed_bytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(gen() % 7 == 0 ? gen() : 'a' + gen() % 3);
  return s;
}

// Every file and folder below `root` (Windows path) with its contents ("<dir>" for folders).
test::Tree tree(const std::string& root) {
  test::Tree out;
  auto native = *fs::to_native(root);
  for (auto& e : std::filesystem::recursive_directory_iterator(native)) {
    std::string rel = fs::from_native(e.path()).substr(root.size());
    out[rel] = e.is_directory() ? "<dir>" : test::read_file(e.path());
  }
  return out;
}

// A path as the user types it on this system: native on Linux, Windows text on Windows.
std::string arg(const std::string& win_path) {
#ifdef _WIN32
  return win_path;
#else
  return fs::to_native(win_path)->string();
#endif
}

test::RunResult tarvik_run(const std::vector<std::string>& args, const std::string& folder,
                           const std::string& input = "") {
  return run_program(TARVIK_CLI, args, folder, input);
}

struct Sample {
  TempDir dir;
  std::string src = dir.win("Рабочая папка");
  std::string out = dir.win("Выход");

  Sample() {
    put("отчёт.txt", "Отчёт за год\n");
    put("папка\\данные.bin", mixed_bytes(300 * 1024, 1));
    put("папка\\вложенная\\пусто.txt", "");
    put("1023.bin", mixed_bytes(1023, 2));
    put("1025.bin", mixed_bytes(1025, 3));
    fs::create_directory(src + "\\пустая");
    fs::set_last_write_time(src + "\\отчёт.txt", {2025, 3, 4, 5, 6, 7});
    fs::set_attributes(src + "\\1023.bin", fs::kReadOnly | fs::kArchive);
  }
  void put(const std::string& relative, const std::string& bytes) {
    test::write_file(*fs::to_native(src + "\\" + relative), bytes);
  }
  std::vector<std::string> items() const {
    return {"отчёт.txt", "папка", "1023.bin", "1025.bin", "пустая"};
  }
  // The source tree without the archive volumes.
  test::Tree source_tree() const {
    auto t = tree(src);
    std::erase_if(t, [](auto& kv) { return kv.first.ends_with(".kzv") || kv.first.ends_with(".exe"); });
    return t;
  }
};

}  // namespace

TEST(Cli, HelpIsRussianAndSaysWhatThePasswordGuards) {
  TempDir dir;
  auto r = tarvik_run({"--help"}, dir.win());
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("tarvik pack"), std::string::npos);
  EXPECT_NE(r.out.find("Пароль без -e защищает только открытие архива"), std::string::npos);
  EXPECT_NE(r.out.find("Открытыми остаются имена файлов и\nпапок, их размеры, даты"),
            std::string::npos);
  EXPECT_NE(tarvik_run({"frobnicate"}, dir.win()).status, 0);
}

TEST(Cli, RoundTripsSingleAndMultiVolumeWithAndWithoutPassword) {
  struct Case {
    std::string name;
    std::vector<std::string> options;
    std::string first;
  } cases[] = {
      {"single", {}, "архив.kzv"},
      {"password", {"-p", "Секрет 1"}, "архив.kzv"},
      {"volumes of 7 KB", {"-v", "7"}, "архив.001.kzv"},
      {"volumes of 1 KB with password", {"-v", "1", "-p", "x"}, "архив.001.kzv"},
      {"volumes of 0 KB", {"-v", "0"}, "архив.001.kzv"},
      {"fastest level", {"-l", "1"}, "архив.kzv"},
      {"smallest level, volumes", {"-l", "12", "-v", "3"}, "архив.001.kzv"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Sample s;
    std::vector<std::string> args = {"pack", "-n", "архив"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    auto items = s.items();
    args.insert(args.end(), items.begin(), items.end());
    auto packed = tarvik_run(args, s.src);
    ASSERT_EQ(packed.status, 0) << packed.err;
    ASSERT_TRUE(fs::is_file(s.src + "\\" + c.first));

    std::vector<std::string> unpack = {"unpack", arg(s.src + "\\" + c.first), "-C", arg(s.out)};
    if (c.options.size() == 2 && c.options[0] == "-p") unpack.insert(unpack.end(), {"-p", c.options[1]});
    if (c.options.size() == 4 && c.options[2] == "-p") unpack.insert(unpack.end(), {"-p", c.options[3]});
    auto unpacked = tarvik_run(unpack, s.dir.win());
    ASSERT_EQ(unpacked.status, 0) << unpacked.err;
    EXPECT_EQ(tree(s.out), s.source_tree());
    EXPECT_EQ(fs::last_write_time(s.out + "\\отчёт.txt"), (fs::LocalTime{2025, 3, 4, 5, 6, 0}));
    EXPECT_EQ(fs::attributes(s.out + "\\1023.bin") & fs::kReadOnly, fs::kReadOnly);
    EXPECT_EQ(tarvik_run({"test", arg(s.src + "\\" + c.first), "-p", "x", "-p",
                          c.options.size() >= 2 && c.options[c.options.size() - 2] == "-p"
                              ? c.options.back()
                              : ""},
                         s.dir.win())
                  .status,
              0);
  }
}

TEST(Cli, FailuresExitNonZeroWithTheSystemsMessage) {
  Sample s;
  ASSERT_EQ(tarvik_run({"pack", "-n", "a", "-p", "верно", "отчёт.txt"}, s.src).status, 0);
  // An archive of that name exists.
  auto again = tarvik_run({"pack", "-n", "a", "отчёт.txt"}, s.src);
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("Такой архив уже есть!"), std::string::npos);
  // A wrong password extracts nothing.
  auto wrong = tarvik_run({"unpack", "a.kzv", "-C", arg(s.out), "-p", "неверно"}, s.src);
  EXPECT_EQ(wrong.status, 1);
  EXPECT_NE(wrong.err.find("Неверный пароль для распаковки!"), std::string::npos);
  EXPECT_FALSE(fs::exists(s.out));
  // The password answered on standard input.
  auto asked = tarvik_run({"unpack", "a.kzv", "-C", arg(s.out)}, s.src, "верно\n");
  EXPECT_EQ(asked.status, 0) << asked.err;
  EXPECT_TRUE(fs::is_file(s.out + "\\отчёт.txt"));
  // Items from two folders.
  auto split = tarvik_run({"pack", "отчёт.txt", arg(s.src + "\\папка\\вложенная\\пусто.txt")}, s.src);
  EXPECT_EQ(split.status, 2);
  // Levels outside 1 to 12 are wrong arguments; nothing is made.
  for (const char* level : {"0", "13", "x", ""}) {
    SCOPED_TRACE(level);
    auto wrong_level = tarvik_run({"pack", "-n", "l", "-l", level, "отчёт.txt"}, s.src);
    EXPECT_EQ(wrong_level.status, 2);
    EXPECT_NE(wrong_level.err.find("уровень сжатия от 1 до 12"), std::string::npos) << wrong_level.err;
    EXPECT_FALSE(fs::exists(s.src + "\\l.kzv"));
  }
  // A target folder with no form in the code page: a message naming it, nothing made, and the
  // run ends in order.
  const std::string foreign = s.dir.win("日本");
  auto no_form = tarvik_run({"unpack", "a.kzv", "-C", arg(foreign + "\\new"), "-p", "верно"}, s.src);
  EXPECT_EQ(no_form.status, 1);
  EXPECT_NE(no_form.err.find(msg::shown_path(foreign)), std::string::npos) << no_form.err;
  EXPECT_FALSE(fs::exists(foreign));
}

TEST(Cli, ListAndExtractALevel) {
  Sample s;
  ASSERT_EQ(tarvik_run({"pack", "-v", "2", "-n", "l", "папка", "отчёт.txt"}, s.src).status, 0);
  auto top = tarvik_run({"list", "l.001.kzv"}, s.src);
  ASSERT_EQ(top.status, 0) << top.err;
  EXPECT_EQ(top.out.substr(0, top.out.find('\n')).find("Название"), 0u);
  EXPECT_NE(top.out.find("папка"), std::string::npos);
  EXPECT_EQ(top.out.find("данные.bin"), std::string::npos);  // not a direct child
  auto inner = tarvik_run({"list", "l.001.kzv", "папка"}, s.src);
  EXPECT_NE(inner.out.find("данные.bin"), std::string::npos);
  EXPECT_NE(inner.out.find("307200"), std::string::npos);

  auto extracted = tarvik_run({"extract", "l.001.kzv", "--level", "папка", "вложенная", "данные.bin",
                               "-C", arg(s.out)},
                              s.src);
  ASSERT_EQ(extracted.status, 0) << extracted.err;
  auto got = tree(s.out);
  EXPECT_EQ(got.size(), 3u);
  EXPECT_EQ(got["\\данные.bin"], mixed_bytes(300 * 1024, 1));
  EXPECT_EQ(got["\\вложенная\\пусто.txt"], "");
}

// More rows than `tarvik list` holds: what it prints is the table of a single walk, on a sound
// archive and on one damaged past the held rows (then with the message once and status 1).
TEST(Cli, ListOfMoreRowsThanHeldPrintsTheTableOfOneWalk) {
  TempDir dir;
  // Rows of about 1 KiB (names of 480 Cyrillic letters): 5,000 of them pass what is held.
  std::string letters;
  for (int i = 0; i < 480; ++i) letters += "ж";
  test::FixtureArchive a;
  for (int i = 0; i < 5000; ++i) {
    const std::string path = "\\" + std::to_string(i) + test::cp(letters);
    a.entries.push_back(i % 10 == 0 ? test::file(path, std::to_string(i)) : test::folder(path));
  }
  test::write_archive(dir.win(), "sound", a);
  a.entries.push_back(test::file("\\x", ""));
  a.entries.back().raw = "F999";
  test::write_archive(dir.win(), "damaged", a);

  struct Case {
    std::vector<std::string> args;
    int status;
  };
  const Case cases[] = {
      {{"list", "-r", "sound.kzv"}, 0},
      {{"list", "sound.kzv", "\\"}, 0},
      {{"list", "-r", "damaged.kzv"}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[2]);
    browse::TableRequest request;
    request.first_volume = format::join_path(dir.win(), c.args[1] == "-r" ? c.args[2] : c.args[1]);
    if (c.args[1] != "-r") request.level = "";
    request.held_bytes = std::numeric_limits<std::size_t>::max();
    test::RecordingUi ui;
    std::string expected;
    const Outcome outcome =
        browse::write_table(request, ui, [&](std::string_view piece) { expected += piece; });
    ASSERT_GT(expected.size(), browse::kHeldTableBytes);
    ASSERT_EQ(outcome == Outcome::Done ? 0 : 1, c.status);

    const auto ran = tarvik_run(c.args, dir.win());
    EXPECT_EQ(ran.status, c.status);
    EXPECT_TRUE(ran.out == expected) << "the table differs from the one of a single walk";
    ASSERT_EQ(ui.messages.size(), static_cast<std::size_t>(c.status));
    for (const auto& message : ui.messages) {
      const auto at = ran.err.find(message);
      EXPECT_NE(at, std::string::npos) << ran.err;
      EXPECT_EQ(ran.err.find(message, at + 1), std::string::npos) << ran.err;
    }
    if (c.status == 0) {
      EXPECT_EQ(ran.err, "");
    }
  }
}

// A self-extracting archive runs on its own, also under another file name and with its
// later volumes; the password is answered at the question.
TEST(Cli, SelfExtractingArchivesRunOnTheirOwn) {
#ifdef _WIN32
  GTEST_SKIP() << "on Windows the stub is Tarvik.exe: its self-extracting runs are tested in tests/app";
#endif
  struct Case {
    std::string name;
    std::vector<std::string> options;
    std::string started_as;  // the first volume's name in the folder it runs from
    std::string input;
  } cases[] = {
      {"single", {}, "sfx.exe", ""},
      {"multi-volume renamed, with password", {"-v", "20", "-p", "пароль"}, "setup.exe", "пароль\n"},
      {"dotted name", {"-v", "40"}, "my.setup.exe", ""},
      {"encrypted, multi-volume", {"-e", "-p", "пароль", "-v", "20"}, "enc.exe", "пароль\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Sample s;
    std::vector<std::string> args = {"pack", "-s", "-n", "sfx"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    auto items = s.items();
    args.insert(args.end(), items.begin(), items.end());
    auto packed = tarvik_run(args, s.src);
    ASSERT_EQ(packed.status, 0) << packed.err;
    // Move the volumes into a folder of their own, the first under its new name and the
    // later ones named after it.
    fs::create_directory(s.out);
    std::string base = c.started_as.substr(0, c.started_as.size() - 4);
    std::vector<std::string> moved;
    for (auto& e : fs::list_directory(s.src)) {
      if (!e.name.starts_with("sfx.")) continue;
      std::string to = e.name == "sfx.exe" || e.name == "sfx.001.exe"
                           ? c.started_as
                           : base + e.name.substr(3);  // ".002.kzv"
      fs::rename_replace(s.src + "\\" + e.name, s.out + "\\" + to);
      moved.push_back(to);
    }
    if (c.options.empty()) {
      EXPECT_EQ(moved.size(), 1u);
    } else {
      EXPECT_GE(moved.size(), 3u);
    }
    auto ran = run_program(arg(s.out + "\\" + c.started_as), {}, s.out, c.input);
    ASSERT_EQ(ran.status, 0) << ran.err;
    auto got = tree(s.out);
    for (auto& name : moved) got.erase("\\" + name);
    EXPECT_EQ(got, s.source_tree());
  }
}

TEST(Cli, SelfExtractingWithAWrongPasswordExtractsNothing) {
#ifdef _WIN32
  GTEST_SKIP() << "on Windows the stub is Tarvik.exe: its self-extracting runs are tested in tests/app";
#endif
  Sample s;
  ASSERT_EQ(tarvik_run({"pack", "-s", "-p", "верно", "-n", "w", "отчёт.txt"}, s.src).status, 0);
  fs::create_directory(s.out);
  fs::rename_replace(s.src + "\\w.exe", s.out + "\\w.exe");
  auto ran = run_program(arg(s.out + "\\w.exe"), {}, s.out, "нет\n");
  EXPECT_NE(ran.status, 0);
  EXPECT_NE(ran.err.find("Неверный пароль!"), std::string::npos);
  EXPECT_EQ(tree(s.out).size(), 1u);
}

// Names of a hostile archive reach the terminal with their control characters written as
// codes, in the listing and in every message; `tarvik test` fails where unpack refuses,
// with the same messages.
TEST(Cli, HostileNamesCannotSteerTheTerminalAndTestAgreesWithUnpack) {
  TempDir dir;
  test::FixtureArchive a;
  a.entries = {test::file("\\title\x1b]0;pwned\x07.txt", "t"),
               test::file("\\harmless.txt\r..\\..\\.bashrc", "h"),
               test::folder("\\clear\x1b[2J"),
               test::file("\\ok.txt", "ok"),
               test::folder("\\ok.txt"),
               test::file("\\" + std::string(300, 'L'), "long")};
  test::write_archive(dir.win(), "h", a);

  const auto listed = tarvik_run({"list", "-r", "h.kzv"}, dir.win());
  const auto tested = tarvik_run({"test", "h.kzv"}, dir.win());
  const auto unpacked = tarvik_run({"unpack", "h.kzv", "-C", arg(dir.win("out"))}, dir.win());
  for (const auto* run : {&listed, &tested, &unpacked}) {
    for (const std::string* text : {&run->out, &run->err}) {
      EXPECT_EQ(text->find_first_of(std::string("\x1b\x07\r\0", 4)), std::string::npos) << *text;
    }
  }
  EXPECT_EQ(listed.status, 0) << listed.err;
  EXPECT_NE(listed.out.find("title<1B>]0;pwned<07>.txt"), std::string::npos) << listed.out;
  EXPECT_NE(listed.out.find("harmless.txt<0D>..\\..\\.bashrc"), std::string::npos);
  EXPECT_NE(listed.out.find("clear<1B>[2J"), std::string::npos);

  EXPECT_EQ(tested.status, 1);
  EXPECT_EQ(unpacked.status, 1);
  EXPECT_EQ(tested.out, "");
  EXPECT_EQ(tested.err, unpacked.err);
  for (const char* shown : {"\\title<1B>]0;pwned<07>.txt", "\\harmless.txt<0D>..\\..\\.bashrc",
                            "\\clear<1B>[2J", "в архиве уже есть файл \\ok.txt",
                            "имя слишком длинное"}) {
    EXPECT_NE(tested.err.find(shown), std::string::npos) << shown << "\n" << tested.err;
  }
  EXPECT_EQ(tree(dir.win("out")), (test::Tree{{"\\ok.txt", "ok"}}));
}

// Damage the user meets is named as damage: a self-extracting archive whose end is cut off or
// changed, a damaged password record (not a "wrong password"); and a password with no form in
// the code page is refused without being called a name or echoed.
TEST(Cli, DamagedArchivesAndUnwritablePasswordsAreNamed) {
  Sample s;
  ASSERT_EQ(tarvik_run({"pack", "-s", "-p", "верно", "-n", "x", "отчёт.txt"}, s.src).status, 0);
  ASSERT_EQ(tarvik_run({"pack", "-p", "верно", "-n", "k", "отчёт.txt"}, s.src).status, 0);
  const std::string exe = test::read_file(*fs::to_native(s.src + "\\x.exe"));
  const std::string kzv = test::read_file(*fs::to_native(s.src + "\\k.kzv"));
  // The password record's coded text, changed, and the volume sealed again.
  const auto bad_record = [](std::string bytes) {
    bytes[bytes.size() - 44 + 3 + 4] = '~';
    return test::sealed(bytes.substr(0, bytes.size() - 8));
  };
  struct Case {
    const char* name;
    std::string file;  // in s.out
    std::string bytes;
    std::vector<std::string> args;
    std::string expected;
  };
  const std::string cut = format::join_path(s.out, "cut.exe");
  const std::string changed = format::join_path(s.out, "changed.exe");
  const std::string record = format::join_path(s.out, "record.exe");
  const std::string locked = format::join_path(s.out, "k.kzv");
  const Case cases[] = {
      {"cut off", "cut.exe", exe.substr(0, exe.size() - 20), {},
       msg::damaged_archive(cut, msg::kSelfExtractingTailMissing)},
      {"terminator changed", "changed.exe",
       exe.substr(0, exe.size() - 11) + "D{X" + exe.substr(exe.size() - 8), {},
       msg::damaged_archive(changed, msg::kSelfExtractingTailMissing)},
      {"self-extracting password record", "record.exe", bad_record(exe), {},
       msg::damaged_archive(record, msg::kPasswordRecordDamaged)},
      {"password record", "k.kzv", bad_record(kzv), {"test", arg(locked), "-p", "верно"},
       msg::damaged_archive(locked, msg::kPasswordRecordDamaged)},
  };
  fs::create_directory(s.out);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
#ifdef _WIN32
    // There the stub is the windowed Tarvik.exe: it shows these in a message box, tested with
    // the start-up's dispatch.
    if (c.args.empty()) continue;
#endif
    const std::string path = format::join_path(s.out, c.file);
    test::write_file(*fs::to_native(path), c.bytes);
    std::filesystem::permissions(*fs::to_native(path), std::filesystem::perms::owner_all);
    const auto ran = c.args.empty() ? run_program(arg(path), {}, s.out, "верно\n")
                                    : tarvik_run(c.args, s.out, "верно\n");
    EXPECT_EQ(ran.status, 1);
    EXPECT_NE(ran.err.find(c.expected), std::string::npos) << ran.err;
    EXPECT_EQ(ran.err.find("Неверный пароль"), std::string::npos) << ran.err;
    EXPECT_EQ(ran.err.find("не указана команда"), std::string::npos) << ran.err;
  }
#ifndef _WIN32
  // The program alone still starts as itself.
  const auto plain = run_program(TARVIK_SFX, {}, s.out);
  EXPECT_EQ(plain.status, 2);
  EXPECT_NE(plain.err.find("не указана команда"), std::string::npos);
#endif

  const auto packed = tarvik_run({"pack", "-p", "日本語", "-n", "j", "отчёт.txt"}, s.src);
  EXPECT_EQ(packed.status, 1);
  EXPECT_NE(packed.err.find(msg::kPasswordNotInCodePage), std::string::npos) << packed.err;
  EXPECT_EQ(packed.err.find("日本語"), std::string::npos) << packed.err;
  EXPECT_EQ(packed.err.find("Имя"), std::string::npos) << packed.err;
  EXPECT_FALSE(fs::exists(s.src + "\\j.kzv"));
}

namespace {

// Whether any run of 64 bytes of `secret` occurs in `archive`: every such run holds a whole
// aligned block of 32 bytes of it, so looking for those is enough.
bool shares_a_run_of_64(const std::string& archive, const std::string& secret) {
  std::unordered_set<std::string_view> windows;
  for (std::size_t i = 0; i + 32 <= archive.size(); ++i)
    windows.insert(std::string_view(archive).substr(i, 32));
  for (std::size_t i = 0; i + 32 <= secret.size(); i += 32)
    if (windows.contains(std::string_view(secret).substr(i, 32))) return true;
  return false;
}

// Every volume of the archive `name` in `folder`, concatenated.
std::string all_volumes(const std::string& folder, const std::string& name) {
  std::string bytes;
  for (auto& e : fs::list_directory(folder))
    if (e.name.starts_with(name + ".")) bytes += test::read_file(*fs::to_native(folder + "\\" + e.name));
  return bytes;
}

}  // namespace

// An encrypted archive holds no run of an incompressible file and no form of the password, and
// gives everything back with the password: single, multi-volume and self-extracting, through
// unpack, test, list and extract.
TEST(Cli, EncryptedArchivesHideTheDataAndGiveThemBack) {
  const std::string password = "Длинный пароль шифрования, больше 12 знаков!";
  struct Case {
    std::string name;
    std::vector<std::string> options;
    std::string first;
  } cases[] = {
      {"single", {}, "e.kzv"},
      {"volumes of 2 KB", {"-v", "2"}, "e.001.kzv"},
      {"volumes of 0 KB, level 12", {"-v", "0", "-l", "12"}, "e.001.kzv"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Sample s;
    std::mt19937 gen(7);
    std::string secret(200000, '\0');  // four segments
    for (auto& b : secret) b = static_cast<char>(gen());
    s.put("секрет.bin", secret);
    std::vector<std::string> args = {"pack", "-e", "-p", password, "-n", "e", "секрет.bin"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    auto items = s.items();
    args.insert(args.end(), items.begin(), items.end());
    auto packed = tarvik_run(args, s.src);
    ASSERT_EQ(packed.status, 0) << packed.err;

    const std::string bytes = all_volumes(s.src, "e");
    EXPECT_FALSE(shares_a_run_of_64(bytes, secret));
    const std::string cp1251 = *codepage::to_archive(password);
    for (const std::string& form : {password, cp1251, format::base64_encode(cp1251),
                                    format::uuencode_line(format::base64_encode(cp1251)).substr(1)})
      EXPECT_EQ(bytes.find(form), std::string::npos) << "the password in some form";
    EXPECT_NE(bytes.find(*codepage::to_archive("секрет.bin")), std::string::npos)
        << "names stay readable";

    const std::string first = arg(s.src + "\\" + c.first);
    auto unpacked = tarvik_run({"unpack", first, "-C", arg(s.out), "-p", password}, s.dir.win());
    ASSERT_EQ(unpacked.status, 0) << unpacked.err;
    auto expected = s.source_tree();
    EXPECT_EQ(tree(s.out), expected);
    EXPECT_EQ(tarvik_run({"test", first, "-p", password}, s.dir.win()).status, 0);
    auto listed = tarvik_run({"list", first, "-p", password}, s.dir.win());
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find("секрет.bin"), std::string::npos);
    const std::string chosen = s.dir.win("Выбор");
    auto extracted = tarvik_run({"extract", first, "папка", "-C", arg(chosen), "-p", password},
                                s.dir.win());
    ASSERT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_EQ(test::read_file(*fs::to_native(chosen + "\\папка\\данные.bin")),
              expected["\\папка\\данные.bin"]);
  }
}

TEST(Cli, EncryptedPasswordsAreCheckedBeforeAnythingIsWritten) {
  Sample s;
  // Typed twice without -p; the two must agree.
  auto differ = tarvik_run({"pack", "-e", "-n", "d", "отчёт.txt"}, s.src, "один\nдругой\n");
  EXPECT_EQ(differ.status, 1);
  EXPECT_NE(differ.err.find(msg::kPasswordsDiffer), std::string::npos) << differ.err;
  EXPECT_FALSE(fs::exists(s.src + "\\d.kzv"));
  auto typed = tarvik_run({"pack", "-e", "-n", "t", "отчёт.txt"}, s.src, "пароль\nпароль\n");
  ASSERT_EQ(typed.status, 0) << typed.err;
  // Longer than 12 characters only with encryption.
  EXPECT_EQ(tarvik_run({"pack", "-p", "тринадцать зн", "-n", "l", "отчёт.txt"}, s.src).status, 2);

  fs::create_directory(s.out);
  test::write_file(*fs::to_native(s.out + "\\отчёт.txt"), "моя версия");
  const test::Tree before = tree(s.out);
  const std::string archive = arg(s.src + "\\t.kzv");
  for (const std::string wrong : {"Пароль", "пароль ещё", ""}) {
    SCOPED_TRACE(wrong);
    auto ran = tarvik_run({"unpack", archive, "-C", arg(s.out), "-p", wrong}, s.dir.win());
    EXPECT_EQ(ran.status, 1);
    EXPECT_NE(ran.err.find(msg::kWrongPassword), std::string::npos) << ran.err;
    EXPECT_EQ(tree(s.out), before);
  }
  auto right = tarvik_run({"unpack", archive, "-C", arg(s.out), "-p", " пароль "}, s.dir.win());
  EXPECT_EQ(right.status, 0) << right.err;
  EXPECT_EQ(test::read_file(*fs::to_native(s.out + "\\отчёт.txt")), "Отчёт за год\n");
}

// A changed byte of encrypted data, with the volume's checksum made to fit: the entry is named
// as changed, the run is rolled back and the folder is as it was.
TEST(Cli, ChangedEncryptedDataFailAuthenticationAndAreRolledBack) {
  Sample s;
  const std::string password = "ключ";
  ASSERT_EQ(tarvik_run({"pack", "-e", "-p", password, "-n", "c", "1025.bin", "отчёт.txt", "папка"},
                       s.src).status, 0);
  const std::string bytes = test::read_file(*fs::to_native(s.src + "\\c.kzv"));
  fs::create_directory(s.out);
  test::write_file(*fs::to_native(s.out + "\\отчёт.txt"), "моя версия");
  const test::Tree before = tree(s.out);
  // Where the data of the record of `path` begin, and their size.
  const auto data_of = [&](const std::string& path) {
    const std::string stored = *codepage::to_archive(path);
    std::size_t at = bytes.find(stored);
    EXPECT_NE(at, std::string::npos) << path;
    at += stored.size() + 2 + 16;  // attributes, time
    const std::size_t digits = bytes[at] - '0';
    at += 2 + digits;
    const auto m = format::parse_decimal(*format::base64_decode(bytes.substr(at, 4)));
    at += 4;
    const auto packed = format::parse_decimal(*format::base64_decode(bytes.substr(at, *m)));
    return std::pair<std::size_t, std::size_t>(at + *m, static_cast<std::size_t>(*packed));
  };
  const auto [small, small_size] = data_of(s.src + "\\1025.bin");
  const auto [large, large_size] = data_of(s.src + "\\папка\\данные.bin");
  ASSERT_GT(large_size, format::kSegmentBytes + 16) << "two segments at least";
  struct Case {
    const char* what;
    std::size_t at;
    std::string entry;
  } cases[] = {
      {"first data byte", small, "1025.bin"},
      {"a data byte", small + 50, "1025.bin"},
      {"first tag byte", small + small_size - 16, "1025.bin"},
      {"last tag byte", small + small_size - 1, "1025.bin"},
      {"first segment's tag", large + format::kSegmentBytes, "папка\\данные.bin"},
      {"second segment", large + format::kSegmentBytes + 100, "папка\\данные.bin"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::size_t at = c.at;
    std::string changed = bytes;
    changed[at] = static_cast<char>(changed[at] ^ 0x01);
    const std::string path = s.dir.win("c.kzv");
    test::write_file(*fs::to_native(path), test::sealed(changed.substr(0, changed.size() - 8)));
    auto ran = tarvik_run({"unpack", arg(path), "-C", arg(s.out), "-p", password}, s.dir.win());
    EXPECT_EQ(ran.status, 1);
    EXPECT_NE(ran.err.find(msg::damaged_entry(s.src + "\\" + c.entry, msg::kDataNotAuthentic)),
              std::string::npos)
        << ran.err;
    EXPECT_NE(ran.err.find(msg::kFailedRunUndone), std::string::npos) << ran.err;
    EXPECT_EQ(tree(s.out), before);
    EXPECT_EQ(tarvik_run({"test", arg(path), "-p", password}, s.dir.win()).status, 1);
  }
}
