// The registry seam's contract, checked on every registry this system has (the one in memory,
// and on Windows the system's): keys with their parents, string values, case, deletion.
#include <gtest/gtest.h>

#include <random>

#include "platform/memory_registry.h"
#include "platform/registry.h"
#include "registry_under_test.h"

namespace tarvik::test {
namespace {

using registry::Open;
using registry::RegistryError;
using registry::Root;

class RegistryContract : public ::testing::TestWithParam<RegistryUnderTest> {
 protected:
  void SetUp() override {
    reg_ = GetParam().make();
    base_ = "SOFTWARE\\TarvikTests\\" + std::to_string(std::random_device()());
    reg_->delete_tree(Root::LocalMachine, base_);
  }
  void TearDown() override { reg_->delete_tree(Root::LocalMachine, "SOFTWARE\\TarvikTests"); }

  std::string path(std::string_view below) const { return base_ + "\\" + std::string(below); }

  std::unique_ptr<registry::Registry> reg_;
  std::string base_;
};

TEST_P(RegistryContract, CreatesKeysWithTheirParentsAndFindsThemWithoutRegardToCase) {
  EXPECT_FALSE(reg_->exists(Root::LocalMachine, path("A")));
  EXPECT_EQ(reg_->open(Root::LocalMachine, path("A\\B\\C"), Open::Existing), nullptr);

  ASSERT_NE(reg_->open(Root::LocalMachine, path("A\\B\\C"), Open::Create), nullptr);
  for (auto spelling : {"A", "a", "A\\B", "a\\b\\c", "A\\B\\C"}) {
    EXPECT_TRUE(reg_->exists(Root::LocalMachine, path(spelling))) << spelling;
    EXPECT_NE(reg_->open(Root::LocalMachine, path(spelling), Open::Existing), nullptr) << spelling;
  }
  EXPECT_FALSE(reg_->exists(Root::LocalMachine, path("A\\B\\C\\D")));
  // Opening with creation an existing key keeps what it holds.
  reg_->open(Root::LocalMachine, path("A\\B"), Open::Create)->write("v", "1");
  EXPECT_EQ(reg_->open(Root::LocalMachine, path("a\\B"), Open::Create)->read("V"), "1");
}

TEST_P(RegistryContract, WritesAndReadsStringValuesNamedAndDefault) {
  auto key = reg_->open(Root::LocalMachine, path("Values"), Open::Create);
  struct Case {
    std::string_view name, data;
  };
  const Case cases[] = {
      {"", "Архив Tarvik"},
      {"Application", "C:\\Program Files\\Tarvik\\Tarvik.exe"},
      {"Command", "C:\\Prog\\Tarvik.exe  \"%1\""},
      {"Empty", ""},
      {"{4B7D21C6-93E0-4F5A-A1D8-3C6E90B2F417}", "TARVIK Context Menu Shell Extension"},
  };
  for (const auto& c : cases) key->write(c.name, c.data);
  key.reset();

  auto again = reg_->open(Root::LocalMachine, path("values"), Open::Existing);
  ASSERT_NE(again, nullptr);
  for (const auto& c : cases) EXPECT_EQ(again->read(c.name), c.data) << c.name;
  EXPECT_EQ(again->read("APPLICATION"), "C:\\Program Files\\Tarvik\\Tarvik.exe");
  EXPECT_EQ(again->read("Missing"), "");

  again->write("application", "D:\\Tarvik.exe");  // the same value, other spelling
  EXPECT_EQ(again->read("Application"), "D:\\Tarvik.exe");
  // A key without a default value reads "" for it.
  EXPECT_EQ(reg_->open(Root::LocalMachine, path("Bare"), Open::Create)->read(""), "");
}

TEST_P(RegistryContract, DeletesValuesAndTreesAndPassesOverWhatIsMissing) {
  {
    auto key = reg_->open(Root::LocalMachine, path("T"), Open::Create);
    key->write("", "top");
    key->write("keep", "1");
    key->write("drop", "2");
    reg_->open(Root::LocalMachine, path("T\\Sub\\Deep"), Open::Create)->write("x", "y");
    reg_->open(Root::LocalMachine, path("T\\Other"), Open::Create)->write("", "z");
    reg_->open(Root::LocalMachine, path("U\\Sub"), Open::Create)->write("", "u");

    key->delete_value("DROP");
    key->delete_value("drop");  // missing now
    key->delete_value("never");
    EXPECT_EQ(key->read("drop"), "");
    EXPECT_EQ(key->read("keep"), "1");

    key->delete_tree("sub");  // with its subkey and values
    key->delete_tree("Sub");  // missing now
    key->delete_tree("");     // deletes nothing
    EXPECT_EQ(key->read(""), "top");
  }
  EXPECT_FALSE(reg_->exists(Root::LocalMachine, path("T\\Sub")));
  EXPECT_TRUE(reg_->exists(Root::LocalMachine, path("T\\Other")));

  reg_->delete_tree(Root::LocalMachine, path("t"));
  reg_->delete_tree(Root::LocalMachine, path("T"));
  reg_->delete_tree(Root::LocalMachine, path("Never\\There"));
  reg_->delete_tree(Root::LocalMachine, "");  // never a whole root
  EXPECT_FALSE(reg_->exists(Root::LocalMachine, path("T")));
  EXPECT_TRUE(reg_->exists(Root::LocalMachine, path("U\\Sub")));
  EXPECT_TRUE(reg_->exists(Root::LocalMachine, "SOFTWARE"));
}

TEST_P(RegistryContract, ClassesRootHoldsKeysLikeTheOtherRoot) {
  const std::string type = "TarvikTest." + std::to_string(std::random_device()() % 100000);
  reg_->open(Root::ClassesRoot, type + "\\Shell\\open\\command", Open::Create)->write("", "c");
  EXPECT_TRUE(reg_->exists(Root::ClassesRoot, type));
  EXPECT_EQ(reg_->open(Root::ClassesRoot, type + "\\SHELL\\Open\\Command", Open::Existing)->read(""),
            "c");
  reg_->delete_tree(Root::ClassesRoot, type);
  EXPECT_FALSE(reg_->exists(Root::ClassesRoot, type));
}

INSTANTIATE_TEST_SUITE_P(Registries, RegistryContract,
                         ::testing::ValuesIn(registries_under_test()),
                         [](const auto& info) { return info.param.name; });

TEST(RegistryNames, AreReadAsAPersonReadsThem) {
  EXPECT_EQ(registry::full_name(Root::ClassesRoot, ".kzv"), "HKEY_CLASSES_ROOT\\.kzv");
  EXPECT_EQ(registry::full_name(Root::LocalMachine, "software\\KZV"),
            "HKEY_LOCAL_MACHINE\\software\\KZV");
  EXPECT_EQ(registry::full_name(Root::LocalMachine, ""), "HKEY_LOCAL_MACHINE");
}

// What only the registry in memory offers: its rows, its count of changes, and a user who may
// not change a root.
TEST(MemoryRegistry, ListsRowsInNameOrderAndCountsChanges) {
  registry::MemoryRegistry reg;
  reg.open(Root::LocalMachine, "software\\KZV", Open::Create)->write("Application", "C:\\P\\Tarvik.exe");
  reg.open(Root::ClassesRoot, "Tarvik\\DefaultIcon", Open::Create)->write("", "C:\\P\\Tarvik.exe,0");
  reg.open(Root::ClassesRoot, ".kzv", Open::Create)->write("", "Tarvik");
  EXPECT_EQ(reg.changes(), 8u);  // five keys made, three values written

  const std::vector<registry::MemoryRegistry::Row> rows = {
      {"HKEY_CLASSES_ROOT\\.kzv", "", "Tarvik"},
      {"HKEY_CLASSES_ROOT\\Tarvik\\DefaultIcon", "", "C:\\P\\Tarvik.exe,0"},
      {"HKEY_LOCAL_MACHINE\\software\\KZV", "Application", "C:\\P\\Tarvik.exe"},
  };
  EXPECT_EQ(reg.rows(), rows);
  const std::vector<std::string> keys = {
      "HKEY_CLASSES_ROOT\\.kzv", "HKEY_CLASSES_ROOT\\Tarvik", "HKEY_CLASSES_ROOT\\Tarvik\\DefaultIcon",
      "HKEY_LOCAL_MACHINE\\software", "HKEY_LOCAL_MACHINE\\software\\KZV"};
  EXPECT_EQ(reg.keys(), keys);

  const auto before = reg.changes();
  EXPECT_TRUE(reg.exists(Root::ClassesRoot, ".KZV"));
  reg.open(Root::ClassesRoot, ".KZV", Open::Create)->read("");
  reg.delete_tree(Root::ClassesRoot, "Missing");
  EXPECT_EQ(reg.changes(), before);
}

TEST(MemoryRegistry, RefusesChangesToADeniedRootNamingTheKey) {
  registry::MemoryRegistry reg;
  reg.open(Root::LocalMachine, "software\\KZV", Open::Create)->write("Application", "x");
  reg.deny_changes(Root::LocalMachine);

  auto expect_denied = [](auto&& call, std::string_view key) {
    try {
      call();
      ADD_FAILURE() << "no error for " << key;
    } catch (const RegistryError& error) {
      EXPECT_TRUE(os_error_is_access_denied(error.code())) << key;
      EXPECT_EQ(error.path(), key);
    }
  };
  expect_denied([&] { reg.open(Root::LocalMachine, "software\\KZV", Open::Existing); },
                "HKEY_LOCAL_MACHINE\\software\\KZV");
  expect_denied([&] { reg.open(Root::LocalMachine, "software\\New", Open::Create); },
                "HKEY_LOCAL_MACHINE\\software\\New");
  expect_denied([&] { reg.delete_tree(Root::LocalMachine, "software\\KZV"); },
                "HKEY_LOCAL_MACHINE\\software\\KZV");
  // Reading whether a key is there, and missing keys, still work.
  EXPECT_TRUE(reg.exists(Root::LocalMachine, "software\\KZV"));
  EXPECT_NO_THROW(reg.delete_tree(Root::LocalMachine, "software\\Missing"));
  // The other root is not concerned.
  EXPECT_NO_THROW(reg.open(Root::ClassesRoot, ".kzv", Open::Create)->write("", "Tarvik"));

  reg.deny_changes(Root::LocalMachine, false);
  EXPECT_EQ(reg.open(Root::LocalMachine, "software\\KZV", Open::Existing)->read("Application"), "x");
}

TEST(MemoryRegistry, AKeyWhoseTreeWasDeletedFails) {
  registry::MemoryRegistry reg;
  auto key = reg.open(Root::ClassesRoot, "A\\B", Open::Create);
  reg.delete_tree(Root::ClassesRoot, "a");
  EXPECT_THROW(key->write("", "x"), RegistryError);
  EXPECT_THROW(key->read(""), RegistryError);
  EXPECT_TRUE(reg.rows().empty());
}

}  // namespace
}  // namespace tarvik::test
