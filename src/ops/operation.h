// What every long operation shares: the Ui it talks through, the rollback journal it appends
// to, the abort flag, and the outcome it returns (operations never throw across this seam).
#pragma once

#include <string>

#include "platform/ui.h"

namespace tarvik {

class RollbackJournal;

enum class Outcome {
  Done,        // ran to its end
  Failed,      // stopped with a message; what it wrote is rolled back like an abort
  Aborted,     // the user asked for Abort; rolled back
  EndProgram,  // a failed check that ends the program (the main window closes)
};

// The one-character codes of the progress dialog.
enum class OperationCode : char {
  PackFromWindow = '0',
  PackRequest = '1',
  UnpackToFolderRequest = '2',
  UnpackHereRequest = '3',
  UnpackFromWindow = '4',
  ExtractChosen = '5',
  SelfExtract = '6',
};

struct Operation {
  Ui& ui;
  RollbackJournal* journal = nullptr;  // none for the browser's extraction
  bool abort = false;                  // AbortFlag

  // Lets the Ui serve pending work; true once Abort was asked (it stays asked).
  bool poll() {
    if (ui.pump()) abort = true;
    return abort;
  }
};

}  // namespace tarvik
