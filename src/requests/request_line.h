// The request line: what the Explorer's context-menu handler puts on the program's command line,
// read into one of six forms.
//
// The request text is every argument followed by one blank ("a b " for the arguments a and b),
// so a request the shell split at blanks is joined back. A request names items, each a full
// path followed by "*", and carries a marker anywhere in it: "<" (pack, or unpack into a new
// folder) or ">" (select, or unpack here). The first item is the text before the first "*",
// trimmed; it counts as an archive when its extension is exactly ".kzv" (".KZV" is not).
//
//   form             when (tested in this order)
//   interactive      the first argument, trimmed, is empty (or there is none)
//   browse           no "*", no "<" and no ">": the first argument names an archive
//   pack             "<", and two or more "*" or a first item that is not an archive
//   select           ">", and two or more "*" or a first item that is not an archive
//   unpack to folder "<", one "*", and the first item is an archive
//   unpack here      ">", one "*", and the first item is an archive
//   unrecognised     anything else: "*" without a marker, or a marker without "*"
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "requests/request_writer.h"  // kItemEnd, the markers, kArchiveExtension

namespace tarvik::requests {

enum class Form { Interactive, Browse, Pack, Select, UnpackToFolder, UnpackHere, Unrecognised };

struct RequestLine {
  Form form = Form::Interactive;
  std::string text;            // every argument followed by one blank
  std::string first_argument;  // as given (the browse request's archive)
  std::string first_item;      // the text before the first "*", trimmed
  std::vector<std::string> items;  // the text before each "*", as written (blanks kept)
};

// Every argument followed by one blank.
std::string request_text(const std::vector<std::string>& args);
RequestLine parse_request(const std::vector<std::string>& args);

// The extension of a path's file name, the dot included ("" when there is none).
std::string_view extension(std::string_view path);
bool is_archive_item(std::string_view item);
// The folder an unpack-to-folder request extracts into: beside the archive, named after it
// ("C:\d\arh.kzv" gives "C:\d\arh", "E:\arh.kzv" gives "E:\arh").
std::string unpack_folder(std::string_view archive);

// The item walk: which entries of the first item's folder the items name. Each item is matched
// by its full path, trimmed: exactly first, then (where the file system ignores letter case)
// with Latin and Cyrillic letter case ignored. Only an item that matches neither is compared with blanks removed from both sides (a
// request split at blanks and joined back with one blank per gap), and only when that names
// exactly one entry. An item that names no entry this way (it lies in another folder, or is
// not there) is returned in `unmatched`, never dropped or taken for another file.
struct ItemWalk {
  std::vector<std::size_t> selected;   // each entry once, in the order found
  std::vector<std::string> unmatched;  // trimmed, in request order
};
ItemWalk select_items(std::string_view folder, const std::vector<std::string>& entry_names,
                      const std::vector<std::string>& items);

}  // namespace tarvik::requests
