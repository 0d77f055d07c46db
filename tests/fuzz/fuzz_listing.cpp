// The listing walk of the browser (Raspakovka1): the whole tree and one level, as
// `tarvik list` and the browser window build them, after the password check; and the table of
// `tarvik list -r`, which must be the same whether its rows were all held or came from a
// second walk.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "browse/listing.h"
#include "browse/table.h"
#include "fuzz_support.h"
#include "ops/checks.h"
#include "unpack/extract.h"

using namespace tarvik;

namespace {

// Counts the messages it passes on.
class CountingUi final : public ForwardingUi {
 public:
  using ForwardingUi::ForwardingUi;
  std::size_t messages = 0;
  void show_message(std::string_view text) override {
    ++messages;
    ForwardingUi::show_message(text);
  }
};

struct Table {
  Outcome outcome;
  std::string text;
  std::size_t messages;
};

Table table_of(const std::string& first, std::size_t held, Ui& ui) {
  browse::TableRequest request;
  request.first_volume = first;
  request.held_bytes = held;
  CountingUi counting(ui);
  Table t{Outcome::Done, "", 0};
  t.outcome = browse::write_table(request, counting, [&](std::string_view piece) { t.text += piece; });
  t.messages = counting.messages;
  return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::Input input = fuzz::split(data, size);
  fuzz::Scratch scratch;
  const std::string first = scratch.write(input, scratch.arch);
  fuzz::FuzzUi ui{std::string(fuzz::kSeedPassword)};
  (void)password_ok(first, ui);
  const browse::Listing tree = browse::list_tree(first, ui);
  // Go down into the first folder row of the top level, then up again.
  const browse::Listing top = browse::list_level(first, "", ui);
  for (const auto& row : top.rows) {
    if (!row.is_folder) continue;
    const std::string level = browse::level_down("", row.name);
    (void)browse::list_level(first, level, ui);
    if (browse::level_up(level) != "") fuzz::finding("up from a level below the top");
    break;
  }
  const Table one = table_of(first, std::numeric_limits<std::size_t>::max(), ui);
  const Table two = table_of(first, 0, ui);
  if (one.outcome != tree.outcome) fuzz::finding("the table's outcome differs from the listing's");
  const std::size_t lines = static_cast<std::size_t>(std::count(one.text.begin(), one.text.end(), '\n'));
  if (lines != (tree.rows.empty() && tree.outcome != Outcome::Done ? 0 : tree.rows.size() + 1))
    fuzz::finding("the table's rows differ from the listing's");
  if (two.outcome != one.outcome || two.text != one.text || two.messages != one.messages)
    fuzz::finding("the table of two walks differs from the table of one");
  return 0;
}
