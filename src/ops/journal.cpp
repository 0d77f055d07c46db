#include "ops/journal.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <system_error>

#include "format/layout.h"
#include "format/messages.h"
#include "format/names.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/fs.h"
#include "platform/ui.h"

namespace tarvik {

namespace {
constexpr std::string_view kAsideSuffix = ".tzb";
constexpr int kMaxNames = 1000;

std::string archive_text(const std::string& utf8) {
  auto bytes = codepage::to_archive(utf8);
  if (!bytes) throw Error(msg::cannot_journal_name(utf8));
  return *bytes;
}

std::string record_bytes(char tag, const std::string& path) {
  auto bytes = format::journal_record(tag, archive_text(path));
  if (!bytes) throw Error(msg::cannot_journal(path));
  return *bytes;
}

// "<stem><suffix>", then "<stem>~N<suffix>".
std::string numbered(const std::string& stem, std::string_view suffix, int n) {
  return stem + (n == 0 ? "" : "~" + std::to_string(n)) + std::string(suffix);
}

void clear_read_only(const std::string& path) {
  try {
    fs::set_attributes(path, fs::kArchive);
  } catch (const OsError&) {
  }
}

bool delete_file(const std::string& path) {
  // A read-only file cannot be deleted on Windows until its attributes are cleared.
  if (!fs::is_link(path)) clear_read_only(path);
  return fs::remove_file(path);
}

bool put_back(const std::string& copy, const std::string& original) {
  try {
    fs::rename_replace(copy, original);
    return true;
  } catch (const OsError&) {
    return false;
  }
}

// Undoes the records newest first; `step` after each. The messages of what failed.
std::vector<std::string> undo(const std::vector<format::JournalEntry>& records,
                              const std::function<void()>& step) {
  std::vector<std::string> problems;
  for (auto it = records.rbegin(); it != records.rend(); ++it) {
    const format::JournalEntry& record = *it;
    if (record.tag == format::kJournalFileTag) {
      if (fs::name_taken(record.path) && !fs::is_directory(record.path) &&
          !delete_file(record.path))
        problems.push_back(msg::cannot_remove(record.path));
    } else if (record.tag == format::kJournalReplacedTag) {
      if (fs::name_taken(record.aside) && !put_back(record.aside, record.path))
        problems.push_back(msg::cannot_put_back(record.path, record.aside));
    } else if (record.tag == format::kJournalFolderTag) {
      if (fs::is_directory(record.path) && !fs::is_link(record.path))
        fs::remove_directory(record.path);
    }
    if (step) step();
  }
  return problems;
}

std::vector<format::JournalEntry> read_records(File& file) {
  std::string bytes(file.size(), '\0');
  file.seek(0);
  bytes.resize(file.read(bytes.data(), bytes.size()));
  auto records = format::parse_journal(bytes);
  for (auto& record : records) {
    record.path = codepage::from_archive(record.path);
    record.aside = codepage::from_archive(record.aside);
  }
  return records;
}

void create_folder_levels(const std::string& folder) {
  if (auto native = fs::to_native(folder)) {
    std::error_code ignored;
    std::filesystem::create_directories(*native, ignored);
  }
}
}  // namespace

RollbackJournal::RollbackJournal(std::string path)
    : path_(std::move(path)), file_(File::create_journal(path_)), size_(file_.size()) {}

RollbackJournal RollbackJournal::create_in(const std::vector<std::string>& folders) {
  std::string tried;
  std::string reason(msg::kNoJournalFolder);
  for (const auto& folder : folders) {
    create_folder_levels(folder);
    for (int n = 0; n < kMaxNames; ++n) {
      tried = format::join_path(folder, format::journal_file_name(n));
      try {
        RollbackJournal journal;
        journal.file_ = File::create_journal(tried);
        journal.path_ = tried;
        journal.size_ = journal.file_.size();
        return journal;
      } catch (const OsError& e) {
        reason = e.reason();
        if (!os_error_is_exists(e.code())) break;  // this folder cannot be written: the next
      }
    }
  }
  throw Error(msg::cannot_create_journal(tried, reason));
}

RollbackJournal::~RollbackJournal() {
  if (path_.empty()) return;  // moved from
  file_.remove();
  file_ = File();
}

void RollbackJournal::keep() {
  file_ = File();
  path_.clear();
}

void RollbackJournal::append(const std::string& entries) {
  file_.seek(size_);
  try {
    file_.write(entries);
  } catch (...) {
    try {
      size_ = file_.size();  // what part of it reached the file
    } catch (...) {
    }
    throw;
  }
  size_ += entries.size();
}

void RollbackJournal::add_file(const std::string& path) {
  append(record_bytes(format::kJournalFileTag, path));
}

void RollbackJournal::add_folder(const std::string& path) {
  append(record_bytes(format::kJournalFolderTag, path));
}

void RollbackJournal::add_replaced(const std::string& original, const std::string& copy) {
  auto bytes = format::journal_replaced(archive_text(original), archive_text(copy));
  if (!bytes) throw Error(msg::cannot_journal(original));
  append(*bytes);
  // The user's own file moves next: its record must survive even a power cut.
  file_.sync();
}

std::uint64_t RollbackJournal::mark() const { return size_; }

void RollbackJournal::retract(std::uint64_t mark) {
  file_.truncate(mark);
  size_ = mark;
}

void RollbackJournal::step_aside_from(const std::string& target) {
  if (target != path_) return;
  const std::string folder(format::folder_part(path_));
  for (int n = 0; n < kMaxNames; ++n) {
    const std::string candidate = format::join_path(folder, format::journal_file_name(n));
    if (fs::name_taken(candidate)) continue;
    try {
      file_.rename(candidate);
      path_ = candidate;
      return;
    } catch (const OsError& e) {
      if (!os_error_is_exists(e.code())) throw;
    }
  }
  throw Error(msg::cannot_write(target, msg::kNoFreeJournalName));
}

std::vector<format::JournalEntry> RollbackJournal::records() { return read_records(file_); }

std::vector<std::string> journal_folders(const std::string& program_folder) {
  std::vector<std::string> folders{program_folder};
  if (auto own = fs::per_user_folder(); own && *own != program_folder) folders.push_back(*own);
  // A user without a home (a service account, a container, a CI job) still gets a journal.
  if (auto temp = fs::private_temp_folder()) folders.push_back(*temp);
  return folders;
}

void recover_abandoned_journals(const std::vector<std::string>& folders, Ui& ui) {
  for (const auto& folder : folders) {
    std::vector<fs::DirEntry> entries;
    try {
      entries = fs::list_directory(folder);
    } catch (const OsError&) {
      continue;  // no such folder yet: nothing to recover
    }
    for (const auto& entry : entries) {
      if (entry.is_directory || !format::is_journal_file_name(entry.name)) continue;
      const std::string path = format::join_path(folder, entry.name);
      auto file = File::open_abandoned_journal(path);
      if (!file) continue;
      std::vector<std::string> problems;
      try {
        problems = undo(read_records(*file), {});
      } catch (const OsError& e) {
        problems.push_back(msg::cannot_read(path, e.reason()));
      }
      if (problems.empty()) {
        ui.show_message(msg::recovered_journal(path));
        file->remove();
      } else {
        for (const auto& problem : problems) ui.show_message(problem);
      }
    }
  }
}

WorkFile::WorkFile(RollbackJournal* journal, const std::string& stem, std::string_view suffix,
                   const std::function<bool(const std::string&)>& taken, bool own_folder)
    : journal_(journal) {
  for (int n = 0; n < kMaxNames; ++n) {
    std::string candidate = numbered(stem, suffix, n);
    if ((taken && taken(candidate)) || (!own_folder && fs::name_taken(candidate))) continue;
    const std::uint64_t mark = journal_ ? journal_->mark() : 0;
    if (journal_) journal_->add_file(candidate);
    try {
      file_ = File(candidate, File::Mode::CreateNew);
    } catch (const OsError& e) {
      if (journal_) journal_->retract(mark);
      if (os_error_is_exists(e.code())) continue;  // taken a moment ago
      throw;
    }
    path_ = std::move(candidate);
    if (journal_) journal_->add_work_file(path_);
    return;
  }
  throw Error(msg::cannot_write(stem, msg::kNoFreeWorkFileName));
}

std::unique_ptr<WorkFile> WorkFile::exactly(RollbackJournal* journal, const std::string& path) {
  std::unique_ptr<WorkFile> work(new WorkFile(journal));
  const std::uint64_t mark = journal ? journal->mark() : 0;
  if (journal) journal->add_file(path);
  try {
    work->file_ = File(path, File::Mode::CreateNew);
  } catch (const OsError& e) {
    if (journal) journal->retract(mark);
    if (os_error_is_exists(e.code())) return nullptr;
    throw;
  }
  work->path_ = path;
  if (journal) journal->add_work_file(path);
  return work;
}

WorkFile::~WorkFile() {
  if (path_.empty()) return;
  file_ = File();
  fs::remove_file(path_);
  if (journal_) journal_->drop_work_file(path_);
}

void WorkFile::release() {
  if (journal_) journal_->drop_work_file(path_);
  path_.clear();
}

std::string move_aside(RollbackJournal& journal, const std::string& target) {
  for (int n = 0; n < kMaxNames; ++n) {
    std::string copy = numbered(target, kAsideSuffix, n);
    if (fs::name_taken(copy)) continue;
    // Journal first: should the move succeed and the process die, the next run puts it back.
    const std::uint64_t mark = journal.mark();
    journal.add_replaced(target, copy);
    try {
      fs::rename_replace(target, copy);
    } catch (...) {
      journal.retract(mark);
      throw;
    }
    journal.drop_work_file(target);  // a copy of ours moving on: the target is an entry now
    journal.add_work_file(copy);
    return copy;
  }
  throw Error(msg::cannot_write(target, msg::kNoFreeCopyName));
}

std::vector<std::string> Otkat(RollbackJournal& journal, Ui& ui) {
  ui.set_caption(msg::kRollbackCaption);
  const auto records = journal.records();
  std::uint64_t left = records.size();
  ui.set_progress_max(left);
  ui.set_progress(left);
  ui.pump();
  return undo(records, [&] {
    ui.set_progress(--left);
    ui.pump();
  });
}

std::vector<std::string> drop_replaced_copies(RollbackJournal& journal) {
  // Where each replaced file's copy is now: a copy that an entry of the archive displaced was
  // moved on, and its record names the old copy as the file replaced.
  std::vector<std::pair<std::string, std::string>> copies;  // original, copy
  for (const auto& record : journal.records()) {
    if (record.tag != format::kJournalReplacedTag) continue;
    auto moved = std::find_if(copies.begin(), copies.end(),
                              [&](const auto& c) { return c.second == record.path; });
    if (moved != copies.end())
      moved->second = record.aside;
    else
      copies.emplace_back(record.path, record.aside);
  }
  std::vector<std::string> problems;
  for (const auto& [original, copy] : copies) {
    if (!fs::name_taken(copy)) continue;
    if (!fs::name_taken(original)) {
      // The replacement never arrived: the copy is the only one, so it goes back.
      if (!put_back(copy, original)) problems.push_back(msg::cannot_put_back(original, copy));
      continue;
    }
    if (!delete_file(copy)) problems.push_back(msg::cannot_remove(copy));
    journal.drop_work_file(copy);
  }
  return problems;
}

}  // namespace tarvik
