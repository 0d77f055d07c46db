#include "ops/journal.h"

#include <stdexcept>

#include "format/fields.h"
#include "format/layout.h"
#include "format/messages.h"
#include "platform/codepage.h"
#include "platform/fs.h"
#include "platform/ui.h"

namespace tarvik {

namespace {
constexpr std::string_view kAsideSuffix = ".tzb";
constexpr int kMaxAsideAttempts = 1000;

std::string archive_text(const std::string& utf8) {
  auto bytes = codepage::to_archive(utf8);
  if (!bytes) throw std::invalid_argument(msg::name_not_in_code_page(utf8));
  return *bytes;
}
}  // namespace

RollbackJournal::RollbackJournal(std::string path)
    : path_(std::move(path)), file_(path_, File::Mode::Create) {}

RollbackJournal::~RollbackJournal() {
  if (path_.empty()) return;  // moved from
  file_ = File();
  fs::remove_file(path_);
}

void RollbackJournal::append(char tag, const std::string& text) {
  auto entry = format::journal_entry(tag, text);
  if (!entry) throw std::invalid_argument(msg::path_too_long(codepage::from_archive(text)));
  file_.seek(file_.size());
  file_.write(*entry);
}

void RollbackJournal::add_file(const std::string& path) {
  append(format::kJournalFileTag, archive_text(path));
}

void RollbackJournal::add_folder(const std::string& path) {
  append(format::kJournalFolderTag, archive_text(path));
}

void RollbackJournal::add_replaced(const std::string& original, const std::string& aside) {
  append(kJournalReplacedTag, archive_text(original) + ">" + archive_text(aside));
}

std::vector<format::JournalEntry> RollbackJournal::read_backwards() const {
  return read_journal_backwards(path_);
}

std::vector<format::JournalEntry> read_journal_backwards(const std::string& path) {
  std::vector<format::JournalEntry> entries;
  File in(path, File::Mode::Read);
  std::uint64_t end = in.size();
  auto read_at = [&](std::uint64_t offset, std::size_t n) {
    std::string bytes(n, '\0');
    in.seek(offset);
    bytes.resize(in.read(bytes.data(), n));
    return bytes;
  };
  while (end >= format::kJournalLengthWidth) {
    auto length = format::parse_journal_length(
        read_at(end - format::kJournalLengthWidth, format::kJournalLengthWidth));
    if (!length || *length + format::kJournalLengthWidth > end) break;  // damaged: stop here
    std::uint64_t start = end - format::kJournalLengthWidth - *length;
    auto entry = format::parse_journal_text(read_at(start, *length));
    if (!entry) break;
    entry->path = codepage::from_archive(entry->path);
    entry->second = codepage::from_archive(entry->second);
    entries.push_back(std::move(*entry));
    end = start;
  }
  return entries;
}

std::string move_aside(RollbackJournal& journal, const std::string& target) {
  for (int n = 0; n < kMaxAsideAttempts; ++n) {
    std::string aside = target + (n == 0 ? "" : "." + std::to_string(n)) + std::string(kAsideSuffix);
    if (fs::exists(aside)) continue;
    // Journal first: should the move succeed and the process die, the rollback still knows.
    journal.add_replaced(target, aside);
    fs::rename_replace(target, aside);
    return aside;
  }
  throw std::runtime_error(msg::cannot_write(target, "нет свободного имени для копии"));
}

void Otkat(RollbackJournal& journal, Ui& ui) {
  ui.set_caption(msg::kRollbackCaption);
  auto entries = journal.read_backwards();
  ui.set_progress_max(entries.size());
  std::uint64_t left = entries.size();
  ui.set_progress(left);
  ui.pump();
  for (const auto& entry : entries) {
    if (entry.tag == format::kJournalFileTag) {
      if (fs::is_file(entry.path)) {
        // A read-only file cannot be deleted on Windows until its attributes are cleared.
        try {
          fs::set_attributes(entry.path, fs::kArchive);
        } catch (const std::exception&) {
        }
        fs::remove_file(entry.path);
      }
    } else if (entry.tag == kJournalReplacedTag) {
      if (!entry.second.empty() && fs::is_file(entry.second)) {
        try {
          fs::rename_replace(entry.second, entry.path);
        } catch (const std::exception&) {
        }
      }
    } else if (fs::is_directory(entry.path)) {
      fs::remove_directory(entry.path);
    }
    ui.set_progress(--left);
    ui.pump();
  }
}

void drop_replaced_copies(RollbackJournal& journal) {
  for (const auto& entry : journal.read_backwards()) {
    if (entry.tag != kJournalReplacedTag || entry.second.empty() || !fs::exists(entry.second))
      continue;
    if (!fs::exists(entry.path)) {
      // The replacement never arrived: the copy is the only one, so it goes back.
      try {
        fs::rename_replace(entry.second, entry.path);
      } catch (const std::exception&) {
      }
      continue;
    }
    try {
      fs::set_attributes(entry.second, fs::kArchive);
    } catch (const std::exception&) {
    }
    fs::remove_file(entry.second);
  }
}

}  // namespace tarvik
