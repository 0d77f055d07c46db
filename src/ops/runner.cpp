#include "ops/runner.h"

#include <exception>
#include <optional>

#include "format/layout.h"
#include "format/messages.h"
#include "format/names.h"
#include "ops/journal.h"
#include "platform/error.h"

namespace tarvik {

namespace {
bool is_packing(OperationCode code) {
  return code == OperationCode::PackFromWindow || code == OperationCode::PackRequest;
}
}  // namespace

Outcome run_operation(const RunRequest& request, Ui& ui,
                      const std::function<Outcome(Operation&)>& operation) {
  std::optional<RollbackJournal> journal;
  if (request.code != OperationCode::ExtractChosen) {
    std::string path = format::join_path(request.program_folder, format::kJournalFileName);
    try {
      journal.emplace(path);
    } catch (const OsError& e) {
      ui.show_message(msg::cannot_create_journal(path, e.reason()));
      return Outcome::Failed;
    }
  }
  ui.set_caption(std::string(is_packing(request.code) ? msg::kPackingCaption
                                                      : msg::kUnpackingCaption) +
                 request.volume_name);
  Operation op{ui, journal ? &*journal : nullptr};
  op.poll();

  Outcome outcome;
  try {
    outcome = operation(op);
  } catch (const std::exception& e) {
    // Operations report their own failures; this is the last guard.
    ui.show_message(e.what());
    op.abort = true;
    outcome = Outcome::Failed;
  }

  if (journal) {
    try {
      if (op.abort)
        Otkat(*journal, ui);
      else
        drop_replaced_copies(*journal);
    } catch (const std::exception& e) {
      ui.show_message(e.what());
    }
  }
  ui.set_progress(0);
  // Abort counts only where it rolls back (the browser's extraction ignores it).
  if (journal && op.abort && outcome == Outcome::Done) outcome = Outcome::Aborted;
  return outcome;  // the journal closes and deletes itself here
}

}  // namespace tarvik
