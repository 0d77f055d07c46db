// The main window TMain in-process under a (virtual) display: its layout and captions, the
// folder box and the file list, its commands driven with window messages (message boxes
// scripted through the Ui seam), the menu over an in-memory registry, About and Help.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <map>

#include "../pack/archive_reader.h"
#include "../unpack/archive_fixture.h"
#include "app/application.h"
#include "app/resource.h"
#include "format/messages.h"
#include "format/names.h"
#include "platform/codepage.h"
#include "platform/fs.h"
#include "platform/memory_registry.h"
#include "test_support.h"

using namespace tarvik;
using namespace tarvik::app;
using tarvik::test::RecordingUi;
using tarvik::test::snapshot;
using tarvik::test::TempDir;

namespace {

bool no_display() {
  const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return wine && ::GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) == 0;
}
#define NEED_DISPLAY() \
  if (no_display()) GTEST_SKIP() << "no display: run through scripts/test, which starts Xvfb"

int dpi_of(HWND hwnd) {
  HDC dc = ::GetDC(hwnd);
  const int dpi = ::GetDeviceCaps(dc, LOGPIXELSX);
  ::ReleaseDC(hwnd, dc);
  return dpi;
}

// Calls `tick` every `ms` milliseconds from whatever message loop the window thread runs
// (a modal dialog's included) until it returns true.
class Ticker {
 public:
  Ticker(UINT ms, std::function<bool()> tick) : tick_(std::move(tick)) {
    current() = this;
    id_ = ::SetTimer(nullptr, 0, ms, &Ticker::proc);
  }
  ~Ticker() {
    ::KillTimer(nullptr, id_);
    current() = nullptr;
  }
  bool done() const { return done_; }

 private:
  static Ticker*& current() {
    static Ticker* t = nullptr;
    return t;
  }
  static void CALLBACK proc(HWND, UINT, UINT_PTR id, DWORD) {
    Ticker* t = current();
    if (!t || t->done_ || id != t->id_ || t->busy_) return;
    t->busy_ = true;
    t->done_ = t->tick_();
    t->busy_ = false;
  }
  std::function<bool()> tick_;
  UINT_PTR id_ = 0;
  bool done_ = false;
  bool busy_ = false;
};

// A folder "d" of sample files with Russian names, a program folder for the journal, an
// in-memory registry, and the application with its main window shown.
struct Desk {
  TempDir dir;
  std::string d = dir.win("d");
  std::string program = dir.win("program");
  RecordingUi prompts;
  registry::MemoryRegistry registry;
  std::unique_ptr<Application> app;

