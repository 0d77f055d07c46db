// What a request does, for every front end (the windows, the console, the tests): the checks
// before an extraction, the progress maximum, the target folder, and the operation run by the
// progress dialog, which owns the journal, the caption and the rollback (ops/runner.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ops/runner.h"
#include "pack/packer.h"
#include "platform/ui.h"
#include "unpack/extract.h"

namespace tarvik::requests {

// The progress dialog as the requests see it: it shows itself with its bar at 0 of `total`,
// runs `operation` through run_operation (journal, caption, rollback) and gives the outcome.
class ProgressDialog {
 public:
  virtual ~ProgressDialog() = default;
  virtual Outcome run(const RunRequest& request, std::uint64_t total,
                      const std::function<Outcome(Operation&)>& operation) = 0;
};

// The dialog without a window: the runner on the caller's Ui (the console's progress line,
// tests).
class DirectDialog final : public ProgressDialog {
 public:
  explicit DirectDialog(Ui& ui) : ui_(ui) {}
  Outcome run(const RunRequest& request, std::uint64_t total,
              const std::function<Outcome(Operation&)>& operation) override;

 private:
  Ui& ui_;
};

// Packs the selection (codes "0" and "1"); the bar's maximum is SumSize of the selection.
// `caption_name` follows "Упаковка: " (the name an earlier command left, or nothing).
Outcome pack(const Selection& selection, const PackOptions& options, OperationCode code,
             const std::string& caption_name, ProgressDialog& dialog);

// How the target folder of an extraction comes to be.
enum class Target {
  Existing,  // the archive's own folder: nothing is created
  NewFolder,  // one level beside the archive, made and journalled when missing (unpack to folder)
  AnyFolder,  // every missing level, each journalled (the console's -C)
};

struct UnpackJob {
  std::string archive;        // volume 001, full path
  std::string target_folder;  // entries are written below it
  Target target = Target::Existing;
  OperationCode code = OperationCode::UnpackFromWindow;
  std::string program_folder;  // where the journal lives
  unsigned threads = 0;        // inflate workers; 0: the machine's cores
};

// The whole archive: first the checks (volume 001's checksum, then its password: on a failure
// the message has been shown, nothing is created and the outcome is EndProgram), then under
// the dialog with the archive's size as the maximum: the target folder, then Raspakovka. An
// abort removes the folder made for it too.
Outcome unpack(const UnpackJob& job, ProgressDialog& dialog, Ui& ui);

// The browser's "Извлечь": the entries of the rows chosen at one level.
struct ChosenJob {
  std::string archive;        // volume 001, full path
  std::string target_folder;  // the archive's folder: entries are written below it
  std::string browse_level;   // "" at the top, else "\A" or "\A\B"
  std::vector<std::string> chosen_entries;  // ChosenEntry of each row, in list order
  std::string program_folder;               // where the journal lives
};

// One run per chosen entry, each as the first: volume 001's checksum and password (a failure
// shows its message and ends everything with EndProgram, so an archive with a password asks
// for it once per row), then Raspakovka2 under the dialog with code "5" (the archive's size as
// the maximum; journalled, Abort ignored). A row that fails has shown its message and is
// rolled back (a row that only refused unsafe entries keeps the rest), and the next row is run; a missing volume or a wrong version text ends with EndProgram.
// "Извлечение выполнено!" is shown when every row was extracted. No chosen entry at all:
// "Не выбран архив для распаковки!" and Failed.
Outcome extract_chosen(const ChosenJob& job, ProgressDialog& dialog, Ui& ui);

// The self-extracting start of the executable `exe` (it ends in a volume tail): the password
// ("Введите пароль"), the checksum of the executable, then under the dialog (code "6", the
// executable's size as the maximum) Raspakovka_exe into the executable's folder, later volumes
// beside it. A refused password or a failed checksum shows its message and gives EndProgram
// without extracting anything. The journal lives in `program_folder`.
Outcome self_extracting_start(const std::string& exe, const std::string& program_folder,
                              ProgressDialog& dialog, Ui& ui);

}  // namespace tarvik::requests
