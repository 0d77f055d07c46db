// The operation runner: what the progress dialog does around an operation, without drawing.
// It creates the journal (except for the browser's extraction), sets the caption, runs the
// operation, rolls back when the abort flag is set at its end (an operation that fails in a
// way that must leave nothing sets the flag too), drops the copies of replaced files
// otherwise, and deletes the journal at the end whether or not a rollback ran.
#pragma once

#include <functional>
#include <string>

#include "ops/operation.h"

namespace tarvik {

struct RunRequest {
  OperationCode code = OperationCode::PackFromWindow;
  std::string program_folder;  // where the journal lives
  std::string volume_name;     // file-name part shown in the caption (may be empty)
};

Outcome run_operation(const RunRequest& request, Ui& ui,
                      const std::function<Outcome(Operation&)>& operation);

}  // namespace tarvik
