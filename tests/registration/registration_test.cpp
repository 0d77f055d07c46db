// The program's registry entries on the registry in memory: the fourteen rows byte for byte,
// the start-up that writes only what is missing, the three menu commands with their messages,
// and a user who may not change the registry.
#include "registration/registration.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "expected_rows.h"
#include "format/messages.h"
#include "test_support.h"

namespace tarvik::test {
namespace {

Rows rows_of(const MemoryRegistry& reg) { return sorted(reg.rows()); }

bool has_key(const MemoryRegistry& reg, std::string_view name) {
  for (const auto& key : reg.keys()) {
    if (upper(key) == upper(std::string(name))) return true;
  }
  return false;
}

TEST(ProgramFolder, IsThePathWithoutItsLastLevel) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"C:\\Prog\\Tarvik.exe", "C:\\Prog"},
      {"C:\\Program Files\\Tarvik\\Tarvik.exe", "C:\\Program Files\\Tarvik"},
      {"C:\\Tarvik.exe", "C:"},
      {"Tarvik.exe", ""},
      {"", ""},
  };
  for (auto [path, folder] : cases) EXPECT_EQ(shell::program_folder(path), folder) << path;
}

TEST(RegistryStartup, FirstStartWritesTheFourteenRowsForTheProgramsFolder) {
  // Whatever the running file is called, the rows name "Tarvik.exe".
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"C:\\Prog\\Tarvik.exe", "C:\\Prog"},
      {"C:\\Prog\\Архиватор (копия).exe", "C:\\Prog"},
      {"C:\\Program Files\\Tarvik\\TARVIK.EXE", "C:\\Program Files\\Tarvik"},
      {"D:\\Tarvik.exe", "D:"},
  };
  for (auto [exe, folder] : cases) {
    MemoryRegistry reg;
    EXPECT_TRUE(shell::RegistryStartup(reg, exe)) << exe;
    EXPECT_EQ(rows_of(reg), sorted(plus(file_type_rows(folder), handler_rows(folder)))) << exe;
  }
}

TEST(RegistryStartup, LaterStartsWriteNothingEvenFromAnotherFolder) {
  MemoryRegistry reg;
  ASSERT_TRUE(shell::RegistryStartup(reg, "C:\\Prog\\Tarvik.exe"));
  const auto changes = reg.changes();
  EXPECT_TRUE(shell::RegistryStartup(reg, "E:\\Other\\Tarvik.exe"));
  EXPECT_TRUE(shell::RegistryStartup(reg, "C:\\Prog\\Tarvik.exe"));
  EXPECT_EQ(reg.changes(), changes);
  EXPECT_EQ(rows_of(reg), sorted(plus(file_type_rows("C:\\Prog"), handler_rows("C:\\Prog"))));
}

TEST(RegistryStartup, QuotesTheUnquotedCommandsOfAnEarlierVersionOnly) {
  // command found -> command after the start; any other command is the user's and stays.
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"C:\\Program Files\\Tarvik\\Tarvik.exe  \"%1\"",
       "\"C:\\Program Files\\Tarvik\\Tarvik.exe\"  \"%1\""},
      {"D:\\Старая папка\\Tarvik.exe  \"%1\"", "\"D:\\Старая папка\\Tarvik.exe\"  \"%1\""},
      {"\"C:\\Prog\\Tarvik.exe\"  \"%1\"", "\"C:\\Prog\\Tarvik.exe\"  \"%1\""},
      {"notepad.exe \"%1\"", "notepad.exe \"%1\""},
      {"", ""},
  };
  for (auto [found, after] : cases) {
    SCOPED_TRACE(found);
    MemoryRegistry reg;
    ASSERT_TRUE(shell::RegistryStartup(reg, "C:\\Prog\\Tarvik.exe"));
    for (auto key : {"Tarvik\\Shell\\open\\command", "Tarvik\\Shell\\edit\\command"})
      reg.open(Root::ClassesRoot, key, registry::Open::Existing)->write("", found);
    EXPECT_TRUE(shell::RegistryStartup(reg, "C:\\Prog\\Tarvik.exe"));
    for (auto key : {"Tarvik\\Shell\\open\\command", "Tarvik\\Shell\\edit\\command"})
      EXPECT_EQ(reg.open(Root::ClassesRoot, key, registry::Open::Existing)->read(""), after);
  }
}

