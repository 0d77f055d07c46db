#include "unpack/extract.h"

#include <optional>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "format/crc.h"
#include "format/fields.h"
#include "format/layout.h"
#include "format/messages.h"
#include "format/names.h"
#include "format/password.h"
#include "format/printable.h"
#include "format/time_text.h"
#include "ops/journal.h"
#include "ops/checks.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/executable.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "unpack/entry_file.h"
#include "unpack/inflate.h"
#include "unpack/entry_check.h"
#include "unpack/pipeline.h"
#include "unpack/walk.h"

namespace tarvik {

using unpack::AbortRequested;
using unpack::EntryData;
using unpack::InflateHooks;
using unpack::journalled;
using unpack::Record;
using unpack::RecordVisitor;
using unpack::VolumeChain;
using unpack::WalkOptions;
using unpack::WriteFailure;

namespace {

constexpr char kSeparator = '\\';

// `relative` (beginning with "\") below `folder`.
std::string below(const std::string& folder, std::string_view relative) {
  return format::join_path(folder, relative.substr(1));
}

// Makes `folder` (no trailing "\") exist below the target: a level that is a file already
// (the user's own) fails the run naming it, before anything is written below it. Returns the
// levels it made, outermost first.
std::vector<std::string> require_folder(const std::string& folder, RollbackJournal* journal) {
  // Up from `folder` to the first level that is a folder, one question to the system a level
  // (the levels above a folder are folders).
  std::string level = folder;
  for (;;) {
    const fs::NameKind kind = fs::name_kind(level);
    if (kind == fs::NameKind::Folder) break;
    if (kind == fs::NameKind::Link && fs::is_directory(level)) break;
    if (kind == fs::NameKind::File || (kind == fs::NameKind::Link && fs::exists(level)))
      throw WriteFailure{level, std::string(msg::kFileWhereFolder)};
    const std::string_view up = format::folder_part(level);
    if (up.size() >= level.size()) {
      level.clear();
      break;
    }
    level = std::string(up);
  }
  if (level.size() == folder.size()) return {};
  return CreateAllDir(folder + kSeparator, journal, level.size());
}

// Inflates one file entry into a work file beside `target`, then puts it in place
// (unpack/entry_file.h).
void extract_file(const Record& record, EntryData& data, const std::string& target,
                  RollbackJournal* journal, const InflateHooks& hooks, Ui& ui) {
  const fs::NameKind there = fs::name_kind(target);
  if (there == fs::NameKind::Folder)
    throw WriteFailure{target, std::string(msg::kFolderWhereFile)};
  require_folder(std::string(format::folder_part(target)), journal);
  ui.set_item(format::printable(format::file_name_part(record.relative)));

  std::optional<WorkFile> temp;
  journalled(target, [&] { temp.emplace(journal, target, format::kTempSuffix); });
  unpack::InflateFile(data, record.file.size, &temp->file(), hooks);
  unpack::stamp(temp->file(), record.file.time);
  temp->file().close();
  unpack::put_in_place(*temp, target, record.attributes, journal, there == fs::NameKind::Free);
}

// The entry check (unpack/entry_check.h) as the extracting visitors and the test make it: a
// refused entry is named, makes the run fail, and the others go on.
class CheckingVisitor : public RecordVisitor {
 public:
  CheckingVisitor(Operation& op, std::string target) : op_(op), target_(std::move(target)) {}
  bool failed() const override { return failed_; }
  void end_of_records() override { reached_end_ = true; }
  // A failed walk that reached the end of the records failed only over entries refused one by
  // one: the others stay. Any other failure ends the run early, and what it did is rolled back
  // like an abort (the abort flag is set for the runner).
  Outcome settle(Outcome outcome) {
    if ((outcome == Outcome::Failed || outcome == Outcome::EndProgram) && !reached_end_ &&
        op_.journal)
      op_.abort = true;
    return outcome;
  }

 protected:
  // `relative` is the entry's path below the folder it is written to. With a target, a link
  // among the folders on the way is refused too.
  bool safe(const Record& record, std::string_view relative) {
    if (const auto refusal = check_.refusal(relative, record.is_file())) {
      op_.ui.show_message(*refusal);
      failed_ = true;
      return false;
    }
    if (target_.empty()) return true;
    const std::string link = link_on_the_way(relative);
    if (link.empty()) return true;
    op_.ui.show_message(msg::linked_entry(record.relative, link));
    failed_ = true;
    return false;
  }
  Operation& op_;
  std::string target_;

