// Extraction: the whole archive into a folder (Raspakovka), the entries chosen in the browser
// (Raspakovka2), the listing walk (Raspakovka1), the self-extracting run (Raspakovka_exe), the
// archive test, and the checks that come before them. All are one walk over the volume chain
// (unpack/walk.h) with different visitors.
//
// Paths are Windows path text (UTF-8). Operations report through the Ui with the system's
// texts and return an outcome; they never throw.
//   Done        every entry extracted
//   Failed      a message was shown: an unsafe entry was skipped (the others are extracted),
//               or an entry or volume is damaged, a file could not be written, or the first
//               file is not volume 001: then the run ended early and, with a journal, op.abort
//               is set so that the runner rolls back everything it did
//   Aborted     the user asked for Abort (op.abort is set: the runner rolls back)
//   EndProgram  wrong version text, a missing later volume, a later volume whose checksum
//               fails (rolled back as Failed)
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ops/checks.h"
#include "ops/operation.h"
#include "platform/ui.h"

namespace tarvik {

class RollbackJournal;

// The whole archive (operation codes "2", "3", "4").
struct ExtractRequest {
  std::string first_volume;   // full path of volume 001; later volumes lie beside it
  std::string target_folder;  // entries are written below it
  // Create the target folder when it is missing (journalled); a run that then fails removes
  // the levels it made when they are left empty.
  bool create_target = false;
  unsigned threads = 0;  // inflate workers; 0: the machine's cores
};

// Every entry of the archive below `target_folder`. Each created folder level and file is
// journalled (op.journal); an existing target is moved aside into the journal first, so a
// rollback puts it back. The abort flag is tested before each read of packed data and while
// inflating. Volume 001's checksum and password are the caller's (check_before_extract).
Outcome Raspakovka(const ExtractRequest& request, Operation& op);

// The entries chosen in the browser (operation code "5").
struct ChosenRequest {
  std::string first_volume;
  std::string target_folder;
  std::string browse_level;  // "" at the top, else "\A" or "\A\B"
  std::string chosen_entry;  // the row's name, with "\" appended for a folder
  // The browser's extraction ignores Abort; the console's stops on it (Ctrl-C, a signal) and
  // is rolled back.
  bool abortable = false;
};

// The chosen entry (for a folder, everything below it) with the browse level cut from its
// path: at level "\docs" the folder row "sub\" writes "\docs\sub\x.txt" as
// target_folder + "\sub\x.txt". A file row takes exactly that entry ("a.txt" does not take
// "a.txt.bak" or "\sub\a.txt"). Journalled like Raspakovka when op.journal is given; the abort
// flag is tested only when `abortable`; data of entries not taken are seeked over.
Outcome Raspakovka2(const ChosenRequest& request, Operation& op);

// One record as the listing walk hands it on.
struct ListedEntry {
  bool is_folder = false;
  std::string path;       // below the source folder, without the leading "\" (UTF-8)
  std::string date;       // as stored (files)
  std::string size_text;  // full size as stored (files)
  std::uint64_t packed_size = 0;
  std::uint32_t attributes = 0;
};

// The listing walk: every record of the archive, from volume 001 (a volume file), handed to
// `each` in archive order; nothing is written; data are seeked over, later volumes followed
// (their checksums are not read). The volume number is not compared with "001". Outcomes as
// above (a damaged record: the entries before it have been handed on, then Failed). When
// `enough` is given it is asked after each record: true ends the walk there (Done).
Outcome Raspakovka1(const std::string& first_volume, Ui& ui,
                    const std::function<void(const ListedEntry&)>& each,
                    const std::function<bool()>& enough = {});

// The self-extracting run (operation code "6") without its checksum check: the archive inside
// the executable `exe_path` (header at the stub size stored in its tail) into the executable's
// folder; later volumes are the executable's name by next_volume_file_name in that folder.
Outcome Raspakovka_exe(const std::string& exe_path, Operation& op);
// The self-extracting run as the program starts it: the executable's checksum ("Архив
// поврежден! Ошибка контрольной суммы." and EndProgram when it fails), then Raspakovka_exe.
Outcome self_extract(const std::string& exe_path, Operation& op);
// True when the file ends in a volume tail: "D{A" or "D{C" 11 bytes before its end (and it is
// long enough to hold a self-extracting tail). Never throws.
bool ends_in_volume_tail(const std::string& path);
// True when the executable carries data after its program image yet does not end in a volume
// tail: a self-extracting archive whose end is damaged or cut off (the program alone, or a
// file that is no executable, gives false). Never throws.
bool carries_damaged_archive(const std::string& path);
// The self-extracting password check (ops/checks.h with "Введите пароль" / "Неверный
// пароль!"). An unreadable file shows its reason and gives false.
bool self_extract_password_ok(const std::string& path, Ui& ui);

// `tarvik test`: inflates every entry without writing anything and checks the checksum of
// every later volume (volume 001's checksum and the password are the caller's). Each damaged
// entry is named in its own message and the test goes on with the next entry when the records
// still hold. Done when everything is sound, else Failed (Aborted on Abort).
Outcome test_archive(const std::string& first_volume, Operation& op);

// Creates every missing level of `folder` (ending in "\"), outermost first, and journals each
// level it created as a folder entry with its trailing "\" (when `journal` is given), before it
// is created. Returns the levels it created, outermost first. throws OsError naming the level
// that could not be created. The levels within the first `existing` characters are known to
// exist and are not asked about.
std::vector<std::string> CreateAllDir(const std::string& folder, RollbackJournal* journal,
                                      std::size_t existing = 0);

}  // namespace tarvik
