// The rollback journal "Tarvik_file.tmp" in the program's folder: one entry per file or
// folder an operation created, appended at the end and read backwards by the rollback.
// A file that an extraction replaces is first moved aside and journalled with tag "R"
// ("R<original>aside>"), so that the rollback can put it back and a finished operation can
// drop the copy.
#pragma once

#include <string>
#include <vector>

#include "format/journal_entry.h"
#include "platform/file.h"

namespace tarvik {

inline constexpr char kJournalReplacedTag = 'R';

class RollbackJournal {
 public:
  // Creates the journal empty (replacing an older one). throws OsError.
  explicit RollbackJournal(std::string path);
  RollbackJournal(RollbackJournal&&) = default;
  RollbackJournal& operator=(RollbackJournal&&) = default;
  ~RollbackJournal();  // closes and deletes the file

  // Paths are Windows path text (UTF-8). throws OsError, or std::invalid_argument when the
  // path has no form in the code page or is too long for an entry.
  void add_file(const std::string& path);
  void add_folder(const std::string& path);
  void add_replaced(const std::string& original, const std::string& aside);

  const std::string& path() const { return path_; }
  // Entries newest first (reads the file; a damaged end stops the reading).
  std::vector<format::JournalEntry> read_backwards() const;

 private:
  void append(char tag, const std::string& text);
  std::string path_;
  File file_;
};

// The entries of a journal file, newest first; reading stops at a damaged entry.
std::vector<format::JournalEntry> read_journal_backwards(const std::string& path);

// Moves `target` aside (to a free name beside it) and journals it, so that the rollback can
// put it back. Returns the aside path. throws OsError.
std::string move_aside(RollbackJournal& journal, const std::string& target);

// Undoes what the journal names, newest first: deletes created files, removes created folders
// when empty, puts replaced files back. Failures are skipped. Shows the rollback caption.
void Otkat(RollbackJournal& journal, class Ui& ui);
// After an operation that was not rolled back: deletes the copies of replaced files (a copy
// whose original was not replaced after all is put back instead).
void drop_replaced_copies(RollbackJournal& journal);

}  // namespace tarvik