 private:
  // The first link (symbolic link, junction) among the folders that `relative` passes through
  // below the target; "" when there is none. Writes never go through a link already there.
  // The levels of the last path found free of links are not asked again: entries come folder
  // by folder, and the run itself makes no links.
  std::string link_on_the_way(std::string_view relative) {
    std::string path = target_;
    std::size_t at = 1;
    for (;;) {
      const std::size_t next = relative.find(kSeparator, at);
      if (next == std::string_view::npos) break;
      path = format::join_path(path, relative.substr(at, next - at));
      const bool checked = link_free_.size() > path.size() && link_free_.starts_with(path) &&
                           link_free_[path.size()] == kSeparator;
      if (!checked && fs::is_link(path)) return path;
      at = next + 1;
    }
    link_free_ = path + kSeparator;
    return "";
  }
  unpack::EntryCheck check_;
  bool failed_ = false;
  bool reached_end_ = false;
  std::string link_free_;  // every level of it (ending in "\") was found to be no link
};

// Raspakovka and Raspakovka_exe: every entry, journalled, abortable; entries are inflated on
// workers and put in place in their order (unpack/pipeline.h).
class WholeVisitor final : public CheckingVisitor {
 public:
  WholeVisitor(Operation& op, std::string target, unsigned threads)
      : CheckingVisitor(op, std::move(target)), pipeline_(threads, op.journal, [this] {
          if (op_.poll()) throw AbortRequested{};
        }) {}
  void folder(const Record& record) override {
    if (!safe(record, record.relative)) return;
    const std::string folder = below(target_, record.relative);
    if (!fs::is_directory(folder)) make(folder);
  }
  void file(const Record& record, EntryData& data) override {
    if (!safe(record, record.relative)) return;
    const std::string target = below(target_, record.relative);
    const std::string folder(format::folder_part(target));
    if (folder != known_folder_ && !fs::is_directory(folder)) make(folder);
    known_folder_ = folder;
    const fs::NameKind there = pipeline_.name_kind(target);
    if (there == fs::NameKind::Folder)
      throw WriteFailure{target, std::string(msg::kFolderWhereFile)};
    op_.ui.set_item(format::printable(format::file_name_part(record.relative)));
    pipeline_.add(record, data, target, there == fs::NameKind::Free);
  }
  void after_record(VolumeChain& chain) override {
    op_.ui.set_progress(chain.position());
    if (op_.poll()) throw AbortRequested{};
  }
  void end_of_records() override {
    pipeline_.drain();
    CheckingVisitor::end_of_records();
  }

 private:
  // The missing levels of `folder`, made while earlier entries may still be in hand.
  void make(const std::string& folder) {
    pipeline_.before_folder(folder);
    pipeline_.folders_made(require_folder(folder, op_.journal));
  }
  std::string known_folder_;  // exists: the folder of an earlier entry
  unpack::ExtractionPipeline pipeline_;
};

// A whole extraction's walk. The entries still in hand are gone (their work files deleted,
// nothing more written) when it returns.
Outcome walk_whole(const WalkOptions& options, Operation& op, const std::string& target,
                   unsigned threads) {
  WholeVisitor visitor(op, target, threads);
  return visitor.settle(unpack::walk_archive(options, visitor, op.ui));
}

// Raspakovka2: the chosen entry, its level cut off; journalled like the whole extraction.
class ChosenVisitor final : public CheckingVisitor {
 public:
  ChosenVisitor(Operation& op, const ChosenRequest& request)
      : CheckingVisitor(op, request.target_folder),
        level_(request.browse_level),
        key_(request.browse_level + kSeparator + request.chosen_entry),
        abortable_(request.abortable) {
    const auto pump = [this] { serve(); };
    hooks_.before_read = pump;
    hooks_.after_block = pump;
  }
  void folder(const Record& record) override {
    if (!chosen(record) || !safe(record, below_level(record))) return;
    require_folder(destination(record), op_.journal);
  }
  void file(const Record& record, EntryData& data) override {
    if (!chosen(record) || !safe(record, below_level(record))) return;
    extract_file(record, data, destination(record), op_.journal, hooks_, op_.ui);
  }
  void after_record(VolumeChain& chain) override {
    op_.ui.set_progress(chain.position());
    serve();
  }

