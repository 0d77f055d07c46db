// The context menu's commands for a selection: captions, verbs and the request lines they start
// the program with.
#include "shell/menu.h"

#include <gtest/gtest.h>

#include "requests/request_line.h"

namespace tarvik::test {
namespace {

using shell::Command;

struct Expected {
  Command command;
  std::string caption;
  std::string request;
};

struct Case {
  std::vector<std::string> selection;
  std::vector<Expected> items;
};

TEST(ContextMenuItems, FollowTheSelection) {
  const Case cases[] = {
      {{"C:\\d\\a.txt", "C:\\d\\b.txt"},
       {{Command::Pack, "Создать KZV архив a.kzv", "C:\\d\\a.txt*C:\\d\\b.txt*<"},
        {Command::Open, "Открыть в Tarvik", "C:\\d\\a.txt*C:\\d\\b.txt*>"}}},
      {{"C:\\d\\arh.kzv"},
       {{Command::UnpackHere, "Распаковать в текущую папку", "C:\\d\\arh.kzv*>"},
        {Command::UnpackToFolder, "Распаковать в папку: arh", "C:\\d\\arh.kzv*<"},
        {Command::Open, "Открыть в Tarvik", "C:\\d\\arh.kzv"}}},
      // The archive test counts case, as the program's does: this one is packed.
      {{"C:\\d\\arh.KZV"},
       {{Command::Pack, "Создать KZV архив arh.kzv", "C:\\d\\arh.KZV*<"},
        {Command::Open, "Открыть в Tarvik", "C:\\d\\arh.KZV*>"}}},
      // An archive among other items is packed with them.
      {{"C:\\d\\arh.kzv", "C:\\d\\b.txt"},
       {{Command::Pack, "Создать KZV архив arh.kzv", "C:\\d\\arh.kzv*C:\\d\\b.txt*<"},
        {Command::Open, "Открыть в Tarvik", "C:\\d\\arh.kzv*C:\\d\\b.txt*>"}}},
      {{"D:\\Мои документы\\Фото & видео"},
       {{Command::Pack, "Создать KZV архив Фото && видео.kzv", "D:\\Мои документы\\Фото & видео*<"},
        {Command::Open, "Открыть в Tarvik", "D:\\Мои документы\\Фото & видео*>"}}},
      {{"E:\\x\\report.2024.txt"},
       {{Command::Pack, "Создать KZV архив report.2024.kzv", "E:\\x\\report.2024.txt*<"},
        {Command::Open, "Открыть в Tarvik", "E:\\x\\report.2024.txt*>"}}},
      {{"E:\\x\\Tom & Jerry.kzv"},
       {{Command::UnpackHere, "Распаковать в текущую папку", "E:\\x\\Tom & Jerry.kzv*>"},
        {Command::UnpackToFolder, "Распаковать в папку: Tom && Jerry", "E:\\x\\Tom & Jerry.kzv*<"},
        {Command::Open, "Открыть в Tarvik", "E:\\x\\Tom & Jerry.kzv"}}},
      // A drive root gives no archive name: only the window is offered.
      {{"C:\\"}, {{Command::Open, "Открыть в Tarvik", "C:\\*>"}}},
      {{}, {}},
  };
  for (const auto& c : cases) {
    const auto items = shell::menu_items(c.selection);
    const std::string first = c.selection.empty() ? "(none)" : c.selection.front();
    ASSERT_EQ(items.size(), c.items.size()) << first;
    for (std::size_t i = 0; i < items.size(); ++i) {
      EXPECT_EQ(items[i].command, c.items[i].command) << first << " #" << i;
      EXPECT_EQ(items[i].caption, c.items[i].caption) << first << " #" << i;
      EXPECT_EQ(items[i].request, c.items[i].request) << first << " #" << i;
      EXPECT_FALSE(items[i].help.empty());
    }
  }
}

TEST(ContextMenuItems, HaveOneVerbEachForEveryCommand) {
  const auto archive = shell::menu_items({"C:\\d\\arh.kzv"});
  const auto files = shell::menu_items({"C:\\d\\a.txt"});
  std::vector<std::string> verbs;
  for (const auto* list : {&archive, &files}) {
    for (const auto& item : *list) {
      verbs.push_back(item.verb);
      EXPECT_TRUE(item.verb.starts_with("Tarvik")) << item.verb;
    }
  }
  EXPECT_EQ(verbs, (std::vector<std::string>{"TarvikUnpackHere", "TarvikUnpackToFolder",
                                              "TarvikOpen", "TarvikPack", "TarvikOpen"}));
}

// The program reads every request the menu writes as the command it was chosen for.
TEST(ContextMenuItems, AreReadByTheProgramAsTheirCommands) {
  using requests::Form;
  const std::vector<std::vector<std::string>> selections = {
      {"C:\\d\\a.txt", "C:\\d\\b c.txt"}, {"C:\\d\\arh.kzv"}, {"C:\\d\\arh.KZV"},
      {"C:\\d\\arh.kzv", "C:\\d\\b.txt"}, {"D:\\Мои документы\\Фото & видео"}, {"C:\\"},
  };
  for (const auto& selection : selections) {
    const bool archive = selection.size() == 1 && selection[0].ends_with(".kzv");
    for (const auto& item : shell::menu_items(selection)) {
      // The handler passes the request as one argument.
      const auto line = requests::parse_request({item.request});
      const Form expected = item.command == Command::Pack             ? Form::Pack
                            : item.command == Command::UnpackHere     ? Form::UnpackHere
                            : item.command == Command::UnpackToFolder ? Form::UnpackToFolder
                            : archive                                 ? Form::Browse
                                                                      : Form::Select;
      EXPECT_EQ(line.form, expected) << item.request;
      if (expected == Form::Browse) {
        EXPECT_EQ(line.first_argument, selection[0]);
      } else {
        EXPECT_EQ(line.items, selection) << item.request;
        EXPECT_EQ(line.first_item, selection[0]);
      }
      if (expected == Form::Pack || expected == Form::UnpackToFolder) {
        // The name in the caption ("&&" shows one "&") is the one the program gives the
        // archive or the folder.
        std::string shown;
        for (std::size_t i = 0; i < item.caption.size(); ++i) {
          shown += item.caption[i];
          if (item.caption.compare(i, 2, "&&") == 0) ++i;
        }
        EXPECT_NE(shown.find(requests::name_without_extension(line.first_item)), std::string::npos)
            << item.caption;
      }
    }
  }
}

TEST(NameWithoutExtension, IsTheFileNameMinusItsLastExtension) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"C:\\d\\arh.kzv", "arh"},     {"C:\\d\\photos", "photos"}, {"C:\\d\\a.tar.gz", "a.tar"},
      {"C:\\d.x\\noext", "noext"},   {"C:\\", ""},                {"C:\\d\\.profile", ""},
      {"arh.kzv", "arh"},
  };
  for (auto [path, name] : cases) EXPECT_EQ(requests::name_without_extension(path), name) << path;
}

}  // namespace
}  // namespace tarvik::test
