#include "browse/browser.h"

#include "format/messages.h"
#include "format/names.h"
#include "ops/checks.h"
#include "platform/error.h"
#include "platform/file.h"

namespace tarvik::browse {

namespace {

// Holds the messages of a listing walk, so that a damaged archive is reported once, with the
// archive named; everything else goes on to the user's Ui.
class HeldMessages final : public ForwardingUi {
 public:
  explicit HeldMessages(Ui& ui) : ForwardingUi(ui) {}
  void show_message(std::string_view text) override {
    if (!held_.empty()) held_ += '\n';
    held_ += text;
  }

  // The messages as the user sees them: a failed listing names the archive; the system's
  // own texts (a missing volume, a wrong version text) are shown as they are.
  void release(Outcome outcome, const std::string& archive) {
    if (held_.empty()) return;
    inner().show_message(outcome == Outcome::Failed ? msg::listing_failed(archive, held_) : held_);
    held_.clear();
  }

 private:
  std::string held_;
};

}  // namespace

Outcome Browser::open(const std::string& archive, Ui& ui, bool password_checked) {
  archive_ = archive;
  level_.clear();
  rows_.clear();
  // A file that cannot be read is no refused password: the program goes on.
  try {
    File probe(archive_, File::Mode::Read);
  } catch (const OsError& error) {
    ui.show_message(msg::listing_failed(archive_, msg::cannot_read(archive_, error.reason())));
    return Outcome::Failed;
  }
  if (!password_checked && !password_ok(archive_, ui)) return Outcome::EndProgram;
  return relist(ui);
}

Outcome Browser::down(std::optional<std::size_t> first_selected, Ui& ui) {
  if (first_selected && *first_selected < rows_.size() && rows_[*first_selected].is_folder)
    level_ = level_down(level_, rows_[*first_selected].name);
  return relist(ui);
}

Outcome Browser::up(Ui& ui) {
  if (level_.find('\\') == std::string::npos) return Outcome::Done;
  level_ = level_up(level_);
  return relist(ui);
}

void Browser::close() {
  level_.clear();
  rows_.clear();
  rows_.shrink_to_fit();
}

std::string Browser::archive_name() const { return std::string(format::file_name_part(archive_)); }

std::vector<std::string> Browser::chosen_entries(const std::vector<std::size_t>& selected) const {
  std::vector<std::string> entries;
  for (std::size_t index : selected)
    if (index < rows_.size()) entries.push_back(chosen_entry(rows_[index]));
  return entries;
}

Outcome Browser::relist(Ui& ui) {
  rows_.clear();
  HeldMessages held(ui);
  Listing listing = list_level(archive_, level_, held);
  rows_ = std::move(listing.rows);
  held.release(listing.outcome, archive_);
  return listing.outcome;
}

}  // namespace tarvik::browse