 private:
  // The key names the chosen entry; a folder key (ending in "\") takes everything below it.
  // Whole names only: the file row "a.txt" does not take "a.txt.bak".
  bool chosen(const Record& record) const {
    const std::string& relative = record.relative;
    if (!key_.empty() && key_.back() == kSeparator)
      return (relative + kSeparator).starts_with(key_);
    return relative == key_ || relative.starts_with(key_ + kSeparator);
  }
  std::string_view below_level(const Record& record) const {
    return std::string_view(record.relative).substr(level_.size());
  }
  std::string destination(const Record& record) const {
    return below(target_, below_level(record));
  }
  // Pending work; an Abort stops the run only when the caller asked for that.
  void serve() {
    if (op_.ui.pump() && abortable_) {
      op_.abort = true;
      throw AbortRequested{};
    }
  }
  std::string level_;
  std::string key_;
  bool abortable_;
  InflateHooks hooks_;
};

class ListingVisitor final : public RecordVisitor {
 public:
  ListingVisitor(const std::function<void(const ListedEntry&)>& each,
                 const std::function<bool()>& enough)
      : each_(each), enough_(enough) {}
  void folder(const Record& record) override {
    ListedEntry entry;
    entry.is_folder = true;
    entry.path = record.relative.substr(1);
    entry.attributes = record.attributes;
    each_(entry);
  }
  void file(const Record& record, EntryData&) override {
    ListedEntry entry;
    entry.path = record.relative.substr(1);
    entry.date = record.file.time;
    entry.size_text = record.file.size_text;
    entry.packed_size = record.file.packed_size;
    entry.attributes = record.attributes;
    each_(entry);
  }
  bool enough() const override { return enough_ && enough_(); }

 private:
  const std::function<void(const ListedEntry&)>& each_;
  const std::function<bool()>& enough_;
};

class TestVisitor final : public CheckingVisitor {
 public:
  explicit TestVisitor(Operation& op) : CheckingVisitor(op, "") {
    const auto check = [this] {
      if (op_.poll()) throw AbortRequested{};
    };
    hooks_.before_read = check;
    hooks_.after_block = check;
  }
  void folder(const Record& record) override { safe(record, record.relative); }
  void file(const Record& record, EntryData& data) override {
    if (!safe(record, record.relative)) return;
    op_.ui.set_item(format::printable(format::file_name_part(record.relative)));
    unpack::InflateFile(data, record.file.size, nullptr, hooks_);
  }
  bool go_on_after_damage() const override { return true; }
  void after_record(VolumeChain& chain) override {
    op_.ui.set_progress(chain.position());
    if (op_.poll()) throw AbortRequested{};
  }

