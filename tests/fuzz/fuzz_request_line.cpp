// The request line of the Windows program: any command line (the input split at NUL bytes into
// arguments) is read into exactly one form without fault, and the parts the start-up then uses
// hold together. Items that can be Windows file names (no "*", "<" or ">", not blank at the
// ends) written by the context menu's writer are read back as written, and the item walk
// selects only entries that exist.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "requests/request_line.h"
#include "requests/request_writer.h"

using namespace tarvik;
using namespace tarvik::requests;

namespace {

#define REQUIRE(condition) \
  if (!(condition)) fuzz::finding("request line: " #condition)

std::vector<std::string> split(std::string_view bytes, char at) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= bytes.size(); ++i)
    if (i == bytes.size() || bytes[i] == at) {
      parts.emplace_back(bytes.substr(start, i - start));
      start = i + 1;
    }
  return parts;
}

bool usable_item(const std::string& item) {
  if (item.empty() || item.front() == ' ' || item.back() == ' ') return false;
  return item.find_first_of("*<> \t\r\n") == std::string::npos;
}

void check_form(const RequestLine& line) {
  switch (line.form) {
    case Form::Pack:
    case Form::Select:
    case Form::UnpackToFolder:
    case Form::UnpackHere:
      REQUIRE(!line.items.empty());
      break;
    default:
      break;
  }
  if (line.form == Form::UnpackToFolder) {
    REQUIRE(is_archive_item(line.first_item));
    (void)unpack_folder(line.first_item);
  }
  (void)name_without_extension(line.first_item);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // Any command line.
  const std::vector<std::string> args = split(bytes, '\0');
  const RequestLine line = parse_request(args);
  REQUIRE(line.text == request_text(args));
  check_form(line);
  const std::vector<std::string> names = split(bytes, '\n');
  const ItemWalk walk = select_items(line.first_item, names, line.items);
  for (const std::size_t index : walk.selected) REQUIRE(index < names.size());
  REQUIRE(walk.selected.size() + walk.unmatched.size() <= line.items.size());

  // A request as the context menu writes it: the items come back as written.
  std::vector<std::string> items;
  for (const auto& item : split(bytes, '\0'))
    if (usable_item(item)) items.push_back(item);
  if (items.empty()) return 0;
  for (const char marker : {kPackMarker, kSelectMarker}) {
    const RequestLine written = parse_request({write_request(items, marker)});
    REQUIRE(written.items.size() == items.size());
    for (std::size_t i = 0; i < items.size(); ++i) REQUIRE(written.items[i] == items[i]);
    REQUIRE(written.form != Form::Unrecognised && written.form != Form::Browse &&
               written.form != Form::Interactive);
  }
  return 0;
}