  Desk() {
    test::write_file(*fs::to_native(in_d("отчёт.txt")), "Отчёт за квартал");
    test::write_file(*fs::to_native(in_d("Б.txt")), test::noise(40000, 2));
    test::write_file(*fs::to_native(in_d("а.txt")), "первый");
    test::write_file(*fs::to_native(in_d("Фото\\снимок.bin")), test::noise(60000, 3));
    test::write_file(*fs::to_native(in_d("sub dir\\c.txt")), test::noise(30000, 4));
    fs::create_directory(program);
    AppOptions options;
    options.own_executable = format::join_path(program, "Tarvik.exe");
    options.program_folder = program;
    options.prompts = &prompts;
    options.registry = &registry;
    app = std::make_unique<Application>(options);
    EXPECT_TRUE(app->start({}).keep_running);
  }
  ~Desk() {
    if (app) app->close();
    app.reset();
    fs::set_current_directory(std::string(format::folder_part(fs::own_executable_path())));
  }
  TMain& main() { return app->main(); }
  std::string in_d(const std::string& name) const { return format::join_path(d, name); }
  std::vector<std::string> names() { return main().entry_names(); }
  // Selects the entries named, and nothing else.
  void select(std::initializer_list<std::string> wanted) {
    ListView_SetItemState(main().list(), -1, 0, LVIS_SELECTED);
    const auto all = names();
    for (const auto& w : wanted) {
      const auto it = std::find(all.begin(), all.end(), w);
      ASSERT_NE(it, all.end()) << w;
      main().select(static_cast<std::size_t>(it - all.begin()));
    }
  }
  void click(int id) { ::SendMessageW(main().control(id), BM_CLICK, 0, 0); }
  void menu(int id) { ::SendMessageW(main().hwnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
  // A click on the file list as the list reports it to its window.
  void click_list() {
    NMITEMACTIVATE click{};
    click.hdr = {main().list(), IDC_SHELLLISTVIEW1, static_cast<UINT>(NM_CLICK)};
    click.iItem = ListView_GetNextItem(main().list(), -1, LVNI_SELECTED);
    ::SendMessageW(main().hwnd(), WM_NOTIFY, IDC_SHELLLISTVIEW1, reinterpret_cast<LPARAM>(&click));
  }
  std::string text(int id) { return window_text(main().control(id)); }
  bool journal_left() const {
    for (const auto& e : fs::list_directory(program))
      if (format::is_journal_file_name(e.name)) return true;
    return false;
  }
};

RECT rect_in(HWND parent, HWND child) {
  RECT r;
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

std::string menu_text(HMENU menu, UINT position) {
  wchar_t text[128] = {};
  ::GetMenuStringW(menu, position, text, 128, MF_BYPOSITION);
  return codepage::narrow(text);
}

}  // namespace

TEST(MainWindow, LayoutAndCaptions) {
  NEED_DISPLAY();
  Desk desk;
  HWND main = desk.main().hwnd();
  EXPECT_EQ(window_text(main), "Архиватор Tarvik");
  // Fixed single border, system menu and minimise box, no maximise box; 807 x 504 of client
  // area; centred on the screen.
  const LONG style = ::GetWindowLongW(main, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  const int dpi = dpi_of(main);
  RECT client;
  ::GetClientRect(main, &client);
  EXPECT_EQ(client.right, ::MulDiv(807, dpi, 96));
  EXPECT_EQ(client.bottom, ::MulDiv(504, dpi, 96));
  RECT frame;
  ::GetWindowRect(main, &frame);
  EXPECT_NEAR((frame.left + frame.right) / 2, ::GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((frame.top + frame.bottom) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2, 1);

  struct Control {
    int id;
    const char* text;
    bool framed;  // inside "Опции упаковки"
  };
  const Control controls[] = {
      {IDC_MAIN_BITBTN2, "Назад", false},
      {IDC_MAIN_BITBTN5, "Упаковать", false},
      {IDC_MAIN_BITBTN1, "Распаковать", false},
      {IDC_MAIN_BITBTN4, "Обзор архива", false},
      {IDC_MAIN_BITBTN3, "Обновить", false},
      {IDC_MAIN_BITBTN6, "Выход", false},
      {IDC_GROUPBOX1, "Опции упаковки", false},
      {IDC_EDIT1_GROUP, "Имя нового архива .kzv", true},
      {IDC_EDIT1, "arhiv", true},
      {IDC_CHECKBOX1, "Самораскрывающийся", true},
      {IDC_MASKEDIT1_GROUP, "Пароль (до 12 символов)", true},
      {IDC_MASKEDIT1, "", true},
      {IDC_CHECKBOX2_GROUP, "Многотомный", true},
      {IDC_CHECKBOX2, "да", true},
      {IDC_MAIN_LABEL2, "Размер (килобайты)", true},
      {IDC_MASKEDIT2, "", true},
  };
  const RECT options = rect_in(main, desk.main().control(IDC_GROUPBOX1));
  for (const Control& c : controls) {
    SCOPED_TRACE(c.text);
    HWND control = desk.main().control(c.id);
    ASSERT_TRUE(control);
    EXPECT_EQ(window_text(control), c.text);
    EXPECT_TRUE(::IsWindowVisible(control));
    const RECT r = rect_in(main, control);
    EXPECT_TRUE(inside(r, client));
    EXPECT_EQ(inside(r, options), c.framed || c.id == IDC_GROUPBOX1);
    // No caption is cut: its text fits the control, with room for the box of a check box.
    HDC dc = ::GetDC(control);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    const std::wstring text = codepage::widen(c.text);
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    const bool check_box = c.id == IDC_CHECKBOX1 || c.id == IDC_CHECKBOX2;
    EXPECT_LE(extent.cx + ::MulDiv(check_box ? 22 : 12, dpi, 96), r.right - r.left);
  }
  // The five command buttons: one row, one size.
  const RECT pack = rect_in(main, desk.main().control(IDC_MAIN_BITBTN5));
  for (int id : {IDC_MAIN_BITBTN1, IDC_MAIN_BITBTN4, IDC_MAIN_BITBTN3, IDC_MAIN_BITBTN6}) {
    const RECT r = rect_in(main, desk.main().control(id));
    EXPECT_EQ(r.top, pack.top);
    EXPECT_EQ(r.bottom - r.top, pack.bottom - pack.top);
    EXPECT_EQ(r.right - r.left, pack.right - pack.left);
  }
  // Controls that are not frames never overlap.
  std::vector<std::pair<int, RECT>> solid;
  for (int id : {IDC_MAIN_BITBTN2, IDC_SHELLCOMBOBOX1, IDC_SHELLLISTVIEW1, IDC_MAIN_BITBTN5, IDC_MAIN_BITBTN1,
                 IDC_MAIN_BITBTN4, IDC_MAIN_BITBTN3, IDC_MAIN_BITBTN6, IDC_EDIT1, IDC_CHECKBOX1, IDC_MASKEDIT1,
                 IDC_CHECKBOX2, IDC_MAIN_LABEL2, IDC_MASKEDIT2, IDC_STATUSBAR1})
    solid.emplace_back(id, rect_in(main, desk.main().control(id)));
  for (std::size_t i = 0; i < solid.size(); ++i)
    for (std::size_t j = i + 1; j < solid.size(); ++j) {
      RECT both;
      EXPECT_FALSE(::IntersectRect(&both, &solid[i].second, &solid[j].second))
          << solid[i].first << " and " << solid[j].first;
    }

  // The fields: at most 20, 12 and 7 characters typed; the password in plain text; the size
  // field digits only and disabled until "да" is ticked; nothing ticked.
  EXPECT_EQ(::SendMessageW(desk.main().edit1(), EM_GETLIMITTEXT, 0, 0), 20);
  EXPECT_EQ(::SendMessageW(desk.main().control(IDC_MASKEDIT1), EM_GETLIMITTEXT, 0, 0), 12);
  EXPECT_EQ(::SendMessageW(desk.main().control(IDC_MASKEDIT2), EM_GETLIMITTEXT, 0, 0), 7);
  EXPECT_FALSE(::GetWindowLongW(desk.main().control(IDC_MASKEDIT1), GWL_STYLE) & ES_PASSWORD);
  EXPECT_TRUE(::GetWindowLongW(desk.main().control(IDC_MASKEDIT2), GWL_STYLE) & ES_NUMBER);
  EXPECT_FALSE(::IsWindowEnabled(desk.main().control(IDC_MASKEDIT2)));
  for (int id : {IDC_CHECKBOX1, IDC_CHECKBOX2})
    EXPECT_EQ(::SendMessageW(desk.main().control(id), BM_GETCHECK, 0, 0), BST_UNCHECKED);

  // The file list: report view, several entries selectable, whole rows, the selection kept
  // without focus, names editable, the system's icons; name, size, type, modified.
  HWND list = desk.main().list();
  const LONG list_style = ::GetWindowLongW(list, GWL_STYLE);
  EXPECT_EQ(list_style & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_FALSE(list_style & LVS_SINGLESEL);
  EXPECT_TRUE(list_style & LVS_SHOWSELALWAYS);
  EXPECT_TRUE(list_style & LVS_EDITLABELS);
  EXPECT_TRUE(ListView_GetExtendedListViewStyle(list) & LVS_EX_FULLROWSELECT);
  EXPECT_TRUE(ListView_GetImageList(list, LVSIL_SMALL));
  std::vector<std::string> titles;
  for (int i = 0; i < 4; ++i) {
    wchar_t title[64] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = title;
    column.cchTextMax = 64;
    ASSERT_TRUE(ListView_GetColumn(list, i, &column));
    titles.push_back(codepage::narrow(title));
  }
  EXPECT_EQ(titles, (std::vector<std::string>{"Имя", "Размер", "Тип", "Изменён"}));

  // The status bar: three panels of 300, 200 and 200 pixels.
  int edges[4] = {};
  ASSERT_EQ(::SendMessageW(desk.main().control(IDC_STATUSBAR1), SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 3);
  EXPECT_EQ(edges[0], ::MulDiv(300, dpi, 96));
  EXPECT_EQ(edges[1], ::MulDiv(500, dpi, 96));

  // The menu.
  HMENU menu = ::GetMenu(main);
  ASSERT_TRUE(menu);
  ASSERT_EQ(::GetMenuItemCount(menu), 4);
  EXPECT_EQ(menu_text(menu, 0), "Настройки");
  EXPECT_EQ(menu_text(menu, 1), "Помощь");
  EXPECT_EQ(menu_text(menu, 2), "О программе");
  EXPECT_EQ(menu_text(menu, 3), "Выход");
  HMENU settings = ::GetSubMenu(menu, 0);
  ASSERT_EQ(::GetMenuItemCount(settings), 3);
  EXPECT_EQ(menu_text(settings, 0), "Установка меню проводника");
  EXPECT_EQ(menu_text(settings, 1), "Очистка меню проводника ");
  EXPECT_EQ(menu_text(settings, 2), "Очистка регистрации");
}
