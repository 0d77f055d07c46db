// The program's registry entries in the real registry (under Wine: the prefix's), read back
// through the plain Win32 API rather than through the program's own registry layer.
#include <windows.h>

#include <gtest/gtest.h>

#include <iostream>
#include <optional>

#include "../expected_rows.h"
#include "platform/codepage.h"
#include "registration/registration.h"
#include "test_support.h"

namespace tarvik::test {
namespace {

// The value a row names, read with RegGetValueW; nullopt when the key or value is missing.
std::optional<std::string> read_back(const MemoryRegistry::Row& row) {
  std::string_view key = row.key;
  HKEY root = HKEY_LOCAL_MACHINE;
  if (key.starts_with(kClassesRoot)) {
    root = HKEY_CLASSES_ROOT;
    key.remove_prefix(kClassesRoot.size());
  } else {
    key.remove_prefix(kMachine.size());
  }
  const auto wide_key = codepage::widen(key);
  const auto wide_name = codepage::widen(row.name);
  const wchar_t* name = row.name.empty() ? nullptr : wide_name.c_str();
  wchar_t data[2048];
  DWORD bytes = sizeof data;
  const LSTATUS status =
      ::RegGetValueW(root, wide_key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &bytes);
  if (status != ERROR_SUCCESS) return std::nullopt;
  return codepage::narrow(std::wstring(data));
}

bool key_exists(HKEY root, const wchar_t* path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

// Checks that every row reads back with its data, and prints them as read.
void expect_rows(const Rows& rows, std::string_view heading) {
  std::cout << heading << "\n";
  int number = 0;
  for (const auto& row : rows) {
    const auto data = read_back(row);
    ++number;
    EXPECT_EQ(data, row.data) << row.key << " [" << row.name << "]";
    std::cout << "  " << number << "  " << row.key << " [" << row.name << "] = \""
              << data.value_or("<missing>") << "\"\n";
  }
}

void expect_missing(const Rows& rows) {
  for (const auto& row : rows) {
    EXPECT_EQ(read_back(row), std::nullopt) << row.key << " [" << row.name << "]";
  }
}

class SystemRegistration : public ::testing::Test {
 protected:
  void SetUp() override { shell::remove_registration(reg_); }
  void TearDown() override { shell::remove_registration(reg_); }
  registry::Registry& reg_ = registry::system_registry();
};

TEST_F(SystemRegistration, FirstStartWritesTheFourteenRowsAndLaterStartsNothing) {
  ASSERT_TRUE(shell::RegistryStartup(reg_, "C:\\Prog\\Tarvik.exe"));
  expect_rows(plus(file_type_rows("C:\\Prog"), handler_rows("C:\\Prog")),
              "Rows after the first start of C:\\Prog\\Tarvik.exe:");

  // From another folder, under another name: nothing changes.
  ASSERT_TRUE(shell::RegistryStartup(reg_, "E:\\Other\\Копия Tarvik.exe"));
  expect_rows(plus(file_type_rows("C:\\Prog"), handler_rows("C:\\Prog")),
              "Rows after a second start from E:\\Other:");
}

TEST_F(SystemRegistration, ARenamedProgramStillWritesTarvikExe) {
  ASSERT_TRUE(shell::RegistryStartup(reg_, "C:\\Program Files\\Tarvik\\Архиватор.exe"));
  expect_rows(plus(file_type_rows("C:\\Program Files\\Tarvik"),
                   handler_rows("C:\\Program Files\\Tarvik")),
              "Rows after the first start of C:\\Program Files\\Tarvik\\Архиватор.exe:");
}

TEST_F(SystemRegistration, AStartQuotesTheUnquotedCommandsOfAnEarlierVersion) {
  ASSERT_TRUE(shell::RegistryStartup(reg_, "C:\\Program Files\\Tarvik\\Tarvik.exe"));
  for (auto key : {"Tarvik\\Shell\\open\\command", "Tarvik\\Shell\\edit\\command"})
    reg_.open(registry::Root::ClassesRoot, key, registry::Open::Existing)
        ->write("", "C:\\Program Files\\Tarvik\\Tarvik.exe  \"%1\"");
  ASSERT_TRUE(shell::RegistryStartup(reg_, "C:\\Program Files\\Tarvik\\Tarvik.exe"));
  expect_rows(plus(file_type_rows("C:\\Program Files\\Tarvik"),
                   handler_rows("C:\\Program Files\\Tarvik")),
              "Rows after a start that found the unquoted commands of an earlier version:");
}

TEST_F(SystemRegistration, TheThreeMenuCommands) {
  ASSERT_TRUE(shell::RegistryStartup(reg_, "C:\\Prog\\Tarvik.exe"));
  RecordingUi ui;

  EXPECT_TRUE(shell::clear_explorer_menu(reg_, ui));
  expect_missing(handler_rows("C:\\Prog"));
  expect_rows(file_type_rows("C:\\Prog"), "Rows after \"Очистка меню проводника \":");
  EXPECT_FALSE(key_exists(HKEY_CLASSES_ROOT, L"CLSID\\{4B7D21C6-93E0-4F5A-A1D8-3C6E90B2F417}"));
  EXPECT_TRUE(key_exists(HKEY_CLASSES_ROOT, L"Folder\\shellex\\ContextMenuHandlers"));

  // Installed again from a copy elsewhere: the folder recorded in "Application" counts.
  EXPECT_TRUE(shell::install_explorer_menu(reg_, ui, "E:\\Copy\\Tarvik.exe"));
  expect_rows(handler_rows("C:\\Prog"), "Rows after \"Установка меню проводника\":");

  EXPECT_TRUE(shell::clear_registration(reg_, ui));
  expect_missing(plus(file_type_rows("C:\\Prog"), handler_rows("C:\\Prog")));
  for (auto key : {L".kzv", L"Tarvik"}) EXPECT_FALSE(key_exists(HKEY_CLASSES_ROOT, key));
  EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, L"software\\KZV"));

  EXPECT_EQ(ui.messages, (std::vector<std::string>{"Контекстное меню проводника очищено!",
                                                   "Контекстное меню проводника установлено!",
                                                   "Регистрация программы в Windows удалена!"}));
}

}  // namespace
}  // namespace tarvik::test
