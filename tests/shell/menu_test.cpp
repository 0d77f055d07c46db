// The context menu's commands for a selection: captions, verbs and the request lines they start
// the program with.
#include "shell/menu.h"

#include <gtest/gtest.h>

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

TEST(NameWithoutExtension, IsTheFileNameMinusItsLastExtension) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"C:\\d\\arh.kzv", "arh"},     {"C:\\d\\photos", "photos"}, {"C:\\d\\a.tar.gz", "a.tar"},
      {"C:\\d.x\\noext", "noext"},   {"C:\\", ""},                {"C:\\d\\.profile", ""},
      {"arh.kzv", "arh"},
  };
  for (auto [path, name] : cases) EXPECT_EQ(shell::name_without_extension(path), name) << path;
}

}  // namespace
}  // namespace tarvik::test
