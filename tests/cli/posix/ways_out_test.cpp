// Every way out of a run of the tarvik program on Linux: Ctrl-C, SIGTERM and SIGHUP roll back
// as Abort does, two runs at once each keep to their own files, a run killed outright is
// undone by the next one, and a program folder that cannot be written sends the journal to the
// user's own folder. A run holds itself (SIGSTOP) when it reaches the entry a test names
// (TARVIK_HOLD_AT), and the test acts only once it has seen it stopped there, so nothing
// depends on how fast a run goes.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <random>

#include "format/messages.h"
#include "platform/fs.h"
#include "test_support.h"

using namespace tarvik;
using tarvik::test::TempDir;
namespace stdfs = std::filesystem;

namespace {

struct Child {
  pid_t pid = -1;
  stdfs::path err;
  std::optional<int> ended;  // the wait status, once reaped
};

// The entry at which a run started with kHold holds itself. Unpacking keeps at most 64 entries
// in hand, so when the 71st begins the first six are in place.
const std::string kHold = "TARVIK_HOLD_AT=f70.bin";

// Starts `program` with `args` in `folder`; its standard error goes to a file beside it.
Child spawn(const stdfs::path& program, const std::vector<std::string>& args,
            const stdfs::path& folder, const std::vector<std::string>& env = {},
            uid_t as = static_cast<uid_t>(-1)) {
  static int count = 0;
  Child child;
  child.err = folder / ("stderr" + std::to_string(++count));
  child.pid = fork();
  if (child.pid == 0) {
    int in = open("/dev/null", O_RDONLY);
    int err = open(child.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    dup2(in, 0);
    dup2(err, 1);
    dup2(err, 2);
    if (as != static_cast<uid_t>(-1) && (setgid(as) != 0 || setuid(as) != 0)) _exit(125);
    if (chdir(folder.c_str()) != 0) _exit(126);
    for (const auto& e : env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  return child;
}

int finish(Child& child) {
  int status = 0;
  if (child.ended) {
    status = *child.ended;
  } else {
    while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Waits until the child has held itself at its hold point; false when it ended instead.
bool held(Child& child) {
  int status = 0;
  while (waitpid(child.pid, &status, WUNTRACED) < 0) {
    if (errno != EINTR) return false;
  }
  if (WIFSTOPPED(status)) return true;
  child.ended = status;
  return false;
}

test::Tree tree(const stdfs::path& root) {
  test::Tree out;
  if (!stdfs::exists(root)) return out;
  for (auto& e : stdfs::recursive_directory_iterator(root))
    out[stdfs::relative(e.path(), root).string()] =
        e.is_directory() ? "<dir>" : test::read_file(e.path());
  return out;
}

bool any_named(const stdfs::path& root, std::string_view ending) {
  if (!stdfs::exists(root)) return false;
  for (auto& e : stdfs::recursive_directory_iterator(root))
    if (e.path().filename().string().ends_with(ending)) return true;
  return false;
}

std::string mixed(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(gen() % 5 == 0 ? gen() : 'a' + gen() % 3);
  return s;
}

// A program folder of its own (so that its journals are only this test's), an archive of
// many files f0.bin, f1.bin, ... in that order, and a target folder holding older files of the
// same names.
struct Scene {
  TempDir dir;
  stdfs::path prog = dir.native() / "prog";
  stdfs::path program = prog / "tarvik";
  stdfs::path src = dir.native() / "src";
  stdfs::path archive = src / "big.kzv";
  std::vector<std::string> names;

  explicit Scene(int files = 80) {
    stdfs::create_directories(prog);
    stdfs::copy_file(fs::to_native(TARVIK_CLI)->string(), program);
    for (int i = 0; i < files; ++i) {
      names.push_back("f" + std::to_string(i) + ".bin");
      test::write_file(src / names.back(), mixed(16 * 1024, i));
    }
    if (files == 0) return;  // the program alone
    std::vector<std::string> args = {"pack", "-n", "big"};
    args.insert(args.end(), names.begin(), names.end());
    Child pack = spawn(program, args, src);
    EXPECT_EQ(finish(pack), 0) << test::read_file(pack.err);
  }
  // A target with the older versions of the first two files and a file of the user's own.
  stdfs::path target(const std::string& name) const {
    stdfs::path out = dir.native() / name;
    test::write_file(out / "f0.bin", "older f0");
    test::write_file(out / "f1.bin", "older f1");
    test::write_file(out / "mine.txt", "the user's");
    return out;
  }
  std::vector<std::string> journals() const {
    std::vector<std::string> names;
    for (auto& e : stdfs::directory_iterator(prog))
      if (e.path().filename().string().starts_with("Tarvik_file")) names.push_back(e.path());
    return names;
  }
};

// What a run held at kHold has done: the first six entries are in place.
bool extracted_some(const stdfs::path& out) {
  for (int i = 0; i < 6; ++i) {
    const auto file = out / ("f" + std::to_string(i) + ".bin");
    if (!stdfs::exists(file) || test::read_file(file) != mixed(16 * 1024, i)) return false;
  }
  return true;
}

}  // namespace

TEST(WaysOut, CtrlCTermAndHangUpRollTheUnpackBack) {
  Scene scene;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    const auto out = scene.target("out" + std::to_string(signal));
    const auto before = tree(out);
    Child run = spawn(scene.program, {"unpack", scene.archive, "-C", out}, scene.dir.native(), {kHold});
    ASSERT_TRUE(held(run)) << test::read_file(run.err);
    EXPECT_TRUE(extracted_some(out)) << ::testing::PrintToString(tree(out));
    kill(run.pid, signal);
    kill(run.pid, SIGCONT);
    EXPECT_EQ(finish(run), 3) << test::read_file(run.err);
    EXPECT_EQ(tree(out), before);
    EXPECT_TRUE(scene.journals().empty());
  }
}

TEST(WaysOut, ExtractStopsOnCtrlCAndLeavesNoWorkFile) {
  Scene scene(12);
  const auto out = scene.dir.native() / "chosen";
  std::vector<std::string> args = {"extract", scene.archive};
  for (int i = 0; i < 12; ++i) args.push_back("f" + std::to_string(i) + ".bin");
  args.insert(args.end(), {"-C", out.string()});
  Child run = spawn(scene.program, args, scene.dir.native(), {"TARVIK_HOLD_AT=f3.bin"});
  ASSERT_TRUE(held(run)) << test::read_file(run.err);
  kill(run.pid, SIGINT);
  kill(run.pid, SIGCONT);
  EXPECT_EQ(finish(run), 3) << test::read_file(run.err);
  EXPECT_FALSE(any_named(out, ".tzp"));
  EXPECT_LT(tree(out).size(), 12u);
}

// Two runs at once from the same program: each has its own journal; Ctrl-C on the second
// takes back only what the second did, and the first finishes whole.
TEST(WaysOut, TwoRunsAtOnceEachKeepTheirOwnFiles) {
  Scene scene;
  const auto first_out = scene.target("first");
  const auto second_out = scene.target("second");
  const auto second_before = tree(second_out);
  Child first =
      spawn(scene.program, {"unpack", scene.archive, "-C", first_out}, scene.dir.native(), {kHold});
  ASSERT_TRUE(held(first)) << test::read_file(first.err);
  Child second =
      spawn(scene.program, {"unpack", scene.archive, "-C", second_out}, scene.dir.native(), {kHold});
  ASSERT_TRUE(held(second)) << test::read_file(second.err);
  EXPECT_TRUE(extracted_some(first_out));
  EXPECT_TRUE(extracted_some(second_out));
  EXPECT_EQ(scene.journals().size(), 2u);
  kill(second.pid, SIGINT);
  kill(second.pid, SIGCONT);
  kill(first.pid, SIGCONT);
  EXPECT_EQ(finish(second), 3) << test::read_file(second.err);
  EXPECT_EQ(finish(first), 0) << test::read_file(first.err);
  EXPECT_EQ(tree(second_out), second_before);
  const auto whole = tree(first_out);
  EXPECT_EQ(whole.size(), 80u + 1u);  // the 80 files, mine.txt
  EXPECT_TRUE(test::same_bytes(whole.at("f0.bin"), mixed(16 * 1024, 0)));
  EXPECT_TRUE(scene.journals().empty());
}

// A run killed outright leaves its journal; the next run undoes what it did (files it had set
// aside come back first) and says so in one sentence.
TEST(WaysOut, AKilledRunIsUndoneByTheNext) {
  Scene scene;
  const auto out = scene.target("out");
  const auto before = tree(out);
  Child run = spawn(scene.program, {"unpack", scene.archive, "-C", out}, scene.dir.native(), {kHold});
  ASSERT_TRUE(held(run)) << test::read_file(run.err);
  kill(run.pid, SIGKILL);
  EXPECT_EQ(finish(run), 128 + SIGKILL);
  ASSERT_EQ(scene.journals().size(), 1u);
  EXPECT_NE(tree(out), before);

  const auto elsewhere = scene.dir.native() / "elsewhere";
  Child next = spawn(scene.program, {"unpack", scene.archive, "-C", elsewhere}, scene.dir.native());
  EXPECT_EQ(finish(next), 0);
  const std::string said = test::read_file(next.err);
  const std::string journal = fs::from_native(scene.prog / "Tarvik_file.tmp");
  EXPECT_NE(said.find(msg::recovered_journal(journal)), std::string::npos) << said;
  EXPECT_NE(said.find(" " + scene.prog.string() + "/Tarvik_file.tmp:"), std::string::npos) << said;
  EXPECT_EQ(tree(out), before);
  EXPECT_TRUE(scene.journals().empty());
}

// A program folder that cannot be written (an install in /usr/bin): the journal goes to the
// user's own folder and the run works.
TEST(WaysOut, AProgramFolderThatCannotBeWrittenSendsTheJournalToTheUsersFolder) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run the program as another user";
  Scene scene(4);
  const uid_t nobody = 65534;
  const auto state = scene.dir.native() / "state";
  const auto out = scene.dir.native() / "out";
  stdfs::create_directories(state);
  stdfs::create_directories(out);
  for (const auto& p : {scene.dir.native(), state, out, scene.src})
    stdfs::permissions(p, stdfs::perms::all);
  stdfs::permissions(scene.archive, stdfs::perms::all);
  stdfs::permissions(scene.prog, stdfs::perms::owner_all | stdfs::perms::group_read |
                                     stdfs::perms::group_exec | stdfs::perms::others_read |
                                     stdfs::perms::others_exec);
  const std::string xdg = "XDG_STATE_HOME=" + state.string();
  Child run = spawn(scene.program, {"unpack", scene.archive, "-C", out}, scene.dir.native(),
                    {xdg}, nobody);
  EXPECT_EQ(finish(run), 0) << test::read_file(run.err);
  EXPECT_EQ(tree(out).size(), 4u);
  EXPECT_TRUE(stdfs::is_directory(state / "tarvik"));
  EXPECT_TRUE(scene.journals().empty());
}

// A user without a home (a service account, a container), the program in a folder it cannot
// write: the journal goes to the user's private folder in the temporary folder, and packing
// works.
TEST(WaysOut, AUserWithoutAHomeStillPacks) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run the program as another user";
  Scene scene(0);
  const uid_t nobody = 65534;
  const auto tmp = scene.dir.native() / "tmp";
  const auto work = scene.dir.native() / "work";
  test::write_file(work / "a.txt", "текст");
  stdfs::create_directories(tmp);
  for (const auto& p : {scene.dir.native(), tmp, work}) stdfs::permissions(p, stdfs::perms::all);
  stdfs::permissions(work / "a.txt", stdfs::perms::all);
  Child run = spawn(scene.program, {"pack", "a.txt"}, work,
                    {"HOME=/nonexistent", "XDG_STATE_HOME=", "TMPDIR=" + tmp.string()}, nobody);
  EXPECT_EQ(finish(run), 0) << test::read_file(run.err);
  EXPECT_TRUE(stdfs::is_regular_file(work / "arhiv.kzv"));
  EXPECT_TRUE(stdfs::is_directory(tmp / "tarvik-65534"));
  EXPECT_TRUE(stdfs::is_empty(tmp / "tarvik-65534"));
  EXPECT_TRUE(scene.journals().empty());
}