TEST(RegistryStartup, TestsEachGroupByItsOwnKeyOnly) {
  // ".KZV" in any spelling keeps rows 1-5 from being checked or written; "software\KZV" keeps
  // row 6 and the handler's rows.
  MemoryRegistry reg;
  reg.open(Root::ClassesRoot, ".KZV", registry::Open::Create)->write("", "OtherApp");
  EXPECT_TRUE(shell::RegistryStartup(reg, "C:\\Prog\\Tarvik.exe"));
  EXPECT_EQ(rows_of(reg),
            sorted(plus({{cat({kClassesRoot, ".KZV"}), "", "OtherApp"},
                         file_type_rows("C:\\Prog").back()},
                        handler_rows("C:\\Prog"))));

  MemoryRegistry settled;
  settled.open(Root::LocalMachine, "SOFTWARE\\kzv", registry::Open::Create);
  EXPECT_TRUE(shell::RegistryStartup(settled, "C:\\Prog\\Tarvik.exe"));
  auto rows = file_type_rows("C:\\Prog");
  rows.pop_back();
  EXPECT_EQ(rows_of(settled), sorted(rows));
}

TEST(MenuCommands, InstallRegistersTheHandlerInTheRecordedFolder) {
  MemoryRegistry reg;
  RecordingUi ui;
  ASSERT_TRUE(shell::RegistryStartup(reg, "C:\\Prog\\Tarvik.exe"));
  reg.delete_tree(Root::ClassesRoot, "*\\shellex\\ContextMenuHandlers\\Tarvik");
  reg.delete_tree(Root::LocalMachine, "SOFTWARE\\Classes\\CLSID");

  // Run from another folder, it still registers the folder that "Application" names.
  EXPECT_TRUE(shell::install_explorer_menu(reg, ui, "E:\\Copy\\Tarvik.exe"));
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Контекстное меню проводника установлено!"});
  EXPECT_EQ(rows_of(reg), sorted(plus(file_type_rows("C:\\Prog"), handler_rows("C:\\Prog"))));
}

TEST(MenuCommands, ClearExplorerMenuRemovesTheHandlerAndKeepsTheFileType) {
  MemoryRegistry reg;
  RecordingUi ui;
  ASSERT_TRUE(shell::RegistryStartup(reg, "C:\\Prog\\Tarvik.exe"));
  EXPECT_TRUE(shell::clear_explorer_menu(reg, ui));
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Контекстное меню проводника очищено!"});
  EXPECT_EQ(rows_of(reg), sorted(file_type_rows("C:\\Prog")));
  EXPECT_FALSE(has_key(reg, "HKEY_CLASSES_ROOT\\CLSID\\{4B7D21C6-93E0-4F5A-A1D8-3C6E90B2F417}"));
  EXPECT_FALSE(has_key(reg, "HKEY_CLASSES_ROOT\\Folder\\shellex\\ContextMenuHandlers\\Tarvik"));

  // Again, with nothing left to remove: the same message.
  EXPECT_TRUE(shell::clear_explorer_menu(reg, ui));
  EXPECT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages.back(), "Контекстное меню проводника очищено!");
}

// The parent keys that clearing opens with creation allowed.
const std::vector<std::string> kHandlerParents = {
    "HKEY_CLASSES_ROOT\\*\\shellex\\ContextMenuHandlers",
    "HKEY_CLASSES_ROOT\\CLSID",
    "HKEY_CLASSES_ROOT\\Directory\\shellex\\ContextMenuHandlers",
    "HKEY_CLASSES_ROOT\\Folder\\shellex\\ContextMenuHandlers",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
};

TEST(MenuCommands, ClearingAnEmptyRegistryLeavesTheParentKeysCreatedEmpty) {
  for (bool whole : {false, true}) {
    MemoryRegistry reg;
    RecordingUi ui;
    EXPECT_TRUE(whole ? shell::clear_registration(reg, ui) : shell::clear_explorer_menu(reg, ui));
    EXPECT_EQ(ui.messages, std::vector<std::string>{whole
                                                        ? "Регистрация программы в Windows удалена!"
                                                        : "Контекстное меню проводника очищено!"});
    EXPECT_TRUE(reg.rows().empty());
    for (const auto& key : kHandlerParents) EXPECT_TRUE(has_key(reg, key)) << key;
    EXPECT_FALSE(has_key(reg, "HKEY_CLASSES_ROOT\\Tarvik"));
    EXPECT_FALSE(has_key(reg, "HKEY_LOCAL_MACHINE\\software\\KZV"));
  }
}

TEST(MenuCommands, ClearRegistrationRemovesEverythingAndTheNextStartWritesItAgain) {
  MemoryRegistry reg;
  RecordingUi ui;
  ASSERT_TRUE(shell::RegistryStartup(reg, "C:\\Prog\\Tarvik.exe"));
  EXPECT_TRUE(shell::clear_registration(reg, ui));
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Регистрация программы в Windows удалена!"});
  EXPECT_TRUE(reg.rows().empty());
  for (auto gone : {"HKEY_CLASSES_ROOT\\.kzv", "HKEY_CLASSES_ROOT\\Tarvik",
                    "HKEY_LOCAL_MACHINE\\software\\KZV"}) {
    EXPECT_FALSE(has_key(reg, gone)) << gone;
  }

  EXPECT_TRUE(shell::RegistryStartup(reg, "F:\\New\\Tarvik.exe"));
  EXPECT_EQ(rows_of(reg), sorted(plus(file_type_rows("F:\\New"), handler_rows("F:\\New"))));
}

