// The listing as a text table, as `tarvik list` prints it: a line of column captions, then
// one line per row in archive order, every column as wide as its widest text over the whole
// table (widths in code points of the printable texts; the sizes right-aligned, the other
// columns left-aligned, two spaces between columns, no space at the end of a line).
//
// Memory stays bounded whatever the number of rows. The printable texts of the first rows are
// held, up to `held_bytes`; when the archive has more, the walk goes on measuring the columns
// only, and once it is over a second walk from volume 001 prints the rows past those held,
// with the widths of the whole table. The first walk decides the outcome and shows its
// messages; the second shows none and ends at the last row the first gave.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "format/messages.h"
#include "ops/operation.h"
#include "platform/ui.h"

namespace tarvik::browse {

// The captions of the columns of a row (browse::Row), in order.
inline constexpr std::array<std::string_view, 5> kColumnCaptions = {
    msg::kColumnCaptions[0], msg::kColumnCaptions[1], msg::kColumnCaptions[2],
    msg::kColumnCaptions[3], msg::kColumnCaptions[4]};

// Text held before a listing takes a second walk: tens of thousands of rows of ordinary
// names.
inline constexpr std::size_t kHeldTableBytes = std::size_t{4} << 20;

struct TableRequest {
  std::string first_volume;
  // The rows of this level (browse::name_at_level); none: every record, named by its whole
  // path (browse::tree_row).
  std::optional<std::string> level;
  std::size_t held_bytes = kHeldTableBytes;
};

// Receives the table in pieces of whole lines.
using TextSink = std::function<void(std::string_view)>;

// Walks the archive and writes the table to `write`. Messages go through `ui`. The outcome is
// the walk's (extract.h): when it is not Done the table holds the rows read before the failure,
// and nothing at all is written when there were none. The table has the rows of the first
// walk: when the second walk no longer gives them (the archive was rewritten meanwhile), the
// table stops at the first row that is missing or wider than its columns, and the archive is
// named as changed (Failed).
Outcome write_table(const TableRequest& request, Ui& ui, const TextSink& write);

}  // namespace tarvik::browse
