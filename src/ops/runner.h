// The operation runner: what the progress dialog does around an operation, without drawing.
// For every operation but the browser's extraction it first rolls back the journals whose
// owner is gone, then creates the operation's own journal (in the program's folder when it
// can be written, else in the user's own folder), sets the caption, runs the operation, rolls
// back when the abort flag is set at its end (an operation that fails in a way that must
// leave nothing sets the flag too; so does anything the operation throws), drops the copies
// of replaced files otherwise, and deletes the journal at the end. A rollback that cannot put
// a file back names it and makes the run fail.
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

Outcome run_operation(const RunRequest& request, Ui& ui,
                      const std::function<Outcome(Operation&)>& operation);

}  // namespace tarvik
