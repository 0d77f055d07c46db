// The one walk over an archive that every reader shares: volume 001's header, then each record
// in turn, following later volumes. The readers (whole extraction, chosen entries, the
// listing, the self-extracting run, the test) are visitors of this walk; it reads every field,
// hands each record to the visitor, and moves over whatever data the visitor left unread.
//
// Two levels of failure: an entry that is bad while the records around it still hold (damaged
// data, a path outside the source folder) is reported and, when the visitor wishes, the walk
// goes on; anything else ends the walk with its message and outcome.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "format/layout.h"
#include "format/messages.h"
#include "format/records.h"
#include "ops/operation.h"
#include "platform/error.h"
#include "unpack/volume_chain.h"

namespace tarvik::unpack {

// A record in hand.
struct Record {
  char tag = 0;                  // "F" file; anything else but "E" is a folder
  std::string path;              // as stored, UTF-8
  std::string relative;          // the path below the source folder, UTF-8, begins with "\"
  std::uint32_t attributes = 0;  // masked word
  format::FileFields file;       // file records only
  bool is_file() const { return tag == format::kFileTag; }
};

// The user asked for Abort; the walk unwinds and ends with Outcome::Aborted.
struct AbortRequested : Error {
  AbortRequested() : Error(std::string(msg::kOperationAborted)) {}
};

// A write into the target failed for a reason that is no OS error (such as a journal entry
// that cannot be formed). `path` names the file.
struct WriteFailure : Error {
  WriteFailure(std::string file, std::string why)
      : Error(msg::cannot_write(file, why)), path(std::move(file)), reason(std::move(why)) {}
  std::string path;
  std::string reason;
};

class RecordVisitor {
 public:
  virtual ~RecordVisitor() = default;
  virtual void folder(const Record& record) = 0;
  // May read the data or leave them; the walk moves over what is left.
  virtual void file(const Record& record, EntryData& data) = 0;
  // After an entry was reported damaged: true to go on with the next record.
  virtual bool go_on_after_damage() const { return false; }
  // After each record (progress, pending work).
  virtual void after_record(VolumeChain&) {}
  // Asked after each record: true ends the walk there, as at the end of the records.
  virtual bool enough() const { return false; }
  // After the last record: work still under way is finished (and may report damage).
  virtual void end_of_records() {}
  // True when the visitor met something that makes the run fail although it went on.
  virtual bool failed() const { return false; }
};

struct WalkOptions {
  std::string first_volume;
  bool self_extracting = false;
  // The message for a volume number other than "001"; none: not compared (the listing).
  std::optional<std::string_view> not_first_message;
  LaterChecksums later_checksums = LaterChecksums::Verify;
  bool show_progress = false;
};

// Walks the archive. Messages go through `ui`. Outcomes: Done; Failed (a message was shown, or
// the visitor failed); Aborted (AbortRequested); EndProgram (wrong version text, a missing
// later volume, a damaged later volume).
Outcome walk_archive(const WalkOptions& options, RecordVisitor& visitor, Ui& ui);

}  // namespace tarvik::unpack
