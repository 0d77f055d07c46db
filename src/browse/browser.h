// The archive browser without its window (Obzor and the navigation of TViewArhiv): the archive
// shown, the level (BrowseLevel) and the rows of that level. Every listing walks the archive
// from volume 001 (Raspakovka1), whichever volume the previous walk ended in; the rows are kept
// here, once, for a list that shows only what is on the screen.
//
// Outcomes of the steps that list:
//   Done        the rows of the level are in hand
//   Failed      the archive could not be read or is damaged: one message has been shown naming
//               the archive and the reason; the rows read before the damage are kept
//   EndProgram  a refused password, a wrong version text, a missing later volume: the
//               system's own message has been shown and the program ends
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "browse/listing.h"
#include "ops/operation.h"
#include "platform/ui.h"

namespace tarvik::browse {

class Browser {
 public:
  // Obzor: `archive` (volume 001, a full path) is opened: its password is asked when it has
  // one (unless the caller has just asked it: `password_checked`), then the top level is
  // listed.
  Outcome open(const std::string& archive, Ui& ui, bool password_checked = false);
  // Double-click (ListView1DblClick): goes down into the row `first_selected` when it is a
  // folder; lists the level again in any case (a file row, or no row, lists the same level).
  Outcome down(std::optional<std::size_t> first_selected, Ui& ui);
  // "назад": up one level and list it; at the top nothing happens (Done).
  Outcome up(Ui& ui);
  // "Возврат": back to the top level; the rows are dropped.
  void close();

  const std::string& archive() const { return archive_; }
  std::string archive_name() const;  // Edit1: the file name of volume 001
  const std::string& level() const { return level_; }  // Edit3
  const std::vector<Row>& rows() const { return rows_; }
  // ChosenEntry of each of the rows `selected` (indices into rows(), in list order); indices
  // past the rows are left out.
  std::vector<std::string> chosen_entries(const std::vector<std::size_t>& selected) const;

 private:
  Outcome relist(Ui& ui);

  std::string archive_;
  std::string level_;
  std::vector<Row> rows_;
};

}  // namespace tarvik::browse
