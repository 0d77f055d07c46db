// The archive browser TViewArhiv in-process, created by the application as at start, under a
// (virtual) display: driven with window messages (double-clicks on the list, clicks on its
// buttons, the title bar's close), read back through the controls (the virtual list's texts
// and images, the edits), message boxes and the password box scripted through the Ui seam.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <functional>

#include "../unpack/archive_fixture.h"
#include "app/application.h"
#include "app/resource.h"
#include "format/messages.h"
#include "pack/packer.h"
#include "platform/codepage.h"
#include "platform/fs.h"
#include "requests/operations.h"
#include "app_desk.h"
#include "test_support.h"
#include "window_test_support.h"

using namespace tarvik;
using namespace tarvik::app;
using namespace tarvik::test;

namespace {

using Names = std::vector<std::string>;
using Tree = test::Tree;

// A folder "arch" where the archives lie (and chosen entries are extracted to), the program
// folder, and the application with its five windows.
struct Viewer : AppDesk {
  std::string arch = dir.win("arch");

  Viewer() {
    fs::create_directory(arch);
    open();
  }
  std::vector<std::string> write(const std::string& name, const FixtureArchive& a) {
    return write_archive(arch, name, a);
  }
  Tree tree() const { return snapshot(dir.native() / "arch"); }
  TViewArhiv& view() { return app->view(); }
  HWND list() { return view().list(); }
  std::string text(int id) { return window_text(view().item(id)); }
  bool main_alive() { return app->main().hwnd() && ::IsWindow(app->main().hwnd()); }

