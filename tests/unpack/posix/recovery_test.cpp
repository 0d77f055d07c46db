// A journal left by a process killed outright, at each point of an extraction in turn, is
// rolled back by the next run: what the dead run created is gone and every file it had set
// aside to replace is back.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "../archive_fixture.h"
#include "format/messages.h"
#include "ops/journal.h"
#include "ops/runner.h"
#include "unpack/extract.h"

using namespace tarvik;
using namespace tarvik::test;

namespace {
// Dies at its n-th pump, as a process that is killed does: nothing runs after it.
class DyingUi : public RecordingUi {
 public:
  explicit DyingUi(std::uint64_t n) : n_(n) {}
  bool pump() override {
    if (++count_ == n_) ::kill(::getpid(), SIGKILL);
    return false;
  }

 private:
  std::uint64_t n_;
  std::uint64_t count_ = 0;
};
}  // namespace

TEST(Recovery, AKilledExtractionIsUndoneAtEveryPoint) {
  FixtureArchive a;
  a.entries = {folder("\\a"), file("\\a\\b.txt", noise(5000, 6)), file("\\c.txt", "new c"),
               folder("\\d\\e"), file("\\d\\e\\f.txt", noise(3000, 8)), file("\\g.txt", "new g")};
  a.limit = 1024;
  auto prepare = [&](Bench& b) {
    write_file(b.in_out("c.txt"), "old c");
    write_file(b.in_out("g.txt"), "old g");
    fs::set_attributes(format::join_path(b.out, "c.txt"), fs::kReadOnly);
    fs::create_directory(format::join_path(b.out, "d"));
    return b.write("a", a);
  };
  for (std::uint64_t n = 1;; ++n) {
    SCOPED_TRACE(n);
    Bench b;
    const auto first = prepare(b).at(0);
    const auto before = b.whole_tree();
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      DyingUi ui(n);
      run_operation({OperationCode::UnpackFromWindow, b.program, "a.kzv"}, ui,
                    [&](Operation& op) { return Raspakovka({first, b.out}, op); });
      ::_exit(0);  // ran to its end before the n-th pump
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status)) {
      EXPECT_GT(n, 10u);
      EXPECT_EQ(read_file(b.in_out("c.txt")), "new c");
      break;
    }
    ASSERT_TRUE(WIFSIGNALED(status));
    RecordingUi next;
    recover_abandoned_journals({b.program}, next);
    EXPECT_EQ(next.messages, std::vector<std::string>{msg::recovered_journal(
                                 format::join_path(b.program, format::kJournalFileName))});
    EXPECT_EQ(b.whole_tree(), before);
  }
}
