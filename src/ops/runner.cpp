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
  Operation op{ui, &*journal};
  // The browser's extraction ignores Abort: a press seen here must not roll it back.
  if (request.code != OperationCode::ExtractChosen) op.poll();

  Outcome outcome = Outcome::Failed;
  // Operations report their own failures; this is the last guard. What a failed operation
  // had done is rolled back like an abort.
  if (!guarded(ui, [&] { outcome = operation(op); })) op.abort = true;
  const bool failed = op.abort && outcome != Outcome::Done && outcome != Outcome::Aborted;

  const bool anything_done = journal->mark() > 0;
  std::vector<std::string> problems;
  const bool ran = guarded(ui, [&] {
    problems = op.abort ? Otkat(*journal, ui) : drop_replaced_copies(*journal);
  });
  for (const auto& problem : problems) ui.show_message(problem);
  const bool undone = op.abort && ran && problems.empty();  // the rollback ran to its end
  if (!ran || !problems.empty()) outcome = Outcome::Failed;
  // A rollback that could not finish leaves its journal for the next start.
  if (op.abort && !undone) journal->keep();
  if (failed && undone && anything_done) ui.show_message(msg::kFailedRunUndone);
  ui.set_progress(0);
  if (op.abort && outcome == Outcome::Done) outcome = Outcome::Aborted;
  return outcome;  // the journal closes and deletes itself here
}

}  // namespace tarvik
