// What a request does, for every front end (the windows, the console, the tests): the checks
// before an extraction, the progress maximum, the target folder, and the operation run by the
// progress dialog, which owns the journal, the caption and the rollback (ops/runner.h).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
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
  bool password_checked = false;            // the browser asked it when it opened the archive
};

// One run per chosen entry, each as the first: volume 001's checksum and password (a failure
// shows its message and ends everything with EndProgram; the password is asked once per row
// unless `password_checked`), then Raspakovka2 under the dialog with code "5" (the archive's size as
// the maximum; journalled, Abort ignored). A row that fails has shown its message and is
// rolled back (a row that only refused unsafe entries keeps the rest), and the next row is run; a missing volume or a wrong version text ends with EndProgram.
// "Извлечение выполнено!" is shown when every row was extracted. No chosen entry at all:
// "Не выбран архив для распаковки!" and Failed.
Outcome extract_chosen(const ChosenJob& job, ProgressDialog& dialog, Ui& ui);

// The self-extracting start of the executable `exe` (it ends in a volume tail): the password
// ("Введите пароль"), the checksum of the executable, then under the dialog (code "6", the
// executable's size as the maximum) Raspakovka_exe into the executable's folder, later volumes
// beside it. A refused password or a failed checksum shows its message and gives EndProgram
// without extracting anything. The journal lives in `program_folder`. A run that is done ends
// with one message naming the folder it filled ("Распаковано 40 файлов в <folder>").
Outcome self_extracting_start(const std::string& exe, const std::string& program_folder,
                              ProgressDialog& dialog, Ui& ui);

// When `own_executable` carries an archive, its run: self_extracting_start, or for one whose
// end was cut off or changed its message and Failed. nullopt for a plain program.
std::optional<Outcome> run_if_self_extracting(const std::string& own_executable,
                                              const std::string& program_folder,
                                              ProgressDialog& dialog, Ui& ui);

// What every start of a program does first: the journals of runs that are gone are rolled
// back, each told in one sentence. Never throws.
void recover_first(const std::string& program_folder, Ui& ui);

// Every check of an archive: volume 001's checksum and password, then each volume and entry
// (nothing is written). Failed when anything is wrong; the messages have been shown.
Outcome test(const std::string& archive, Ui& ui);

// Volume 001's password before a listing; false when refused (the message has been shown).
bool listing_allowed(const std::string& archive, Ui& ui);

// The console's "extract": the entries named at one level of an archive, as one run under the
// dialog (code "5", journalled, abortable): a failure or Abort takes back what the earlier
// entries wrote too, and the target's missing levels are made by the run. First the checks
// of volume 001 and the level's listing; a name that is no entry of the level is named and
// nothing is written. "Извлечение выполнено!" when all were extracted.
struct NamedJob {
  std::string archive;                // volume 001, full path
  std::string target_folder;          // entries are written below it
  std::string level;                  // "" at the top, else "\A" or "\A\B"
  std::vector<std::string> names;     // file or folder names at that level
  std::string program_folder;         // where the journal lives
};
Outcome extract_named(const NamedJob& job, ProgressDialog& dialog, Ui& ui);

// What an archive holds, for the word at the end of a run: its file entries and the bytes of
// its volumes (a self-extracting first volume with its stub). Read from its records, data
// seeked over; nullopt when the archive cannot be walked. Never throws; shows nothing.
struct ArchiveSummary {
  std::uint64_t files = 0;
  std::uint64_t bytes = 0;
};
std::optional<ArchiveSummary> summarize(const std::string& first_volume);

// The exit status of a program for the outcome of its run.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // EndProgram too
inline constexpr int kExitUsage = 2;
inline constexpr int kExitAborted = 3;
int exit_status(Outcome outcome);

}  // namespace tarvik::requests
