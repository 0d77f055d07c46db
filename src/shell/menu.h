// The commands the Explorer context menu offers for a selection, each with the request line it
// starts the program with. Portable and free of the rest of the program: the context-menu
// handler (KZVContextMenu.dll) builds it with the request writer alone.
//
//   selection                 commands (in menu order)
//   one archive (".kzv")      "Распаковать в текущую папку"       "<archive>*>"
//                             "Распаковать в папку: <name>"        "<archive>*<"
//                             "Открыть в Tarvik"                   "<archive>" (browse)
//   anything else             "Создать KZV архив <name>.kzv"       "<item>*<item>*...*<"
//                             "Открыть в Tarvik"                   "<item>*<item>*...*>" (select)
//
// <name> is the first item's file name without its extension, as the program derives the new
// archive's name and the new folder's name from it. A single archive cannot be packed or
// selected from the menu (its request would read as an unpack request), so "Открыть в Tarvik"
// browses it instead; a selection whose first item gives no name (a drive root) is offered no
// packing, which could only fail.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvik::shell {

enum class Command { UnpackHere, UnpackToFolder, Pack, Open };

struct MenuItem {
  Command command;
  std::string caption;  // as the menu shows it: a "&" is doubled, a single one would be a mnemonic
  std::string verb;     // language-independent name, for callers that invoke by verb
  std::string help;     // the status-bar text
  std::string request;  // the program's one argument
};

// `selection` holds full Windows paths (UTF-8), the first one first; an empty selection gets no
// commands.
std::vector<MenuItem> menu_items(const std::vector<std::string>& selection);


}  // namespace tarvik::shell