 private:
  InflateHooks hooks_;
};

}  // namespace

std::vector<std::string> CreateAllDir(const std::string& folder, RollbackJournal* journal,
                                      std::size_t existing) {
  std::vector<std::string> created;
  // The root exists: a drive ("C:\"), a share ("\\server\share\") or "\".
  std::size_t pos = 0;
  if (folder.size() >= 2 && folder[1] == ':') {
    pos = 3;
  } else if (folder.starts_with("\\\\")) {
    pos = folder.find(kSeparator, 2);
    pos = pos == std::string::npos ? folder.size() : folder.find(kSeparator, pos + 1);
    pos = pos == std::string::npos ? folder.size() : pos + 1;
  } else if (folder.starts_with(kSeparator)) {
    pos = 1;
  }
  while (pos < folder.size()) {
    std::size_t end = folder.find(kSeparator, pos);
    if (end == std::string::npos) end = folder.size();
    if (end > pos && end > existing) {
      const std::string level = folder.substr(0, end);
      if (!fs::name_taken(level)) {
        const std::uint64_t mark = journal ? journal->mark() : 0;
        if (journal) journalled(level, [&] { journal->add_folder(level + kSeparator); });
        try {
          fs::create_directory(level);
          created.push_back(level);
        } catch (const OsError& e) {
          if (journal) journal->retract(mark);
          // Another run made it a moment ago: it is there, and it is not ours.
          if (!os_error_is_exists(e.code()) || !fs::is_directory(level)) throw;
        }
      }
    }
    pos = end + 1;
  }
  return created;
}

Outcome Raspakovka(const ExtractRequest& request, Operation& op) {
  std::vector<std::string> created;  // levels of the target folder made here, innermost first
  if (request.create_target && !fs::is_directory(request.target_folder)) {
    std::string level = request.target_folder;
    while (!level.empty() && !fs::name_taken(level)) {
      created.push_back(level);
      const std::string parent(format::folder_part(level));
      if (parent == level) break;
      level = parent;
    }
    try {
      CreateAllDir(format::join_path(request.target_folder, ""), op.journal);
    } catch (const OsError& e) {
      op.ui.show_message(msg::cannot_write(e.path(), e.reason()));
      op.abort = op.journal != nullptr;
      return Outcome::Failed;
    } catch (const WriteFailure& e) {
      op.ui.show_message(e.what());
      op.abort = op.journal != nullptr;
      return Outcome::Failed;
    }
  }
  WalkOptions options;
  options.first_volume = request.first_volume;
  options.not_first_message = msg::kNotFirstVolume;
  options.later_checksums = unpack::LaterChecksums::Verify;
  options.show_progress = true;
  const Outcome outcome = walk_whole(options, op, request.target_folder, request.threads);
  // Without a journal a run that failed takes back the target folder it made, when empty.
  if (!op.journal && (outcome == Outcome::Failed || outcome == Outcome::EndProgram)) {
    for (const auto& level : created) fs::remove_directory(level);
  }
  return outcome;
}

Outcome Raspakovka2(const ChosenRequest& request, Operation& op) {
  ChosenVisitor visitor(op, request);
  WalkOptions options;
  options.first_volume = request.first_volume;
  options.not_first_message = msg::kNotFirstVolume;
  options.later_checksums = unpack::LaterChecksums::WhenRead;
  options.show_progress = true;
  return visitor.settle(unpack::walk_archive(options, visitor, op.ui));
}

Outcome Raspakovka1(const std::string& first_volume, Ui& ui,
                    const std::function<void(const ListedEntry&)>& each,
                    const std::function<bool()>& enough) {
  ListingVisitor visitor(each, enough);
  WalkOptions options;
  options.first_volume = first_volume;
  options.later_checksums = unpack::LaterChecksums::Skip;
  return unpack::walk_archive(options, visitor, ui);
}

Outcome Raspakovka_exe(const std::string& exe_path, Operation& op) {
  WalkOptions options;
  options.first_volume = exe_path;
  options.self_extracting = true;
  options.not_first_message = msg::kNotFirstVolumeSelfExtracting;
  options.later_checksums = unpack::LaterChecksums::Verify;
  options.show_progress = true;
  return walk_whole(options, op, std::string(format::folder_part(exe_path)), 0);
}

Outcome self_extract(const std::string& exe_path, Operation& op) {
  if (!volume_checksum_ok(exe_path, op.ui)) return Outcome::EndProgram;
  return Raspakovka_exe(exe_path, op);
}

bool ends_in_volume_tail(const std::string& path) {
  try {
    File file(path, File::Mode::Read);
    if (file.size() < format::kSelfExtractingTailBytes) return false;
    const auto terminator =
        read_from_end(file, format::kTerminatorFromEnd, format::kTerminatorWidth);
    return terminator &&
           (*terminator == format::kLastTerminator || *terminator == format::kContinuedTerminator);
  } catch (...) {
    return false;
  }
}

bool carries_damaged_archive(const std::string& path) {
  try {
    if (ends_in_volume_tail(path)) return false;
    File file(path, File::Mode::Read);
    const auto image_end = executable_image_end(file);
    return image_end && *image_end < file.size();
  } catch (...) {
    return false;
  }
}

bool self_extract_password_ok(const std::string& path, Ui& ui) {
  return password_ok(path, ui, self_extracting_password_texts());
}

Outcome test_archive(const std::string& first_volume, Operation& op) {
  TestVisitor visitor(op);
  WalkOptions options;
  options.first_volume = first_volume;
  options.not_first_message = msg::kNotFirstVolume;
  options.later_checksums = unpack::LaterChecksums::Report;
  options.show_progress = true;
  const Outcome outcome = unpack::walk_archive(options, visitor, op.ui);
  return outcome == Outcome::EndProgram ? Outcome::Failed : outcome;
}

}  // namespace tarvik
