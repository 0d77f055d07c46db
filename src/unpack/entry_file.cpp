#include "unpack/entry_file.h"

#include <optional>

#include "format/messages.h"
#include "format/names.h"
#include "format/time_text.h"
#include "ops/journal.h"
#include "platform/file.h"
#include "platform/fs.h"

namespace tarvik::unpack {

namespace {

// The careful way into place (see put_in_place).
void replace(WorkFile& temp, const std::string& target, RollbackJournal* journal) {
  if (journal) journalled(target, [&] { journal->step_aside_from(target); });
  // Nothing of that name: no journal either (most entries of a fresh extraction).
  const bool taken = fs::name_taken(target);
  if (taken && File::is_live_journal(target))
    throw WriteFailure{target, std::string(msg::kJournalOfAnotherRun)};
  std::optional<std::string> aside;
  if (journal && taken)
    aside = journalled(target, [&] { return move_aside(*journal, target); });
  const std::uint64_t mark = journal ? journal->mark() : 0;
  if (journal) journalled(target, [&] { journal->add_file(target); });
  try {
    fs::rename_replace(temp.path(), target);
  } catch (const OsError&) {
    if (journal) journal->retract(mark);
    if (aside) {
      try {
        fs::rename_replace(*aside, target);
      } catch (const OsError&) {
        // The original stays under its journalled aside name.
      }
    }
    throw;
  }
}

// The quick way into place: false, with the journal as it was, when the name is taken.
bool placed_new(WorkFile& temp, const std::string& target, RollbackJournal* journal) {
  const std::uint64_t mark = journal ? journal->mark() : 0;
  if (journal) journalled(target, [&] { journal->add_file(target); });
  bool moved = false;
  try {
    moved = fs::rename_new(temp.path(), target);
  } catch (const OsError&) {
    if (journal) journal->retract(mark);
    throw;
  }
  if (!moved && journal) journal->retract(mark);
  return moved;
}

}  // namespace

void stamp(File& work_file, const std::string& time_text) noexcept {
  try {
    if (const auto time = format::parse_time_text(time_text)) work_file.set_last_write_time(*time);
  } catch (...) {
    // The file keeps the time it was written.
  }
}

void put_in_place(WorkFile& temp, const std::string& target, std::uint32_t attributes,
                  RollbackJournal* journal, bool fresh) {
  if (!fresh || !placed_new(temp, target, journal)) replace(temp, target, journal);
  finish_in_place(temp, target, attributes);
}

void finish_in_place(WorkFile& temp, const std::string& target, std::uint32_t attributes) {
  temp.release();

  attributes &= ~fs::kDirectory;
  // Hidden and system together mark a journal: a file of a journal's name never gets both.
  if (format::is_journal_file_name(format::file_name_part(target)) &&
      (attributes & (fs::kHidden | fs::kSystem)) == (fs::kHidden | fs::kSystem))
    attributes &= ~fs::kSystem;
  // The work file was made new by this run and only written since.
  fs::set_new_file_attributes(target, attributes);
}

}  // namespace tarvik::unpack
