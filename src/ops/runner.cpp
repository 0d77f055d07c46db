#include "ops/runner.h"

#include <exception>
#include <new>
#include <optional>

#include "format/layout.h"
#include "format/messages.h"
#include "format/printable.h"
#include "format/names.h"
#include "ops/journal.h"
#include "platform/error.h"

namespace tarvik {

namespace {
bool is_packing(OperationCode code) {
  return code == OperationCode::PackFromWindow || code == OperationCode::PackRequest;
}

// Runs `step`; whatever it throws is shown. False when it threw.
template <class Step>
bool guarded(Ui& ui, Step&& step) {
  try {
    step();
    return true;
  } catch (const std::bad_alloc&) {
    ui.show_message(msg::kOutOfMemory);
  } catch (const std::exception& e) {
    ui.show_message(e.what());
  } catch (...) {
    ui.show_message(msg::kUnexpectedError);
  }
  return false;
}
// Holds back the last message of a run until the run is over, so that the message of a
// failure and the sentence that everything was undone come as one (one box in the windows).
// A question shows what is held first, so the order of what the user sees stays.
class LastMessageHeld final : public ForwardingUi {
 public:
  using ForwardingUi::ForwardingUi;
  ~LastMessageHeld() override { release(); }
  void show_message(std::string_view text) override {
    release();
    held_ = std::string(text);
  }
  std::optional<std::string> ask(std::string_view title, std::string_view prompt) override {
    release();
    return inner().ask(title, prompt);
  }
  // Shows what is held; with `undone`, the sentence that the run was undone after it (alone
  // when nothing is held).
  void release(bool undone = false) {
    if (held_) {
      inner().show_message(undone ? msg::failed_run_undone(*held_) : *held_);
    } else if (undone) {
      inner().show_message(msg::kFailedRunUndone);
    }
    held_.reset();
  }

 private:
  std::optional<std::string> held_;
};

}  // namespace

void recover_at_start(const std::string& program_folder, Ui& ui) {
  guarded(ui, [&] { recover_abandoned_journals(journal_folders(program_folder), ui); });
}

Outcome run_operation(const RunRequest& request, Ui& ui,
                      const std::function<Outcome(Operation&)>& operation) {
  std::optional<RollbackJournal> journal;
  if (!guarded(ui, [&] {
        journal.emplace(RollbackJournal::create_in(journal_folders(request.program_folder)));
      }))
    return Outcome::Failed;
  ui.set_caption(std::string(is_packing(request.code) ? msg::kPackingCaption
                                                      : msg::kUnpackingCaption) +
                 format::printable(request.volume_name));
  LastMessageHeld held(ui);
  Operation op{held, &*journal};
  // The browser's extraction ignores Abort: a press seen here must not roll it back.
  if (request.code != OperationCode::ExtractChosen) op.poll();

  Outcome outcome = Outcome::Failed;
  // Operations report their own failures; this is the last guard. What a failed operation
  // had done is rolled back like an abort.
  if (!guarded(held, [&] { outcome = operation(op); })) op.abort = true;
  const bool failed = op.abort && outcome != Outcome::Done && outcome != Outcome::Aborted;
  if (!failed) held.release();

  const bool anything_done = journal->mark() > 0;
  std::vector<std::string> problems;
  const bool ran = guarded(ui, [&] {
    problems = op.abort ? Otkat(*journal, ui) : drop_replaced_copies(*journal);
  });
  if (!ran || !problems.empty()) held.release();
  for (const auto& problem : problems) ui.show_message(problem);
  const bool undone = op.abort && ran && problems.empty();  // the rollback ran to its end
  if (!ran || !problems.empty()) outcome = Outcome::Failed;
  // A rollback that could not finish leaves its journal for the next start.
  if (op.abort && !undone) journal->keep();
  held.release(failed && undone && anything_done);
  ui.set_progress(0);
  if (op.abort && outcome == Outcome::Done) outcome = Outcome::Aborted;
  return outcome;  // the journal closes and deletes itself here
}

}  // namespace tarvik