TEST(MenuCommands, InstallAfterClearRegistrationRecordsTheRunningProgram) {
  MemoryRegistry reg;
  RecordingUi ui;
  ASSERT_TRUE(shell::RegistryStartup(reg, "C:\\Prog\\Tarvik.exe"));
  ASSERT_TRUE(shell::clear_registration(reg, ui));
  EXPECT_TRUE(shell::install_explorer_menu(reg, ui, "F:\\New\\Tarvik.exe"));
  EXPECT_EQ(ui.messages.back(), "Контекстное меню проводника установлено!");
  EXPECT_EQ(rows_of(reg), sorted(plus({file_type_rows("F:\\New").back()}, handler_rows("F:\\New"))));

  // The next start completes the file type and leaves the rest.
  EXPECT_TRUE(shell::RegistryStartup(reg, "F:\\New\\Tarvik.exe"));
  EXPECT_EQ(rows_of(reg), sorted(plus(file_type_rows("F:\\New"), handler_rows("F:\\New"))));
}

TEST(RegistryStartup, WithoutRightsGoesOnAndLeavesNoMarkerThatStopsTheNextStart) {
  struct Case {
    std::vector<Root> denied;
    Rows left;  // what stays after the refused start
  };
  auto rows_1_to_5 = file_type_rows("C:\\Prog");
  rows_1_to_5.pop_back();
  const Case cases[] = {
      {{Root::ClassesRoot, Root::LocalMachine}, {}},
      {{Root::ClassesRoot}, {}},
      {{Root::LocalMachine}, rows_1_to_5},
  };
  for (const auto& c : cases) {
    MemoryRegistry reg;
    for (Root root : c.denied) reg.deny_changes(root);
    EXPECT_FALSE(shell::RegistryStartup(reg, "C:\\Prog\\Tarvik.exe"));
    EXPECT_EQ(rows_of(reg), sorted(c.left));
    EXPECT_FALSE(has_key(reg, "HKEY_CLASSES_ROOT\\.kzv") && c.left.empty());
    EXPECT_FALSE(has_key(reg, "HKEY_LOCAL_MACHINE\\software\\KZV"));

    // Started again by someone who may: everything is written.
    for (Root root : c.denied) reg.deny_changes(root, false);
    EXPECT_TRUE(shell::RegistryStartup(reg, "C:\\Prog\\Tarvik.exe"));
    EXPECT_EQ(rows_of(reg), sorted(plus(file_type_rows("C:\\Prog"), handler_rows("C:\\Prog"))));
  }
}

TEST(MenuCommands, WithoutRightsSayWhichKeyAndWhyInsteadOfTheSuccessText) {
  const std::string reason = describe_os_error(os_error_access_denied());
  const std::string kzv = "HKEY_LOCAL_MACHINE\\software\\KZV";
  const std::string classes = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID";
  const std::string clsid = "HKEY_CLASSES_ROOT\\CLSID";
  struct Case {
    Root denied;
    int command;  // 5 install, 6 clear the menu, 8 clear the registration
    std::string key;
  };
  const Case cases[] = {
      {Root::LocalMachine, 5, kzv},  {Root::LocalMachine, 6, classes},
      {Root::LocalMachine, 8, classes}, {Root::ClassesRoot, 5, clsid + "\\{4B7D21C6-93E0-4F5A-A1D8-3C6E90B2F417}\\InprocServer32"},
      {Root::ClassesRoot, 6, clsid}, {Root::ClassesRoot, 8, clsid},
  };
  for (const auto& c : cases) {
    MemoryRegistry reg;
    ASSERT_TRUE(shell::RegistryStartup(reg, "C:\\Prog\\Tarvik.exe"));
    const auto before = reg.rows();
    reg.deny_changes(c.denied);
    RecordingUi ui;
    bool done = c.command == 5   ? shell::install_explorer_menu(reg, ui, "C:\\Prog\\Tarvik.exe")
                : c.command == 6 ? shell::clear_explorer_menu(reg, ui)
                                 : shell::clear_registration(reg, ui);
    EXPECT_FALSE(done) << c.command;
    EXPECT_EQ(ui.messages, std::vector<std::string>{msg::registry_not_changed(c.key, reason, true)})
        << c.command;
    EXPECT_NE(ui.messages.front().find("администратор"), std::string::npos);
    // Nothing of the denied root changed.
    for (const auto& row : before) {
      if (row.key.starts_with(registry::root_name(c.denied))) {
        const auto after = reg.rows();
        EXPECT_NE(std::find(after.begin(), after.end(), row), after.end()) << row.key;
      }
    }
  }
}

}  // namespace
}  // namespace tarvik::test
