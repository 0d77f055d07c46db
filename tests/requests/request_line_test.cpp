// The request line: the six forms in their order, the items, the archive test, the names
// derived from the first item, and the item walk.
#include <gtest/gtest.h>

#include "format/fields.h"
#include "platform/fs.h"
#include "requests/request_line.h"

using namespace tarvik::requests;

namespace {
const char* form_name(Form f) {
  switch (f) {
    case Form::Interactive: return "interactive";
    case Form::Browse: return "browse";
    case Form::Pack: return "pack";
    case Form::Select: return "select";
    case Form::UnpackToFolder: return "unpack to folder";
    case Form::UnpackHere: return "unpack here";
    case Form::Unrecognised: return "unrecognised";
  }
  return "?";
}
}  // namespace

TEST(RequestLine, FormsInTheirOrder) {
  struct Case {
    std::vector<std::string> args;
    Form form;
    std::string first_item;
    std::vector<std::string> items;
  };
  const Case cases[] = {
      {{}, Form::Interactive, "", {}},
      {{"  "}, Form::Interactive, "", {}},
      {{"", "C:\\d\\a.txt*<"}, Form::Interactive, "", {}},
      {{"C:\\d\\arh.kzv"}, Form::Browse, "C:\\d\\arh.kzv", {}},
      {{"C:\\My", "Docs\\arh.kzv"}, Form::Browse, "C:\\My Docs\\arh.kzv", {}},
      {{"C:\\d\\a.txt*C:\\d\\b.txt*<"}, Form::Pack, "C:\\d\\a.txt", {"C:\\d\\a.txt", "C:\\d\\b.txt"}},
      {{"C:\\d\\a.txt*C:\\d\\b.txt*>"}, Form::Select, "C:\\d\\a.txt", {"C:\\d\\a.txt", "C:\\d\\b.txt"}},
      {{"C:\\d\\arh.kzv*<"}, Form::UnpackToFolder, "C:\\d\\arh.kzv", {"C:\\d\\arh.kzv"}},
      {{"E:\\arh.kzv*<"}, Form::UnpackToFolder, "E:\\arh.kzv", {"E:\\arh.kzv"}},
      {{"C:\\d\\arh.kzv*>"}, Form::UnpackHere, "C:\\d\\arh.kzv", {"C:\\d\\arh.kzv"}},
      // The extension test is case-sensitive: ".KZV" is a file to pack.
      {{"C:\\d\\arh.KZV*<"}, Form::Pack, "C:\\d\\arh.KZV", {"C:\\d\\arh.KZV"}},
      {{"C:\\d\\arh.KZV*>"}, Form::Select, "C:\\d\\arh.KZV", {"C:\\d\\arh.KZV"}},
      // Two items: a pack request although the first is an archive.
      {{"C:\\d\\arh.kzv*C:\\d\\b.txt*<"}, Form::Pack, "C:\\d\\arh.kzv", {"C:\\d\\arh.kzv", "C:\\d\\b.txt"}},
      // Split by the shell at blanks: joined back with one blank each.
      {{"C:\\My", "Docs\\a.txt*<"}, Form::Pack, "C:\\My Docs\\a.txt", {"C:\\My Docs\\a.txt"}},
      {{"C:\\My", "Docs\\arh.kzv*", "<"}, Form::UnpackToFolder, "C:\\My Docs\\arh.kzv", {"C:\\My Docs\\arh.kzv"}},
      // The marker may stand anywhere; "<" wins over ">".
      {{"<C:\\d\\a.txt*"}, Form::Pack, "<C:\\d\\a.txt", {"<C:\\d\\a.txt"}},
      {{"C:\\d\\a.txt*>*<"}, Form::Pack, "C:\\d\\a.txt", {"C:\\d\\a.txt", ">"}},
      // Neither form: "*" without a marker, a marker without "*".
      {{"C:\\d\\a.txt*"}, Form::Unrecognised, "C:\\d\\a.txt", {"C:\\d\\a.txt"}},
      {{"C:\\d\\a.txt<"}, Form::Unrecognised, "C:\\d\\a.txt<", {}},
      {{"C:\\d\\arh.kzv", ">"}, Form::Unrecognised, "C:\\d\\arh.kzv >", {}},
      {{"*<"}, Form::Pack, "", {""}},
  };
  for (const auto& c : cases) {
    const RequestLine line = parse_request(c.args);
    SCOPED_TRACE("[" + line.text + "]");
    EXPECT_STREQ(form_name(line.form), form_name(c.form));
    if (c.form == Form::Interactive) continue;
    EXPECT_EQ(line.first_item, c.first_item);
    EXPECT_EQ(line.items.size(), c.items.size());
    for (std::size_t i = 0; i < std::min(line.items.size(), c.items.size()); ++i)
      EXPECT_EQ(std::string(tarvik::format::trim(line.items[i])), c.items[i]) << i;
  }
}

