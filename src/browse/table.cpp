#include "browse/table.h"

#include <algorithm>
#include <vector>

#include "browse/listing.h"
#include "format/fields.h"
#include "format/messages.h"
#include "format/printable.h"
#include "platform/codepage.h"
#include "unpack/extract.h"

namespace tarvik::browse {

namespace {

constexpr std::size_t kColumns = kColumnCaptions.size();
constexpr std::size_t kFirstSizeColumn = 3;  // "Полный, байтов" and "Сжат, байтов" align right
// Output goes out in pieces of about this size.
constexpr std::size_t kWriteBytes = std::size_t{64} << 10;
// Held rows are kept in blocks of this size (a longer row gets a block of its own).
constexpr std::size_t kHeldBlockBytes = std::size_t{256} << 10;
// Ends each text of a held row: printable texts hold no control byte.
constexpr char kCellEnd = '\0';
constexpr char kFileMark = 'F';
constexpr char kFolderMark = 'G';

using Widths = std::array<std::size_t, kColumns>;
using Texts = std::array<std::string_view, kColumns>;

// The printable texts of one row, reused from row to row.
struct Cells {
  bool is_folder = false;
  std::string name, date, full_size, packed_size;

  void set(const ListedEntry& entry, std::string_view row_name) {
    is_folder = entry.is_folder;
    name.clear();
    date.clear();
    full_size.clear();
    packed_size.clear();
    format::append_printable(name, row_name);
    if (!is_folder) {
      format::append_printable(date, entry.date);
      format::append_printable(full_size, entry.size_text);
      packed_size = format::decimal(entry.packed_size);
    }
  }
  Texts texts() const {
    return {name, is_folder ? msg::kFolderType : msg::kFileType, date, full_size, packed_size};
  }
  // Bytes of the row as held.
  std::size_t held_size() const {
    return 1 + name.size() + date.size() + full_size.size() + packed_size.size() + 4;
  }
  void hold(std::string& block) const {
    block += is_folder ? kFolderMark : kFileMark;
    for (const std::string* text : {&name, &date, &full_size, &packed_size}) {
      block += *text;
      block += kCellEnd;
    }
  }
};

// One line of the table: the texts padded to the widths, the sizes on the right, two spaces
// between columns, trailing spaces cut.
void append_line(std::string& out, const Texts& texts, const Widths& widths) {
  const std::size_t start = out.size();
  for (std::size_t c = 0; c < kColumns; ++c) {
    const std::size_t points = codepage::code_points(texts[c]);
    const std::size_t pad = widths[c] > points ? widths[c] - points : 0;
    const bool last = c + 1 == kColumns;
    if (c >= kFirstSizeColumn) {
      out.append(pad, ' ');
      out += texts[c];
    } else {
      out += texts[c];
      if (!last) out.append(pad, ' ');
    }
    if (!last) out += "  ";
  }
  while (out.size() > start && out.back() == ' ') out.pop_back();
  out += '\n';
}

bool fits(const Texts& texts, const Widths& widths) {
  for (std::size_t c = 0; c < kColumns; ++c)
    if (codepage::code_points(texts[c]) > widths[c]) return false;
  return true;
}

// The lines waiting to be written, handed on in pieces.
class Output {
 public:
  explicit Output(const TextSink& write) : write_(write) { text_.reserve(kWriteBytes + 4096); }
  void line(const Texts& texts, const Widths& widths) {
    append_line(text_, texts, widths);
    if (text_.size() >= kWriteBytes) flush();
  }
  void flush() {
    if (!text_.empty()) write_(text_);
    text_.clear();
  }

 private:
  const TextSink& write_;
  std::string text_;
};

// The first rows, as printable texts, in blocks.
class HeldRows {
 public:
  explicit HeldRows(std::size_t limit) : limit_(limit) {}
  // False, and nothing held, when the row would pass the limit.
  bool add(const Cells& cells) {
    const std::size_t size = cells.held_size();
    if (size > limit_ - used_) return false;
    if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < size) {
      blocks_.emplace_back();
      blocks_.back().reserve(std::max(std::min(kHeldBlockBytes, limit_), size));
    }
    cells.hold(blocks_.back());
    used_ += size;
    ++count_;
    return true;
  }
  std::size_t count() const { return count_; }
  // Hands each held row's texts to `each`, in order.
  template <typename Each>
  void for_each(Each each) const {
    for (const std::string& block : blocks_) {
      std::size_t at = 0;
      while (at < block.size()) {
        const bool is_folder = block[at++] == kFolderMark;
        std::array<std::string_view, 4> parts;
        for (auto& part : parts) {
          const std::size_t end = block.find(kCellEnd, at);
          part = std::string_view(block).substr(at, end - at);
          at = end + 1;
        }
        each(Texts{parts[0], is_folder ? msg::kFolderType : msg::kFileType, parts[1], parts[2],
                   parts[3]});
      }
    }
  }

 private:
  std::size_t limit_;
  std::size_t used_ = 0;
  std::size_t count_ = 0;
  std::vector<std::string> blocks_;
};

// The walk of a table: hands each entry of the request's rows to `each` with the row's name;
// `enough` as Raspakovka1's.
template <typename Each>
Outcome walk_rows(const TableRequest& request, Ui& ui, Each each,
                  const std::function<bool()>& enough = {}) {
  return Raspakovka1(
      request.first_volume, ui,
      [&](const ListedEntry& entry) {
        if (!request.level) {
          each(entry, std::string_view(entry.path));
        } else if (const auto name = name_at_level(entry.path, *request.level)) {
          each(entry, *name);
        }
      },
      enough);
}

}  // namespace

Outcome write_table(const TableRequest& request, Ui& ui, const TextSink& write) {
  Widths widths{};
  for (std::size_t c = 0; c < kColumns; ++c) widths[c] = codepage::code_points(kColumnCaptions[c]);
  HeldRows held(request.held_bytes);
  bool holding = true;
  std::size_t rows = 0;
  Cells cells;
  Outcome outcome = walk_rows(request, ui, [&](const ListedEntry& entry, std::string_view name) {
    cells.set(entry, name);
    const Texts texts = cells.texts();
    for (std::size_t c = 0; c < kColumns; ++c)
      widths[c] = std::max(widths[c], codepage::code_points(texts[c]));
    holding = holding && held.add(cells);
    ++rows;
  });
  if (outcome != Outcome::Done && rows == 0) return outcome;

  Output out(write);
  out.line(Texts{kColumnCaptions[0], kColumnCaptions[1], kColumnCaptions[2], kColumnCaptions[3],
                 kColumnCaptions[4]},
           widths);
  held.for_each([&](const Texts& texts) { out.line(texts, widths); });
  if (held.count() < rows) {
    // The rows past those held, from a second walk that shows nothing; what is held goes out
    // first.
    out.flush();
    SilentUi silent;
    std::size_t seen = 0;
    bool same = true;
    (void)walk_rows(
        request, silent,
        [&](const ListedEntry& entry, std::string_view name) {
          const std::size_t index = seen++;
          if (index < held.count()) return;
          cells.set(entry, name);
          const Texts texts = cells.texts();
          same = fits(texts, widths);
          if (same) out.line(texts, widths);
        },
        [&] { return !same || seen == rows; });
    if (!same || seen != rows) {
      out.flush();
      ui.show_message(msg::listing_failed(request.first_volume, msg::kArchiveChangedWhileListed));
      if (outcome == Outcome::Done) outcome = Outcome::Failed;
    }
  }
  out.flush();
  return outcome;
}

}  // namespace tarvik::browse
