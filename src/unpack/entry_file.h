// The file of one extracted entry: inflated into its work file beside the target (ops/journal.h
// WorkFile), then put in place: an existing target is moved aside into the journal first, the
// target is journalled before it appears, and it gets its stored date and attribute word.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "platform/error.h"
#include "unpack/walk.h"

namespace tarvik {
class File;
class RollbackJournal;
class WorkFile;
}  // namespace tarvik

namespace tarvik::unpack {

// A journal call whose failure is no OS error (a path without a form in the code page, a
// path a journal entry cannot hold exactly, no free name for a copy) becomes a write failure
// naming the file.
template <class Call>
auto journalled(const std::string& path, Call&& call) {
  try {
    return call();
  } catch (const OsError&) {
    throw;
  } catch (const WriteFailure&) {
    throw;
  } catch (const std::exception& error) {
    throw WriteFailure{path, error.what()};
  }
}

// Gives the entry's work file its stored date (the date text of the record) through its handle,
// after the last write and before it is closed. A date the system cannot take keeps the
// current time. Never throws.
void stamp(File& work_file, const std::string& time_text) noexcept;

// Puts the closed work file `temp` in place as `target` and gives it the attribute word. When
// `fresh` (nothing had the target's name when the entry was taken) it is journalled and renamed
// in one step that refuses a taken name; a name taken since, and every target that was not
// fresh, take the careful way: a target that is this run's journal makes the journal move out
// of its way; a target that is another running operation's journal is refused. An existing
// target is moved aside into the journal (or simply replaced when there is no journal). Either
// way the target's record reaches the journal before the rename and is withdrawn when the
// rename fails (the original then goes back). A file of a journal's name never gets hidden and
// system together. throws OsError, WriteFailure.
void put_in_place(WorkFile& temp, const std::string& target, std::uint32_t attributes,
                  RollbackJournal* journal, bool fresh);
// The end of put_in_place for a work file that is the target already (WorkFile::exactly): it
// becomes the user's file and gets the attribute word. throws OsError.
void finish_in_place(WorkFile& temp, const std::string& target, std::uint32_t attributes);

}  // namespace tarvik::unpack