TEST(RequestLine, TextIsEveryArgumentWithOneBlank) {
  EXPECT_EQ(request_text({}), "");
  EXPECT_EQ(request_text({"a", "b"}), "a b ");
  EXPECT_EQ(parse_request({"C:\\My", "Docs\\a.txt*<"}).text, "C:\\My Docs\\a.txt*< ");
  EXPECT_EQ(parse_request({"C:\\d\\arh.kzv"}).first_argument, "C:\\d\\arh.kzv");
}

TEST(RequestLine, NamesFromTheFirstItem) {
  struct Case {
    const char* path;
    const char* ext;
    const char* name;
    const char* folder;
  };
  const Case cases[] = {
      {"C:\\d\\arh.kzv", ".kzv", "arh", "C:\\d\\arh"},
      {"E:\\arh.kzv", ".kzv", "arh", "E:\\arh"},
      {"C:\\my.dir\\data.001.kzv", ".kzv", "data.001", "C:\\my.dir\\data.001"},
      {"C:\\my.dir\\noext", "", "noext", "C:\\my.dir\\noext"},
      {"C:\\d\\.kzv", ".kzv", "", "C:\\d"},
      {"  C:\\d\\Очень длинное имя первого файла.txt ", ".txt ", "Очень длинное имя первого файла",
       "C:\\d\\Очень длинное имя первого файла"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(extension(c.path), c.ext);
    EXPECT_EQ(name_without_extension(c.path), c.name);
    EXPECT_EQ(unpack_folder(c.path), c.folder);
  }
  EXPECT_TRUE(is_archive_item("C:\\d\\a.kzv"));
  EXPECT_FALSE(is_archive_item("C:\\d\\a.KZV"));
  EXPECT_FALSE(is_archive_item("C:\\d.kzv\\a"));
  EXPECT_FALSE(is_archive_item("C:\\d\\a.kzv.txt"));
}

TEST(RequestLine, ItemWalk) {
  const std::vector<std::string> list = {"a b.txt", "ab.txt", "Docs", "ARH.KZV", "b.txt", "Файл.txt",
                                         "x  y.txt"};
  struct Case {
    std::vector<std::string> items;
    std::vector<std::size_t> selected;
    std::vector<std::string> unmatched;
  };
  const Case cases[] = {
      // The full path names the entry: "ab.txt" and "a b.txt" are different files.
      {{"C:\\d\\ab.txt"}, {1}, {}},
      {{"C:\\d\\a b.txt", "C:\\d\\b.txt"}, {0, 4}, {}},
      {{" C:\\d\\Docs "}, {2}, {}},
      // A request split at blanks comes back with one blank per gap: matched with blanks
      // removed, but only where that names exactly one entry.
      {{"C:\\d\\x y.txt"}, {6}, {}},
      {{"C:\\d\\a  b.txt"}, {}, {"C:\\d\\a  b.txt"}},
      // Another folder, or a file that is not there: reported, never dropped or swapped for
      // the file of the same name in the first folder.
      {{"C:\\elsewhere\\b.txt", "C:\\d\\none.txt"}, {}, {"C:\\elsewhere\\b.txt", "C:\\d\\none.txt"}},
      {{"C:\\d\\sub\\b.txt"}, {}, {"C:\\d\\sub\\b.txt"}},
      // The same entry twice is selected once; blank items are no items.
      {{"C:\\d\\b.txt", "C:\\d\\b.txt"}, {4}, {}},
      {{"", " "}, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.items.empty() ? "" : c.items[0]);
    const ItemWalk walk = select_items("C:\\d", list, c.items);
    EXPECT_EQ(walk.selected, c.selected);
    EXPECT_EQ(walk.unmatched, c.unmatched);
  }
  // Letter case is ignored only where the file system ignores it, Cyrillic included.
  for (const std::string item : {"C:\\D\\arh.kzv", "c:\\d\\файл.TXT", "C:\\d\\A B.TXT"}) {
    SCOPED_TRACE(item);
    const ItemWalk walk = select_items("C:\\d", list, {item});
    EXPECT_EQ(walk.selected.size(), tarvik::fs::names_ignore_case() ? 1u : 0u);
    EXPECT_EQ(walk.unmatched.size(), tarvik::fs::names_ignore_case() ? 0u : 1u);
  }
}
