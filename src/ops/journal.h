// The rollback journal of one operation: one record per file or folder the operation creates
// and per file it sets aside to replace, each reaching the file before the thing it names is
// created or moved, so that whatever way the operation ends (Abort, a failure, a killed
// process) what it did can be undone. Entry form: format/journal_entry.h.
//
// Each operation holds a journal of its own, created new and locked for its life, so that
// operations at once each undo only their own files. A journal whose owner is gone is rolled
// back by the next run (recover_abandoned_journals). Journals live in the program's folder
// when it can be written, else in the user's own folder (fs::per_user_folder).
//
// Work files (the ".tzp" of an entry, the copies of replaced files, the spill file of
// packing) get names that nothing has when they are made, are journalled like created files,
// and are deleted only by the run that made them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "format/journal_entry.h"
#include "platform/file.h"

namespace tarvik {

class Ui;

class RollbackJournal {
 public:
  // The journal at exactly `path` (a new file, locked). throws OsError.
  explicit RollbackJournal(std::string path);
  // A journal of its own in the first of `folders` where one can be made (the missing levels
  // of a folder are created), named by format::journal_file_name. throws Error naming the
  // journal that could not be made and the reason.
  static RollbackJournal create_in(const std::vector<std::string>& folders);
  RollbackJournal(RollbackJournal&&) = default;
  RollbackJournal& operator=(RollbackJournal&&) = default;
  ~RollbackJournal();  // deletes the file

  // Paths are Windows path text (UTF-8). throws OsError, or Error when the path has no form
  // in the code page or cannot be held exactly (format::journal_record).
  void add_file(const std::string& path);
  void add_folder(const std::string& path);
  // `original` is about to be moved to `copy`; reaches the disk before it returns.
  void add_replaced(const std::string& original, const std::string& copy);
  // The journal's size, and going back to it: the record of an action that then failed is
  // withdrawn, so that no rollback touches a file of that name.
  std::uint64_t mark() const;
  void retract(std::uint64_t mark);

  const std::string& path() const { return path_; }
  // Closes the journal and leaves its file: a rollback that could not finish hands it on to
  // the next start of the program.
  void keep();
  // Gives the journal a new name when `target` is its name (an entry of an archive that is to
  // be written where the journal lies). throws OsError.
  void step_aside_from(const std::string& target);
  // The records, oldest first.
  std::vector<format::JournalEntry> records();

  // The work files of the operation, and the journal itself.
  void add_work_file(const std::string& path) { work_files_.insert(path); }
  void drop_work_file(const std::string& path) { work_files_.erase(path); }
  bool is_work_file(const std::string& path) const {
    return path == path_ || work_files_.count(path) > 0;
  }

 private:
  RollbackJournal() = default;
  void append(const std::string& entries);
  std::string path_;
  File file_;
  // The file's size: only this journal writes it (it is locked), so it is kept here rather than
  // asked of the system for every record.
  std::uint64_t size_ = 0;
  std::set<std::string> work_files_;
};

// The folders where journals live: the program's folder, the user's own one, then the user's
// private folder in the system's temporary folder.
std::vector<std::string> journal_folders(const std::string& program_folder);

// Every journal in `folders` whose owner is gone: what it names is undone (files put back
// first, as the rollback does), the user is told in one sentence, and the journal deleted.
void recover_abandoned_journals(const std::vector<std::string>& folders, Ui& ui);

// A file of the operation's own beside `stem`: "<stem><suffix>", or "<stem>~N<suffix>" when
// that name is taken (something of that name exists, or `taken` says so: a name the operation
// is still to write); created new (never through a link), journalled first when there is a
// journal. Deleted when it goes, unless released (it became the target).
// With `own_folder` (the folder was made by this operation, and `taken` knows the names the
// operation gave in it) the system is not asked before: a name taken all the same is refused
// when the file is made, its record withdrawn, and the next name tried.
class WorkFile {
 public:
  WorkFile(RollbackJournal* journal, const std::string& stem, std::string_view suffix,
           const std::function<bool(const std::string&)>& taken = {}, bool own_folder = false);
  ~WorkFile();
  WorkFile(const WorkFile&) = delete;
  WorkFile& operator=(const WorkFile&) = delete;

  // The work file under `path` itself, for a name nothing has in a folder the operation made:
  // journalled, then made new; nullptr, the journal as it was, when the name is taken after
  // all. Put in place by release() alone. throws OsError, or Error as RollbackJournal::add_file.
  static std::unique_ptr<WorkFile> exactly(RollbackJournal* journal, const std::string& path);

  File& file() { return file_; }
  const std::string& path() const { return path_; }
  void release();

 private:
  explicit WorkFile(RollbackJournal* journal) : journal_(journal) {}
  RollbackJournal* journal_;
  File file_;
  std::string path_;
};

// Moves `target` aside to a name nothing has, journalled first, so that the rollback can put
// it back. Returns the copy's path. throws OsError or Error.
std::string move_aside(RollbackJournal& journal, const std::string& target);

// Undoes what the journal names, newest first: deletes created files, removes created folders
// when empty, puts replaced files back. Shows the rollback caption and drives the bar.
// Returns one message for each file it could not put back or delete.
std::vector<std::string> Otkat(RollbackJournal& journal, Ui& ui);
// After an operation that was not rolled back: deletes the copies of replaced files (a copy
// whose original never came is put back instead). Returns a message for each failure.
std::vector<std::string> drop_replaced_copies(RollbackJournal& journal);

}  // namespace tarvik
