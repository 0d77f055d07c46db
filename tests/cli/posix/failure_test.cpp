// A run of the tarvik program that fails part-way gives back everything: whatever ended it (a
// write error, a full file system, a missing or damaged later volume, damaged data of an
// entry, a folder that cannot be written), the target folder is byte for byte as it was, the
// message names the file and the reason, one sentence says the folder is as it was, the exit
// status is 1 and no journal is left. The same for packing over older volumes.
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>

#include "../../unpack/archive_fixture.h"
#include "format/messages.h"
#include "platform/fs.h"
#include "test_support.h"

using namespace tarvik;
using tarvik::test::TempDir;
namespace stdfs = std::filesystem;

namespace {

constexpr std::size_t kMiB = 1024 * 1024;
constexpr uid_t kNobody = 65534;

// How the program is started: a cap on the size of any file it writes (a write error part-way,
// "File too large"), and the user it runs as (root ignores permissions).
struct Limits {
  std::optional<rlim_t> file_size;
  bool as_nobody = false;
};

struct Ran {
  int status = -1;
  std::string err;
};

// Standard error goes to `err` (not on a small file system: the message must get out).
Ran run(const stdfs::path& program, const std::vector<std::string>& args,
        const stdfs::path& folder, const stdfs::path& err, const Limits& limits = {}) {
  const pid_t pid = fork();
  if (pid == 0) {
    int in = open("/dev/null", O_RDONLY);
    int out = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    if (limits.file_size) {
      signal(SIGXFSZ, SIG_IGN);  // a write past the cap then fails with EFBIG
      rlimit cap{*limits.file_size, *limits.file_size};
      if (setrlimit(RLIMIT_FSIZE, &cap) != 0) _exit(124);
    }
    if (limits.as_nobody && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(125);
    if (chdir(folder.c_str()) != 0) _exit(126);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  Ran ran;
  ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  ran.err = test::read_file(err);
  stdfs::remove(err);
  return ran;
}

using Tree = std::map<std::string, std::string>;

Tree tree(const stdfs::path& root) {
  Tree out;
  if (!stdfs::exists(root)) return out;
  for (auto& e : stdfs::recursive_directory_iterator(root))
    out[stdfs::relative(e.path(), root).string()] =
        e.is_symlink()  ? "<link>"
        : e.is_directory() ? "<dir>"
                           : test::read_file(e.path());
  return out;
}

// "" when equal, else the first name that differs with its sizes.
std::string first_difference(const Tree& before, const Tree& after) {
  for (const auto& [name, bytes] : before) {
    auto it = after.find(name);
    if (it == after.end()) return name + " is gone (" + std::to_string(bytes.size()) + " bytes)";
    if (it->second != bytes) {
      std::size_t at = 0;
      while (at < bytes.size() && at < it->second.size() && bytes[at] == it->second[at]) ++at;
      return name + " differs at byte " + std::to_string(at) + ": " +
             std::to_string(bytes.size()) + " bytes before, " +
             std::to_string(it->second.size()) + " now";
    }
  }
  for (const auto& [name, bytes] : after)
    if (!before.count(name)) return name + " is new (" + std::to_string(bytes.size()) + " bytes)";
  return "";
}

void open_to_all(const stdfs::path& root) {
  stdfs::permissions(root, stdfs::perms::all);
  for (auto& e : stdfs::recursive_directory_iterator(root))
    stdfs::permissions(e.path(), stdfs::perms::all);
}

// A small file system of its own (root only): the target of the full-disk row.
class SmallDisk {
 public:
  SmallDisk(const stdfs::path& at, const char* size) : at_(at) {
    stdfs::create_directories(at_);
    mounted_ = geteuid() == 0 &&
               mount("tmpfs", at_.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted_) umount2(at_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }

 private:
  stdfs::path at_;
  bool mounted_ = false;
};

// The program in a folder of its own (its journals are only this test's), the archive's
// folder and the target.
struct Scene {
  TempDir dir;
  stdfs::path prog = dir.native() / "prog";
  stdfs::path program = prog / "tarvik";
  stdfs::path arch = dir.native() / "arch";
  stdfs::path target = dir.native() / "t";

  Scene() {
    stdfs::create_directories(prog);
    stdfs::create_directories(arch);
    stdfs::copy_file(fs::to_native(TARVIK_CLI)->string(), program);
  }
  stdfs::path err() const { return dir.native() / "stderr.txt"; }
  bool journal_left() const {
    for (auto& e : stdfs::directory_iterator(prog))
      if (e.path().filename().string().starts_with("Tarvik_file")) return true;
    return false;
  }
};

// The archive of the first case users met: d\n2.bin (1 MiB), then d\n1.bin (3 MiB), in
// volumes of 1.5 MiB when `volumes`: n2 ends in volume 001, n1 runs on into 002 and 003.
test::FixtureArchive newer_files(bool volumes) {
  test::FixtureArchive a;
  a.entries = {test::folder("\\d"), test::file("\\d\\n2.bin", test::noise(1 * kMiB, 2)),
               test::file("\\d\\n1.bin", test::noise(3 * kMiB, 1))};
  if (volumes) a.limit = 3 * kMiB / 2;
  return a;
}

}  // namespace

TEST(FailedRun, UnpackLeavesTheTargetAsItWas) {
  enum class Held { Nothing, OlderFiles };
  struct Way {
    const char* what;
    bool volumes;
    // Damages the archive or the target, returns how the program runs; nullopt: cannot be
    // arranged here (said why).
    std::function<std::optional<Limits>(Scene&, std::vector<std::string>& volumes)> arrange;
    std::function<std::string(const Scene&)> reason;  // a text the message must hold
    bool undone_sentence;                             // the run had done something to undo
  };
  const Way ways[] = {
      {"write error", false,
       [](Scene&, std::vector<std::string>&) -> std::optional<Limits> {
         return Limits{2 * kMiB, false};
       },
       [](const Scene&) { return std::string(std::strerror(EFBIG)); }, true},
      {"full file system", false,
       [](Scene&, std::vector<std::string>&) -> std::optional<Limits> { return Limits{}; },
       [](const Scene&) { return std::string(std::strerror(ENOSPC)); }, true},
      {"missing volume", true,
       [](Scene&, std::vector<std::string>& volumes) -> std::optional<Limits> {
         stdfs::remove(*fs::to_native(volumes.at(1)));
         return Limits{};
       },
       [](const Scene&) { return std::string("b.002.kzv не найден!"); }, true},
      {"damaged later volume", true,
       [](Scene&, std::vector<std::string>& volumes) -> std::optional<Limits> {
         const auto path = *fs::to_native(volumes.at(1));
         std::string bytes = test::read_file(path);
         bytes[bytes.size() / 2] ^= 0x20;
         test::write_file(path, bytes);
         return Limits{};
       },
       [](const Scene&) { return std::string(msg::kChecksumError); }, true},
      {"damaged entry data", false, nullptr,
       [](const Scene&) { return msg::damaged_entry("C:\\Work\\d\\n1.bin", ""); }, true},
      {"target folder cannot be written", false,
       [](Scene& s, std::vector<std::string>&) -> std::optional<Limits> {
         stdfs::create_directories(s.target / "d");
         open_to_all(s.dir.native());
         stdfs::permissions(s.target / "d", stdfs::perms::owner_read | stdfs::perms::owner_exec |
                                                stdfs::perms::others_read |
                                                stdfs::perms::others_exec);
         return Limits{std::nullopt, geteuid() == 0};
       },
       [](const Scene&) { return std::string(std::strerror(EACCES)); }, false},
  };
  for (const Way& way : ways) {
    for (Held held : {Held::Nothing, Held::OlderFiles}) {
      SCOPED_TRACE(std::string(way.what) + (held == Held::Nothing ? ", empty target"
                                                                  : ", older files"));
      Scene s;
      std::optional<SmallDisk> disk;
      if (std::string(way.what) == "full file system") {
        disk.emplace(s.target, "3m");
        if (!disk->mounted()) {
          std::cout << "full file system: no tmpfs of our own without root, row skipped\n";
          continue;
        }
      }
      test::FixtureArchive a = newer_files(way.volumes);
      if (!way.arrange) {  // damaged entry data: a stream that breaks off with garbage
        std::string packed = test::zlib_of(a.entries[2].data);
        for (std::size_t i = packed.size() / 2; i < packed.size() / 2 + 64; ++i) packed[i] ^= 0x5a;
        a.entries[2].packed = packed;
      }
      auto volumes = test::write_archive(fs::from_native(s.arch), "b", a);
      stdfs::create_directories(s.target);
      if (held == Held::OlderFiles) {
        test::write_file(s.target / "d" / "n1.bin", test::noise(kMiB / 2, 11));
        test::write_file(s.target / "d" / "n2.bin", test::noise(kMiB / 2, 12));
        test::write_file(s.target / "mine.txt", "the user's own");
      }
      const std::optional<Limits> limits = way.arrange ? way.arrange(s, volumes) : Limits{};
      ASSERT_TRUE(limits);
      const Tree before = tree(s.target);

      const Ran ran = run(s.program, {"unpack", *fs::to_native(volumes[0]), "-C", s.target},
                          s.dir.native(), s.err(), *limits);
      stdfs::permissions(s.dir.native(), stdfs::perms::all);
      if (stdfs::exists(s.target / "d")) stdfs::permissions(s.target / "d", stdfs::perms::all);

      EXPECT_EQ(ran.status, 1) << ran.err;
      EXPECT_EQ(first_difference(before, tree(s.target)), "");
      EXPECT_NE(ran.err.find(way.reason(s)), std::string::npos) << ran.err;
      EXPECT_EQ(ran.err.find(msg::kFailedRunUndone) != std::string::npos, way.undone_sentence)
          << ran.err;
      EXPECT_FALSE(s.journal_left());
    }
  }
}

// Packing over the volumes of an older archive of the same name: whatever ends the run, the
// older volumes are there again, byte for byte, and nothing else is.
TEST(FailedRun, PackOverOlderVolumesPutsThemBack) {
  struct Way {
    const char* what;
    std::function<bool(Scene&, const stdfs::path& work, Limits&)> arrange;  // false: skipped
    std::string reason;
  };
  const Way ways[] = {
      {"write error",
       [](Scene&, const stdfs::path&, Limits& l) {
         l.file_size = kMiB;
         return true;
       },
       std::strerror(EFBIG)},
      {"a file that cannot be read",
       [](Scene&, const stdfs::path& work, Limits&) {
         stdfs::create_symlink("/proc/self/mem", work / "items" / "z.bin");
         return true;
       },
       "z.bin"},
      {"full file system", nullptr, std::strerror(ENOSPC)},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.what);
    Scene s;
    const stdfs::path work = s.dir.native() / "work";
    std::optional<SmallDisk> disk;
    if (!way.arrange) {
      disk.emplace(work, "5m");
      if (!disk->mounted()) {
        std::cout << "full file system: no tmpfs of our own without root, row skipped\n";
        continue;
      }
    }
    test::write_file(work / "items" / "a.bin", test::noise(kMiB / 2, 1));
    const Ran older = run(s.program, {"pack", "-n", "b", "-v", "256", "items"}, work, s.err());
    ASSERT_EQ(older.status, 0) << older.err;
    test::write_file(work / "items" / "a.bin", test::noise(kMiB, 2));
    test::write_file(work / "items" / "b.bin", test::noise(3 * kMiB, 3));
    Limits limits;
    if (way.arrange) {
      ASSERT_TRUE(way.arrange(s, work, limits));
    }
    const Tree before = tree(work);

    const Ran ran = run(s.program, {"pack", "-n", "b", "-v", "2048", "items"}, work, s.err(),
                        limits);
    EXPECT_EQ(ran.status, 1) << ran.err;
    EXPECT_EQ(first_difference(before, tree(work)), "");
    EXPECT_NE(ran.err.find(way.reason), std::string::npos) << ran.err;
    EXPECT_NE(ran.err.find(msg::kFailedRunUndone), std::string::npos) << ran.err;
    EXPECT_FALSE(s.journal_left());
  }
}

// A run killed outright leaves its journal; the very next start of the program, whatever it is
// asked (here only its help), rolls it back first and says so in one sentence.
TEST(FailedRun, EveryStartRecoversAKilledRunFirst) {
  Scene s;
  test::FixtureArchive a;
  // Far more than the workers hold at once: the run is far from its end at the point.
  for (int i = 0; i < 160; ++i)
    a.entries.push_back(test::file("\\f" + std::to_string(i) + ".bin", test::noise(128 * 1024, i)));
  const auto volumes = test::write_archive(fs::from_native(s.arch), "b", a);
  stdfs::create_directories(s.target);
  test::write_file(s.target / "f0.bin", "older f0");
  test::write_file(s.target / "f1.bin", "older f1");
  const Tree before = tree(s.target);

  const pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    const std::string archive = *fs::to_native(volumes[0]);
    execl(s.program.c_str(), s.program.c_str(), "unpack", archive.c_str(), "-C",
          s.target.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // The point: the third file is in place (the older f0 and f1 were set aside before it).
  bool reached = false;
  for (int i = 0; i < 400000 && !reached; ++i) {
    reached = stdfs::exists(s.target / "f2.bin");
    if (!reached) usleep(50);
  }
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(reached);
  ASSERT_TRUE(s.journal_left());

  const Ran help = run(s.program, {"--help"}, s.dir.native(), s.err());
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.err.find(msg::recovered_journal(fs::from_native(s.prog / "Tarvik_file.tmp"))),
            std::string::npos)
      << help.err;
  EXPECT_EQ(first_difference(before, tree(s.target)), "");
  EXPECT_FALSE(s.journal_left());
}
