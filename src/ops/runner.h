// The operation runner: what the progress dialog does around an operation, without drawing.
// It creates the operation's own journal (in the program's folder when it can be written, else
// in the user's own folder), sets the caption, runs the operation, rolls back when the abort
// flag is set at its end (an operation that fails sets the flag too: a failed run leaves
// nothing behind, and after the message that names the failure one sentence says the folder
// is as it was; anything the operation throws is such a failure), drops the copies of
// replaced files otherwise, and deletes the journal at the end. A rollback that cannot put a
// file back names it, makes the run fail and keeps its journal for the next start. Journals of
// runs that are gone are rolled back at the start of the program (recover_at_start).
#pragma once

#include <functional>
#include <string>

#include "ops/operation.h"

namespace tarvik {

struct RunRequest {
  OperationCode code = OperationCode::PackFromWindow;
  std::string program_folder;  // where the journal lives when it can be written
  std::string volume_name;     // file-name part shown in the caption (may be empty)
};

// What every start of a program does first: the journals (in the folders of
// journal_folders(program_folder)) whose runs are gone are rolled back, each told in one
// sentence. Never throws: what fails is shown.
void recover_at_start(const std::string& program_folder, Ui& ui);

Outcome run_operation(const RunRequest& request, Ui& ui,
                      const std::function<Outcome(Operation&)>& operation);

}  // namespace tarvik
