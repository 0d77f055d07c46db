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
    ui.show_message("Недостаточно памяти");
  } catch (const std::exception& e) {
    ui.show_message(e.what());
  } catch (...) {
    ui.show_message("Непредвиденная ошибка");
  }
  return false;
}
}  // namespace

Outcome run_operation(const RunRequest& request, Ui& ui,
                      const std::function<Outcome(Operation&)>& operation) {
  std::optional<RollbackJournal> journal;
  if (request.code != OperationCode::ExtractChosen) {
    const auto folders = journal_folders(request.program_folder);
    guarded(ui, [&] { recover_abandoned_journals(folders, ui); });
    if (!guarded(ui, [&] { journal.emplace(RollbackJournal::create_in(folders)); }))
      return Outcome::Failed;
  }
  ui.set_caption(std::string(is_packing(request.code) ? msg::kPackingCaption
                                                      : msg::kUnpackingCaption) +
                 format::printable(request.volume_name));
  Operation op{ui, journal ? &*journal : nullptr};
  op.poll();

  Outcome outcome = Outcome::Failed;
  // Operations report their own failures; this is the last guard. What a failed operation
  // had done is rolled back like an abort.
  if (!guarded(ui, [&] { outcome = operation(op); })) op.abort = true;

  if (journal) {
    std::vector<std::string> problems;
    if (!guarded(ui, [&] { problems = op.abort ? Otkat(*journal, ui) : drop_replaced_copies(*journal); }))
      outcome = Outcome::Failed;
    for (const auto& problem : problems) ui.show_message(problem);
    if (!problems.empty()) outcome = Outcome::Failed;
  }
  ui.set_progress(0);
  // Abort counts only where it rolls back (the browser's extraction ignores it).
  if (journal && op.abort && outcome == Outcome::Done) outcome = Outcome::Aborted;
  return outcome;  // the journal closes and deletes itself here
}

}  // namespace tarvik