  // The list as the user sees it: each row's five texts, "|"-joined, with "[d]" or "[f]" for
  // its image.
  Names rows() {
    Names out;
    const int count = ListView_GetItemCount(list());
    for (int i = 0; i < count; ++i) {
      std::string row;
      for (int column = 0; column < 5; ++column) {
        wchar_t buffer[512] = {};
        ListView_GetItemText(list(), i, column, buffer, 512);
        row += (column ? "|" : "") + codepage::narrow(buffer);
      }
      LVITEMW item{};
      item.mask = LVIF_IMAGE;
      item.iItem = i;
      ListView_GetItem(list(), &item);
      out.push_back((item.iImage == 0 ? "[d] " : item.iImage == 1 ? "[f] " : "[?] ") + row);
    }
    return out;
  }
  // The names of the rows, folders with "\".
  Names names() {
    Names out;
    for (const std::string& row : rows()) {
      const std::string name = row.substr(4, row.find('|') - 4);
      out.push_back(name + (row.starts_with("[d]") ? "\\" : ""));
    }
    return out;
  }
  int row_of(const std::string& name) {
    const Names n = names();
    for (std::size_t i = 0; i < n.size(); ++i)
      if (n[i] == name || n[i] == name + "\\") return static_cast<int>(i);
    ADD_FAILURE() << "no row " << name;
    return -1;
  }
  void select(const std::vector<std::string>& chosen) {
    ListView_SetItemState(list(), -1, 0, LVIS_SELECTED);
    for (const auto& name : chosen) ListView_SetItemState(list(), row_of(name), LVIS_SELECTED, LVIS_SELECTED);
  }
  // A double-click on the row `name` (selected by the first click), or on the empty space
  // below the rows (the first click cleared the selection).
  void double_click(const std::string& name = "") {
    POINT at{40, 0};
    if (name.empty()) {
      ListView_SetItemState(list(), -1, 0, LVIS_SELECTED);
      RECT client;
      ::GetClientRect(list(), &client);
      at.y = client.bottom - 4;
    } else {
      select({name});
      RECT r{};
      ListView_GetItemRect(list(), row_of(name), &r, LVIR_LABEL);
      at = POINT{r.left + 4, (r.top + r.bottom) / 2};
    }
    ::SendMessageW(list(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    ::SendMessageW(list(), WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
  }
  void click(int id) { ::SendMessageW(view().item(id), BM_CLICK, 0, 0); }
};

FixtureArchive tree_archive() {
  FixtureArchive a;
  a.entries = {
      file("\\a.txt", "top a"),
      file("\\a.txt.bak", "top a backup"),
      folder("\\A"),
      file("\\A\\b.txt", noise(3000, 1)),
      folder("\\A\\A"),
      file("\\A\\A\\c.txt", noise(2500, 2)),
      folder("\\A\\A\\D"),
      file("\\A\\A\\D\\d.txt", "deep d"),
      folder("\\B"),
      folder(cp("\\Документы")),
      file(cp("\\Документы\\Отчёт.txt"), cp("отчёт")),
  };
  a.entries[0].time = "01.02.2020 03:04";
  return a;
}

}  // namespace

TEST(Browser, WindowControlsAndCaptions) {
  NEED_DISPLAY();
  Viewer v;
  HWND view = v.view().hwnd();
  EXPECT_EQ(window_text(view), "Содержимое архива");
  // A fixed border, the system menu and the minimise button only; 640 x 486 client pixels.
  const LONG style = ::GetWindowLongW(view, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  const int dpi = dpi_of(view);
  RECT client;
  ::GetClientRect(view, &client);
  EXPECT_EQ(client.right, ::MulDiv(640, dpi, 96));
  EXPECT_EQ(client.bottom, ::MulDiv(486, dpi, 96));
  EXPECT_EQ(::GetWindow(view, GW_OWNER), v.app->main().hwnd());

  const std::pair<int, const char*> captions[] = {
      {IDC_VIEW_LABEL1, "Файл архива:"}, {IDC_VIEW_LABEL2, "уровень:"}, {IDC_VIEW_BITBTN1, "назад"},
      {IDC_VIEW_BITBTN3, "Извлечь"},     {IDC_VIEW_BITBTN2, "Возврат"}, {IDC_VIEW_EDIT1, ""},
      {IDC_VIEW_EDIT3, ""},              {IDC_VIEW_STATUSBAR1, ""}};
  for (const auto& [id, caption] : captions) {
    SCOPED_TRACE(caption);
    ASSERT_TRUE(v.view().item(id));
    EXPECT_EQ(v.text(id), caption);
  }
  for (int id : {IDC_VIEW_EDIT1, IDC_VIEW_EDIT3})
    EXPECT_TRUE(::GetWindowLongW(v.view().item(id), GWL_STYLE) & ES_READONLY);

  // The report list: virtual, several rows may be selected, the five columns.
  const LONG list_style = ::GetWindowLongW(v.list(), GWL_STYLE);
  EXPECT_EQ(list_style & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_TRUE(list_style & LVS_OWNERDATA);
  EXPECT_FALSE(list_style & LVS_SINGLESEL);
  const std::pair<const char*, int> columns[] = {
      {"Название", 200}, {"Тип", 100}, {"Создан", 100}, {"Полный, байтов", 100}, {"Сжат, байтов", 100}};
  HWND header = ListView_GetHeader(v.list());
  ASSERT_EQ(Header_GetItemCount(header), 5);
  for (int i = 0; i < 5; ++i) {
    wchar_t title[64] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = title;
    column.cchTextMax = 64;
    ASSERT_TRUE(ListView_GetColumn(v.list(), i, &column));
    EXPECT_EQ(codepage::narrow(title), columns[i].first);
    // At least the designed width; wider where the header's text needs it, and "Создан"
    // holds a whole date and time. Nothing is cut.
    EXPECT_GE(column.cx, ::MulDiv(columns[i].second, dpi, 96));
    EXPECT_GE(column.cx, ListView_GetStringWidth(v.list(), title) + ::MulDiv(12, dpi, 96)) << columns[i].first;
    if (i == 2) {
      EXPECT_GE(column.cx, ListView_GetStringWidth(v.list(), L"28.12.2026 23:59") + ::MulDiv(12, dpi, 96));
    }
  }
  // ImageList1: two images of 16 x 16 at 96 dots per inch, scaled with them; the list's small
  // images, so the rows grow too.
  HIMAGELIST images = ListView_GetImageList(v.list(), LVSIL_SMALL);
  EXPECT_EQ(images, v.view().images());
  EXPECT_EQ(ImageList_GetImageCount(images), 2);
  int cx = 0, cy = 0;
  ImageList_GetIconSize(images, &cx, &cy);
  EXPECT_EQ(cx, ::MulDiv(16, dpi, 96));
  EXPECT_EQ(cy, ::MulDiv(16, dpi, 96));
  // The window lies within the screen's work area.
  RECT work{}, frame{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  ::GetWindowRect(view, &frame);
  EXPECT_LE(frame.right - frame.left, work.right - work.left);
  EXPECT_LE(frame.bottom - frame.top, work.bottom - work.top);
  // Below the list: "Извлечь" left of "Возврат", both above the status bar.
  RECT list_rect, extract_rect, return_rect, status_rect;
  ::GetWindowRect(v.list(), &list_rect);
  ::GetWindowRect(v.view().item(IDC_VIEW_BITBTN3), &extract_rect);
  ::GetWindowRect(v.view().item(IDC_VIEW_BITBTN2), &return_rect);
  ::GetWindowRect(v.view().item(IDC_VIEW_STATUSBAR1), &status_rect);
  EXPECT_LT(list_rect.bottom, extract_rect.top);
  EXPECT_LT(extract_rect.right, return_rect.left);
  EXPECT_LT(return_rect.bottom, status_rect.top);
}

TEST(Browser, NavigationOverOneAndManyVolumes) {
  NEED_DISPLAY();
  for (const bool volumes : {false, true}) {
    SCOPED_TRACE(volumes ? "many volumes" : "one volume");
    Viewer v;
    FixtureArchive a = tree_archive();
    if (volumes) a.limit = 1024;
    const auto paths = v.write("a", a);
    ASSERT_EQ(paths.size() > 2, volumes);
    ASSERT_TRUE(v.view().open(paths[0]));
    EXPECT_TRUE(::IsWindowVisible(v.view().hwnd()));
    EXPECT_FALSE(::IsWindowEnabled(v.app->main().hwnd()));
    EXPECT_EQ(v.text(IDC_VIEW_EDIT1), volumes ? "a.001.kzv" : "a.kzv");
    EXPECT_EQ(v.text(IDC_VIEW_EDIT3), "");
    // The top level: its direct children only, in archive order.
    const std::string packed_a = std::to_string(zlib_of("top a").size());
    EXPECT_EQ(v.rows(), (Names{"[f] a.txt|Файл|01.02.2020 03:04|5|" + packed_a,
                               "[f] a.txt.bak|Файл|08.12.2026 14:05|12|" + std::to_string(zlib_of("top a backup").size()),
                               "[d] A|Папка|||", "[d] B|Папка|||", "[d] Документы|Папка|||"}));
    // The first row is selected and focused, so that Enter and the arrow keys start there.
    EXPECT_EQ(ListView_GetNextItem(v.list(), -1, LVNI_SELECTED), 0);
    EXPECT_EQ(ListView_GetNextItem(v.list(), -1, LVNI_FOCUSED), 0);
    EXPECT_EQ(ListView_GetSelectedCount(v.list()), 1u);

    // Down into A and A\A; every walk starts again at volume 001, wherever the last one ended.
    v.double_click("A");
    EXPECT_EQ(v.text(IDC_VIEW_EDIT3), "\\A");
    EXPECT_EQ(v.rows(), (Names{"[f] b.txt|Файл|08.12.2026 14:05|3000|3011", "[d] A|Папка|||"}));
    v.double_click("A");
    EXPECT_EQ(v.text(IDC_VIEW_EDIT3), "\\A\\A");
    // A folder row after a file row: "Папка", the folder image and empty columns.
    EXPECT_EQ(v.rows(), (Names{"[f] c.txt|Файл|08.12.2026 14:05|2500|2511", "[d] D|Папка|||"}));
    // A file row, and the empty space, list the same level again.
    v.double_click("c.txt");
    EXPECT_EQ(v.text(IDC_VIEW_EDIT3), "\\A\\A");
    EXPECT_EQ(v.names(), (Names{"c.txt", "D\\"}));
    v.double_click();
    EXPECT_EQ(v.text(IDC_VIEW_EDIT3), "\\A\\A");
    EXPECT_EQ(v.names(), (Names{"c.txt", "D\\"}));
    // "назад" at \A\A goes to \A, then to the top, where it does nothing.
    v.click(IDC_VIEW_BITBTN1);
    EXPECT_EQ(v.text(IDC_VIEW_EDIT3), "\\A");
    EXPECT_EQ(v.names(), (Names{"b.txt", "A\\"}));
    v.click(IDC_VIEW_BITBTN1);
    EXPECT_EQ(v.text(IDC_VIEW_EDIT3), "");
    v.click(IDC_VIEW_BITBTN1);
    EXPECT_EQ(v.text(IDC_VIEW_EDIT3), "");
    EXPECT_EQ(v.names(), (Names{"a.txt", "a.txt.bak", "A\\", "B\\", "Документы\\"}));
    // A Cyrillic level; an empty folder shows an empty list.
    v.double_click("Документы");
    EXPECT_EQ(v.text(IDC_VIEW_EDIT3), "\\Документы");
    EXPECT_EQ(v.names(), (Names{"Отчёт.txt"}));
    v.click(IDC_VIEW_BITBTN1);
    v.double_click("B");
    EXPECT_EQ(v.text(IDC_VIEW_EDIT3), "\\B");
    EXPECT_TRUE(v.rows().empty());
    // Enter on a selected folder row goes down as a double-click does.
    v.click(IDC_VIEW_BITBTN1);
    v.select({"A"});
    ::SetFocus(v.list());
    ::SendMessageW(v.view().hwnd(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(v.text(IDC_VIEW_EDIT3), "\\A");
    EXPECT_EQ(ListView_GetNextItem(v.list(), -1, LVNI_SELECTED), 0);
    // Backspace in the list goes up, as "назад" does.
    ::SendMessageW(v.list(), WM_KEYDOWN, VK_BACK, 0);
    EXPECT_EQ(v.text(IDC_VIEW_EDIT3), "");
    EXPECT_EQ(v.names(), (Names{"a.txt", "a.txt.bak", "A\\", "B\\", "Документы\\"}));
    ::SendMessageW(v.list(), WM_KEYDOWN, VK_BACK, 0);  // at the top: nothing
    EXPECT_EQ(v.text(IDC_VIEW_EDIT3), "");

    // "Возврат": the level back at the top, the browser hidden, the main window enabled.
    v.click(IDC_VIEW_BITBTN2);
    EXPECT_FALSE(::IsWindowVisible(v.view().hwnd()));
    EXPECT_FALSE(v.view().shown());
    EXPECT_TRUE(::IsWindowEnabled(v.app->main().hwnd()));
    EXPECT_EQ(v.text(IDC_VIEW_EDIT3), "");
    EXPECT_EQ(v.view().browser().level(), "");
    EXPECT_TRUE(v.prompts.messages.empty());
    EXPECT_TRUE(v.prompts.questions.empty());
    EXPECT_TRUE(v.main_alive());
  }
}

TEST(Browser, TitleBarCloseIsReturn) {
  NEED_DISPLAY();
  Viewer v;
  const auto paths = v.write("a", tree_archive());
  ASSERT_TRUE(v.view().open(paths[0]));
  v.double_click("A");
  ASSERT_EQ(v.text(IDC_VIEW_EDIT3), "\\A");
  ::SendMessageW(v.view().hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(::IsWindowVisible(v.view().hwnd()));
  EXPECT_EQ(v.view().browser().level(), "");
  EXPECT_TRUE(::IsWindowEnabled(v.app->main().hwnd()));
  // Opened again: at the top.
  ASSERT_TRUE(v.view().open(paths[0]));
  EXPECT_EQ(v.text(IDC_VIEW_EDIT3), "");
  EXPECT_EQ(v.names().size(), 5u);
  v.click(IDC_VIEW_BITBTN2);
}

TEST(Browser, ExtractsChosenRowsUnderTheProgressDialog) {
  NEED_DISPLAY();
  for (const bool volumes : {false, true}) {
    SCOPED_TRACE(volumes ? "many volumes" : "one volume");
    Viewer v;
    FixtureArchive a = tree_archive();
    a.password = "secret";
    if (volumes) a.limit = 1024;
    const auto paths = v.write("a", a);
    const Tree archives = v.tree();
    v.prompts.answers.push_back("secret");
    ASSERT_TRUE(v.view().open(paths[0]));
    EXPECT_EQ(v.prompts.questions, Names{std::string(msg::kPasswordQuestion)});
    EXPECT_EQ(v.prompts.prompts, Names{msg::password_prompt(paths[0])});

    // Nothing selected.
    v.select({});
    v.click(IDC_VIEW_BITBTN3);
    EXPECT_EQ(v.prompts.messages, Names{std::string(msg::kNoArchiveChosen)});
    v.prompts.messages.clear();

    // At \A: the folder row A (with everything below it) and the file row b.txt, one run each,
    // none asking the password again; the dialog's Abort button is not offered meanwhile.
    v.double_click("A");
    v.select({"b.txt", "A"});
    HWND abort = v.app->bar().item(IDC_BITBTN1);
    // Watched from the progress dialog's own loop while it runs.
    bool dialog_seen = false, abort_seen = false, browser_seen = false;
    {
      Ticker watch(1, [&] {
        if (!::IsWindowVisible(v.app->bar().hwnd())) return false;
        dialog_seen = true;
        abort_seen |= ::IsWindowVisible(abort) != FALSE;
        browser_seen |= ::IsWindowEnabled(v.view().hwnd()) ||
                        !(::GetWindowLongW(v.view().hwnd(), GWL_EXSTYLE) & WS_EX_LAYERED);
        return false;
      });
      v.click(IDC_VIEW_BITBTN3);
    }
    EXPECT_TRUE(dialog_seen);
    EXPECT_FALSE(abort_seen);
    EXPECT_FALSE(browser_seen);  // transparent and disabled meanwhile
    EXPECT_TRUE(::GetWindowLongW(abort, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(v.prompts.questions.size(), 1u);
    EXPECT_EQ(v.prompts.messages, Names{std::string(msg::kExtractionDone)});
    EXPECT_TRUE(window_text(v.app->bar().item(IDC_LABEL2)).starts_with("Распаковка: a."));
    // Still shown at \A, opaque and enabled again.
    EXPECT_TRUE(::IsWindowVisible(v.view().hwnd()));
    EXPECT_TRUE(::IsWindowEnabled(v.view().hwnd()));
    EXPECT_FALSE(::GetWindowLongW(v.view().hwnd(), GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_EQ(v.text(IDC_VIEW_EDIT3), "\\A");

    // At the top, the file row a.txt: not a.txt.bak beside it.
    v.click(IDC_VIEW_BITBTN1);
    v.select({"a.txt"});
    v.click(IDC_VIEW_BITBTN3);
    Tree want = archives;
    want.insert({{"A", "<dir>"},
                 {"A/c.txt", noise(2500, 2)},
                 {"A/D", "<dir>"},
                 {"A/D/d.txt", "deep d"},
                 {"b.txt", noise(3000, 1)},
                 {"a.txt", "top a"}});
    EXPECT_EQ(v.tree(), want);
    EXPECT_EQ(v.prompts.questions.size(), 1u);
    EXPECT_FALSE(fs::exists(v.program + "\\Tarvik_file.tmp"));
    v.click(IDC_VIEW_BITBTN2);
    EXPECT_TRUE(v.main_alive());
  }
}

// An encrypted archive: its rows are shown after the password (names, sizes and dates are
// not encrypted), a chosen row is decrypted without a second question; a wrong password shows
// nothing and the window stays.
TEST(Browser, EncryptedArchiveShowsItsRowsAndExtractsThem) {
  NEED_DISPLAY();
  Viewer v;
  const std::string source = v.dir.win("src");
  test::write_file(*fs::to_native(source + "\\A\\b.txt"), noise(90000, 1));  // two segments
  test::write_file(*fs::to_native(source + "\\a.txt"), "top a");
  PackOptions options;
  options.archive_name = "e";
  options.password = "пароль шифрования";
  options.encrypt = true;
  RecordingUi packing;
  requests::DirectDialog direct(packing);
  ASSERT_EQ(requests::pack({source, {"A", "a.txt"}}, options, OperationCode::PackRequest, "", direct),
            Outcome::Done)
      << testing::PrintToString(packing.messages);
  const std::string archive = v.arch + "\\e.kzv";
  fs::rename_replace(source + "\\e.kzv", archive);

  v.prompts.answers.push_back("не тот");
  EXPECT_FALSE(v.view().open(archive));
  EXPECT_EQ(v.prompts.messages, Names{std::string(msg::kWrongPassword)});
  EXPECT_TRUE(v.main_alive());
  v.prompts.messages.clear();

  v.prompts.answers.push_back(options.password);
  ASSERT_TRUE(v.view().open(archive));
  EXPECT_EQ(v.names(), (Names{"A\\", "a.txt"}));
  v.select({"A"});
  v.click(IDC_VIEW_BITBTN3);
  EXPECT_EQ(v.prompts.messages, Names{std::string(msg::kExtractionDone)});
  EXPECT_EQ(v.prompts.questions.size(), 2u);  // the wrong answer and the right one, no more
  EXPECT_EQ(v.tree().at("A/b.txt"), noise(90000, 1));
  EXPECT_FALSE(fs::exists(v.program + "\\Tarvik_file.tmp"));
  v.click(IDC_VIEW_BITBTN2);
}

// The ways the browser is not shown, or ends the program, and that nothing is written.
TEST(Browser, ArchivesItCannotShow) {
  NEED_DISPLAY();
  struct Case {
    const char* what;
    std::function<std::string(Viewer&)> make;  // volume 001's path
    std::optional<std::string> answer;
    std::function<std::string(Viewer&, const std::string&)> message;
    bool program_ends;
  };
  const Case cases[] = {
      {"wrong password",
       [](Viewer& v) {
         FixtureArchive a = tree_archive();
         a.password = "secret";
         return v.write("p", a).at(0);
       },
       "Secret", [](Viewer&, const std::string&) { return std::string(msg::kWrongPassword); }, true},
      {"missing later volume",
       [](Viewer& v) {
         FixtureArchive a = tree_archive();
         a.limit = 1024;
         const auto paths = v.write("m", a);
         std::filesystem::remove(*fs::to_native(paths.at(1)));
         return paths[0];
       },
       std::nullopt,
       [](Viewer& v, const std::string&) { return msg::next_volume_missing(format::join_path(v.arch, "m.002.kzv")); },
       true},
      {"damaged record",
       [](Viewer& v) {
         FixtureArchive a = tree_archive();
         a.entries[5].stored_packed = 1'000'000'000;
         return v.write("d", a).at(0);
       },
       std::nullopt,
       [](Viewer&, const std::string& first) {
         return msg::listing_failed(first, msg::damaged_entry("C:\\Work\\A\\A\\c.txt",
                                                              "данные записи выходят за конец последнего тома"));
       },
       false},
      {"missing archive", [](Viewer& v) { return format::join_path(v.arch, "нет.kzv"); }, std::nullopt,
       [](Viewer&, const std::string& first) {
         return "Не удалось показать содержимое архива " + first + ":\n";
       },
       false},
  };
  // The user's own "Обзор архива" returns to the main window; an Explorer request (whose
  // password the request has checked before) ends the program on the same checks.
  for (const auto how : {TViewArhiv::Opened::ByUser, TViewArhiv::Opened::ByRequest}) {
    for (const Case& c : cases) {
      const bool by_user = how == TViewArhiv::Opened::ByUser;
      // A request asks the password before the browser opens (and ends on a wrong one).
      if (!by_user && c.answer) continue;
      SCOPED_TRACE(std::string(c.what) + (by_user ? ", by the user" : ", by a request"));
      Viewer v;
      const std::string first = c.make(v);
      const Tree before = v.tree();
      v.prompts.answers.push_back(c.answer);
      v.view().show_archive(first, how);  // returns at once: the browser is not shown
      EXPECT_FALSE(v.view().shown());
      ASSERT_EQ(v.prompts.messages.size(), 1u);
      EXPECT_TRUE(v.prompts.messages[0].starts_with(c.message(v, first))) << v.prompts.messages[0];
      const bool ends = c.program_ends && !by_user;
      EXPECT_EQ(v.main_alive(), !ends);
      EXPECT_EQ(v.tree(), before);
      if (!ends) {
        EXPECT_FALSE(::IsWindowVisible(v.view().hwnd()));
        EXPECT_TRUE(::IsWindowEnabled(v.app->main().hwnd()));
      }
    }
  }
}

TEST(Browser, EmptyArchiveShowsAnEmptyList) {
  NEED_DISPLAY();
  Viewer v;
  ASSERT_TRUE(v.view().open(v.write("e", FixtureArchive{}).at(0)));
  EXPECT_TRUE(v.rows().empty());
  v.double_click();
  EXPECT_TRUE(v.rows().empty());
  v.click(IDC_VIEW_BITBTN3);
  EXPECT_EQ(v.prompts.messages, Names{std::string(msg::kNoArchiveChosen)});
  v.click(IDC_VIEW_BITBTN2);
}

// The browse request (a plain archive path on the command line): the main window at the
// archive's folder, then the browser shown modally at the top level until it is closed. The
// password is asked once.
TEST(Browser, BrowseRequestShowsTheBrowserModally) {
  NEED_DISPLAY();
  Viewer v;
  FixtureArchive a = tree_archive();
  a.password = "secret";
  const auto paths = v.write("a", a);
  v.prompts.answers.push_back("secret");
  Names seen;
  bool closed = false;
  requests::StartResult r;
  {
    Ticker step(20, [&] {
      if (closed || !v.view().shown()) return false;
      closed = true;
      seen = v.names();
      seen.push_back(v.text(IDC_VIEW_EDIT1));
      seen.push_back(::IsWindowEnabled(v.app->main().hwnd()) ? "main enabled" : "main disabled");
      ::PostMessageW(v.view().hwnd(), WM_CLOSE, 0, 0);
      return true;
    });
    r = v.app->start({paths[0]});
  }
  EXPECT_TRUE(closed);
  EXPECT_EQ(seen, (Names{"a.txt", "a.txt.bak", "A\\", "B\\", "Документы\\", "a.kzv", "main disabled"}));
  EXPECT_TRUE(r.keep_running);
  EXPECT_TRUE(::IsWindowVisible(v.app->main().hwnd()));
  EXPECT_TRUE(::IsWindowEnabled(v.app->main().hwnd()));
  EXPECT_FALSE(::IsWindowVisible(v.view().hwnd()));
  EXPECT_TRUE(v.prompts.messages.empty());
  EXPECT_EQ(v.prompts.questions, Names{std::string(msg::kPasswordQuestion)});
  EXPECT_EQ(v.prompts.prompts, Names{msg::password_prompt(paths[0])});
}
