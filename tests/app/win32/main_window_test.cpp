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
#include "format/fields.h"
#include "format/names.h"
#include "format/password.h"
#include "platform/codepage.h"
#include "platform/fs.h"
#include "platform/memory_registry.h"
#include "requests/operations.h"
#include "app_desk.h"
#include "test_support.h"
#include "window_test_support.h"

using namespace tarvik;
using namespace tarvik::app;
using tarvik::test::RecordingUi;
using tarvik::test::snapshot;
using tarvik::test::TempDir;
using tarvik::test::Ticker;
using tarvik::test::dpi_of;

namespace {

// A folder "d" of sample files with Russian names, a program folder for the journal, an
// in-memory registry, and the application with its main window shown.
struct Desk : test::AppDesk {
  std::string d = dir.win("d");
  registry::MemoryRegistry registry;

  Desk() {
    test::write_file(*fs::to_native(in_d("отчёт.txt")), "Отчёт за квартал");
    test::write_file(*fs::to_native(in_d("Б.txt")), test::noise(40000, 2));
    test::write_file(*fs::to_native(in_d("а.txt")), "первый");
    test::write_file(*fs::to_native(in_d("Фото\\снимок.bin")), test::noise(60000, 3));
    test::write_file(*fs::to_native(in_d("sub dir\\c.txt")), test::noise(30000, 4));
    AppOptions options;
    options.own_executable = format::join_path(program, "Tarvik.exe");
    options.registry = &registry;
    open(options);
    EXPECT_TRUE(app->start({}).keep_running);
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
};

// A caption as it is shown: the "&" that marks the Alt accelerator's letter is an underline.
std::string shown(const std::string& caption) {
  std::string text;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;  // "&&" leaves one "&"
    text += caption[i];
  }
  return text;
}

// The accelerator letter of a caption, lower case ("" when it has none).
std::wstring accelerator(const std::string& caption) {
  const std::wstring wide = codepage::widen(caption);
  const auto at = wide.find(L'&');
  if (at == std::wstring::npos || at + 1 >= wide.size()) return L"";
  std::wstring letter = wide.substr(at + 1, 1);
  ::CharLowerBuffW(letter.data(), 1);
  return letter;
}

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
      {IDC_MAIN_ENCRYPT, "Шифровать данные (AES-256)", true},
      {IDC_MAIN_PASSWORD_REPEAT_LABEL, "Повтор:", true},
      {IDC_MAIN_PASSWORD_REPEAT, "", true},
      {IDC_CHECKBOX2_GROUP, "Многотомный", true},
      {IDC_CHECKBOX2, "да", true},
      {IDC_MAIN_LABEL2, "Размер (килобайты)", true},
      {IDC_MASKEDIT2, "", true},
      {IDC_MAIN_LEVEL_GROUP, "Сжатие", true},
      {IDC_MAIN_LEVEL, "обычное", true},
  };
  const RECT options = rect_in(main, desk.main().control(IDC_GROUPBOX1));
  // Every button and check box carries an Alt accelerator, each letter its own.
  std::map<std::wstring, int> accelerators;
  for (int id : {IDC_MAIN_BITBTN2, IDC_MAIN_BITBTN5, IDC_MAIN_BITBTN1, IDC_MAIN_BITBTN4, IDC_MAIN_BITBTN3,
                 IDC_MAIN_BITBTN6, IDC_CHECKBOX1, IDC_CHECKBOX2, IDC_MAIN_ENCRYPT}) {
    const std::wstring letter = accelerator(window_text(desk.main().control(id)));
    EXPECT_FALSE(letter.empty()) << window_text(desk.main().control(id));
    EXPECT_EQ(++accelerators[letter], 1) << window_text(desk.main().control(id));
  }
  for (const Control& c : controls) {
    SCOPED_TRACE(c.text);
    HWND control = desk.main().control(c.id);
    ASSERT_TRUE(control);
    EXPECT_EQ(shown(window_text(control)), c.text);
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
    const bool check_box = c.id == IDC_CHECKBOX1 || c.id == IDC_CHECKBOX2 || c.id == IDC_MAIN_ENCRYPT;
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
                 IDC_MAIN_ENCRYPT, IDC_MAIN_PASSWORD_REPEAT_LABEL, IDC_MAIN_PASSWORD_REPEAT,
                 IDC_CHECKBOX2, IDC_MAIN_LABEL2, IDC_MASKEDIT2, IDC_MAIN_LEVEL, IDC_STATUSBAR1})
    solid.emplace_back(id, rect_in(main, desk.main().control(id)));
  for (std::size_t i = 0; i < solid.size(); ++i)
    for (std::size_t j = i + 1; j < solid.size(); ++j) {
      RECT both;
      EXPECT_FALSE(::IntersectRect(&both, &solid[i].second, &solid[j].second))
          << solid[i].first << " and " << solid[j].first;
    }

  // The fields: at most 20, 12 and 7 characters typed; the password masked; the size field
  // digits only and disabled until "да" is ticked; encryption and the repeated password
  // disabled until a password is typed; nothing ticked.
  EXPECT_EQ(::SendMessageW(desk.main().edit1(), EM_GETLIMITTEXT, 0, 0), 20);
  EXPECT_EQ(::SendMessageW(desk.main().control(IDC_MASKEDIT1), EM_GETLIMITTEXT, 0, 0), 12);
  EXPECT_EQ(::SendMessageW(desk.main().control(IDC_MASKEDIT2), EM_GETLIMITTEXT, 0, 0), 7);
  for (int id : {IDC_MASKEDIT1, IDC_MAIN_PASSWORD_REPEAT})
    EXPECT_TRUE(::GetWindowLongW(desk.main().control(id), GWL_STYLE) & ES_PASSWORD);
  for (int id : {IDC_MAIN_ENCRYPT, IDC_MAIN_PASSWORD_REPEAT_LABEL, IDC_MAIN_PASSWORD_REPEAT})
    EXPECT_FALSE(::IsWindowEnabled(desk.main().control(id)));
  EXPECT_TRUE(::GetWindowLongW(desk.main().control(IDC_MASKEDIT2), GWL_STYLE) & ES_NUMBER);
  EXPECT_FALSE(::IsWindowEnabled(desk.main().control(IDC_MASKEDIT2)));
  for (int id : {IDC_CHECKBOX1, IDC_CHECKBOX2, IDC_MAIN_ENCRYPT})
    EXPECT_EQ(::SendMessageW(desk.main().control(id), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  // "Сжатие": a list of three lines, "обычное" chosen (the default level).
  HWND level = desk.main().control(IDC_MAIN_LEVEL);
  ASSERT_EQ(::SendMessageW(level, CB_GETCOUNT, 0, 0), 3);
  const char* level_lines[] = {"быстрое", "обычное", "максимальное"};
  for (int i = 0; i < 3; ++i) {
    wchar_t line[64] = {};
    ::SendMessageW(level, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(line));
    EXPECT_EQ(codepage::narrow(line), level_lines[i]);
  }
  EXPECT_EQ(desk.main().pack_options().level, kDefaultLevel);

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

TEST(MainWindow, FolderViews) {
  NEED_DISPLAY();
  Desk desk;
  TMain& main = desk.main();
  // Started without a request: My Computer, its drives, the box saying so.
  EXPECT_EQ(main.folder(), "");
  EXPECT_EQ(window_text(main.combo()), "Мой компьютер");
  const auto drives = desk.names();
  EXPECT_NE(std::find(drives.begin(), drives.end(), "C:\\"), drives.end());
  for (const auto& e : main.entries()) EXPECT_TRUE(e.is_drive);

  // A folder: folders first, then files, each by name without regard to case; hidden entries
  // shown; every row with an icon and a type.
  test::write_file(*fs::to_native(desk.in_d("я.txt")), "");
  test::write_file(*fs::to_native(desk.in_d("скрытый.txt")), "");
  ::SetFileAttributesW(codepage::widen(desk.in_d("скрытый.txt")).c_str(), FILE_ATTRIBUTE_HIDDEN);
  main.open_folder(desk.d);
  EXPECT_EQ(window_text(main.combo()), desk.d);
  EXPECT_EQ(fs::current_directory(), desk.d);
  EXPECT_EQ(desk.names(), (std::vector<std::string>{"sub dir", "Фото", "а.txt", "Б.txt", "отчёт.txt",
                                                     "скрытый.txt", "я.txt"}));
  HWND list = main.list();
  wchar_t text[64];
  ListView_GetItemText(list, 0, 2, text, 64);
  EXPECT_EQ(codepage::narrow(text), "Папка с файлами");
  ListView_GetItemText(list, 3, 1, text, 64);
  EXPECT_EQ(codepage::narrow(text), "40 КБ");  // 40,000 bytes, rounded up to kilobytes
  for (int i = 0; i < ListView_GetItemCount(list); ++i) {
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = i;
    ASSERT_TRUE(ListView_GetItem(list, &item));
    EXPECT_GE(item.iImage, 0) << i;
  }

  // Double-click (or Enter) on a folder enters it; on a file nothing happens.
  const auto activate = [&](int index) {
    NMITEMACTIVATE a{};
    a.hdr = {list, IDC_SHELLLISTVIEW1, static_cast<UINT>(LVN_ITEMACTIVATE)};
    a.iItem = index;
    ::SendMessageW(main.hwnd(), WM_NOTIFY, IDC_SHELLLISTVIEW1, reinterpret_cast<LPARAM>(&a));
  };
  activate(3);
  EXPECT_EQ(main.folder(), desk.d);
  activate(1);
  EXPECT_EQ(main.folder(), desk.in_d("Фото"));
  EXPECT_EQ(desk.names(), std::vector<std::string>{"снимок.bin"});
  // Enter in the list, through the window's dialog keys as the message loop passes it on,
  // opens the focused folder.
  main.open_folder(desk.d);
  ::SetFocus(list);
  ListView_SetItemState(list, 0, LVIS_FOCUSED, LVIS_FOCUSED);
  MSG enter{list, WM_KEYDOWN, VK_RETURN, 0, 0, {}};
  EXPECT_TRUE(::IsDialogMessageW(main.hwnd(), &enter));
  EXPECT_EQ(main.folder(), desk.in_d("sub dir"));

  // Back: to the parent folder, from a drive root to My Computer, and nowhere from there.
  struct Case {
    std::string from;
    std::string to;
  };
  const Case cases[] = {
      {desk.in_d("Фото"), desk.d},
      {"C:\\windows\\system32", "C:\\windows"},
      {"C:\\windows", "C:\\"},
      {"C:\\", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from);
    if (c.from.empty())
      main.open_my_computer();
    else
      main.open_folder(c.from);
    desk.click(IDC_MAIN_BITBTN2);
    EXPECT_EQ(main.folder(), c.to);
    EXPECT_EQ(window_text(main.combo()), c.to.empty() ? "Мой компьютер" : c.to);
    if (!c.to.empty()) {
      EXPECT_EQ(fs::current_directory(), c.to);
    }
  }
  // The folder box: choosing a drive opens it, choosing My Computer shows the drives.
  main.open_folder(desk.d);
  const int count = static_cast<int>(::SendMessageW(main.combo(), CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    wchar_t item[MAX_PATH] = {};
    ::SendMessageW(main.combo(), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
    if (codepage::narrow(item) != "C:\\") continue;
    ::SendMessageW(main.combo(), CB_SETCURSEL, i, 0);
    ::SendMessageW(main.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SHELLCOMBOBOX1, CBN_SELENDOK),
                   reinterpret_cast<LPARAM>(main.combo()));
  }
  EXPECT_EQ(main.folder(), "C:\\");
  ::SendMessageW(main.combo(), CB_SETCURSEL, 0, 0);
  ::SendMessageW(main.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SHELLCOMBOBOX1, CBN_SELENDOK),
                 reinterpret_cast<LPARAM>(main.combo()));
  EXPECT_EQ(main.folder(), "");
  EXPECT_TRUE(desk.prompts.messages.empty());
}

TEST(MainWindow, OptionsAndNameProposal) {
  NEED_DISPLAY();
  Desk desk;
  TMain& main = desk.main();
  // The multi-volume box empties the size field each time and enables it while ticked.
  HWND size = main.control(IDC_MASKEDIT2);
  for (const bool ticked : {true, false, true}) {
    SCOPED_TRACE(ticked);
    set_window_text(size, "4096");
    desk.click(IDC_CHECKBOX2);
    EXPECT_EQ(window_text(size), "");
    EXPECT_EQ(::IsWindowEnabled(size) != FALSE, ticked);
  }

  // A click on an entry proposes its name without extension as the archive name; a shell
  // folder of the system (attributes 54) and a drive propose nothing.
  main.open_folder(desk.d);
  fs::create_directory(desk.in_d("system"));
  ::SetFileAttributesW(codepage::widen(desk.in_d("system")).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                                                          FILE_ATTRIBUTE_ARCHIVE);
  // (Wine keeps no archive bit on folders: there the case cannot be made.)
  const bool system_folder = fs::attributes(desk.in_d("system")) == 54u;
  test::write_file(*fs::to_native(desk.in_d("архив.2026.kzv")), "");
  main.refresh();
  struct Case {
    std::string entry;  // "" a drive of My Computer
    std::string proposed;
  };
  const Case cases[] = {{"отчёт.txt", "отчёт"},     {"Фото", "Фото"}, {"архив.2026.kzv", "архив.2026"},
                        {"system", "архив.2026"},   {"", "архив.2026"}};
  for (const Case& c : cases) {
    if (c.entry == "system" && !system_folder) continue;
    SCOPED_TRACE(c.entry);
    if (c.entry.empty()) {
      main.open_my_computer();
      main.select(0);
    } else {
      desk.select({c.entry});
    }
    desk.click_list();
    EXPECT_EQ(window_text(main.edit1()), c.proposed);
  }
  // Typing stops at 20 characters, a proposal does not.
  main.set_archive_name("очень-длинное-имя-архива-2026");
  EXPECT_EQ(window_text(main.edit1()), "очень-длинное-имя-архива-2026");
}

TEST(MainWindow, PackAndUnpackCommands) {
  NEED_DISPLAY();
  Desk desk;
  TMain& main = desk.main();
  HWND bar = desk.app->bar().hwnd();
  main.open_folder(desk.d);
  const auto before = snapshot(desk.dir.native() / "d");

  // Pack with nothing selected: the dialog opens, the packing driver says why, the dialog
  // closes, nothing is left behind.
  bool dialog_seen = false;
  {
    Ticker watch(5, [&] { return dialog_seen = ::IsWindowVisible(bar) != FALSE; });
    desk.click(IDC_MAIN_BITBTN5);
  }
  EXPECT_TRUE(dialog_seen);
  EXPECT_FALSE(::IsWindowVisible(bar));
  EXPECT_EQ(desk.prompts.messages, std::vector<std::string>{std::string(msg::kNothingSelected)});
  EXPECT_EQ(snapshot(desk.dir.native() / "d"), before);
  EXPECT_FALSE(desk.journal_left());
  EXPECT_EQ(main.status_text(), msg::kPackFailed);

  // Unpack and Browse with nothing selected, or with a folder: "Не выбран архив для распаковки!".
  for (int button : {IDC_MAIN_BITBTN1, IDC_MAIN_BITBTN4}) {
    for (const char* selected : {"", "Фото"}) {
      desk.prompts.messages.clear();
      if (*selected) {
        desk.select({selected});
      } else {
        desk.select({});
      }
      desk.click(button);
      EXPECT_EQ(desk.prompts.messages, std::vector<std::string>{std::string(msg::kNoArchiveChosen)});
    }
  }

  // Pack the selection: the list shows the new archive afterwards, the options stay as typed,
  // the selection too; the caption names no archive yet.
  desk.prompts.messages.clear();
  desk.select({"Фото", "отчёт.txt", "sub dir"});
  main.set_archive_name("копия");
  desk.click(IDC_MAIN_BITBTN5);
  EXPECT_TRUE(desk.prompts.messages.empty()) << desk.prompts.messages[0];
  EXPECT_EQ(window_text(desk.app->bar().item(IDC_LABEL2)), "Упаковка: ");
  const auto names = desk.names();
  EXPECT_NE(std::find(names.begin(), names.end(), "копия.kzv"), names.end());
  EXPECT_EQ(main.selection().items, (std::vector<std::string>{"sub dir", "Фото", "отчёт.txt"}));
  EXPECT_EQ(window_text(main.edit1()), "копия");
  const auto archive = test::read_archive(desk.in_d("копия.kzv"));
  ASSERT_EQ(archive.records.size(), 5u);  // "sub dir" and c.txt, "Фото" and снимок.bin, отчёт.txt
  EXPECT_EQ(archive.records[4].path, *codepage::to_archive(desk.in_d("отчёт.txt")));
  EXPECT_FALSE(desk.journal_left());
  // The status bar says what was made: the archive, its three files, its size.
  EXPECT_EQ(main.status_text(), msg::archive_made("копия.kzv", 3, fs::file_size(desk.in_d("копия.kzv"))));

  // The same name again: the packing driver's message, and the status bar says no archive
  // was made.
  desk.click(IDC_MAIN_BITBTN5);
  EXPECT_EQ(desk.prompts.messages, std::vector<std::string>{std::string(msg::kArchiveExists)});
  EXPECT_EQ(main.status_text(), msg::kPackFailed);
  desk.prompts.messages.clear();

  // Unpack it elsewhere: the same tree comes back; the list is re-read afterwards.
  TempDir other;
  std::filesystem::copy_file(*fs::to_native(desk.in_d("копия.kzv")), *fs::to_native(other.win("копия.kzv")));
  main.open_folder(other.win());
  desk.select({"копия.kzv"});
  desk.click(IDC_MAIN_BITBTN1);
  EXPECT_TRUE(desk.prompts.messages.empty());
  EXPECT_EQ(window_text(desk.app->bar().item(IDC_LABEL2)), "Распаковка: копия.kzv");
  auto tree = snapshot(other.native());
  tree.erase("копия.kzv");
  auto packed = before;
  for (auto it = packed.begin(); it != packed.end();)
    it = it->first.starts_with("Фото") || it->first.starts_with("sub dir") || it->first == "отчёт.txt"
             ? std::next(it)
             : packed.erase(it);
  const auto keys = [](const std::map<std::string, std::string>& m) {
    std::vector<std::string> k;
    for (const auto& [name, contents] : m) k.push_back(name + " " + std::to_string(contents.size()));
    return k;
  };
  EXPECT_EQ(keys(tree), keys(packed));
  EXPECT_TRUE(tree == packed);
  EXPECT_EQ(desk.names(), (std::vector<std::string>{"sub dir", "Фото", "копия.kzv", "отчёт.txt"}));
  EXPECT_FALSE(desk.journal_left());
  EXPECT_EQ(main.status_text(), msg::files_unpacked(3, other.win()));

  // A pack after the unpack names that archive in its caption.
  main.open_folder(desk.d);
  desk.select({"а.txt"});
  main.set_archive_name("второй");
  desk.click(IDC_MAIN_BITBTN5);
  EXPECT_EQ(window_text(desk.app->bar().item(IDC_LABEL2)), "Упаковка: копия.kzv");
}

// Where the focus goes and what the keys do: the file list has the focus after Pack, Unpack,
// a message and the browser, and the control that had it gets it back when the window is
// active again; Ctrl+A selects every row; Enter or a double-click on an archive opens it in
// the browser.
TEST(MainWindow, FocusAndKeys) {
  NEED_DISPLAY();
  Desk desk;
  TMain& main = desk.main();
  HWND list = main.list();
  main.open_folder(desk.d);
  const auto from_button = [&](int id) {
    ::SetFocus(main.control(id));
    desk.click(id);
    return ::GetFocus() == list;
  };
  desk.select({"а.txt"});
  main.set_archive_name("фокус");
  EXPECT_TRUE(from_button(IDC_MAIN_BITBTN5)) << "after Pack";
  desk.select({});
  EXPECT_TRUE(from_button(IDC_MAIN_BITBTN1)) << "after the message of Unpack";
  EXPECT_EQ(desk.prompts.messages, std::vector<std::string>{std::string(msg::kNoArchiveChosen)});
  TempDir other;
  std::filesystem::copy_file(*fs::to_native(desk.in_d("фокус.kzv")), *fs::to_native(other.win("фокус.kzv")));
  main.open_folder(other.win());
  desk.select({"фокус.kzv"});
  EXPECT_TRUE(from_button(IDC_MAIN_BITBTN1)) << "after Unpack";
  EXPECT_TRUE(fs::exists(other.win("а.txt")));
  EXPECT_TRUE(from_button(IDC_MAIN_BITBTN3)) << "after Refresh";

  // Another window active, then this one again: the focus where it was.
  HWND other_window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr,
                                        nullptr, nullptr, nullptr);
  for (HWND had : {main.edit1(), list}) {
    ::SetActiveWindow(main.hwnd());
    ::SetFocus(had);
    ::SetActiveWindow(other_window);
    EXPECT_NE(::GetFocus(), had);
    ::SetActiveWindow(main.hwnd());
    EXPECT_EQ(::GetFocus(), had);
  }
  ::DestroyWindow(other_window);

  // Ctrl+A: every row.
  main.open_folder(desk.d);
  desk.select({"а.txt"});
  BYTE keys[256] = {};
  ::GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  ::SetKeyboardState(keys);
  ::SendMessageW(list, WM_KEYDOWN, 'A', 0);
  keys[VK_CONTROL] = 0;
  ::SetKeyboardState(keys);
  EXPECT_EQ(ListView_GetSelectedCount(list), static_cast<UINT>(desk.names().size()));

  // Alt and a button's letter, as the program's loop takes keys: Alt+О is "Обзор архива"
  // (with folders among the selection: "Не выбран архив для распаковки!"), and the focus is
  // back on the list.
  desk.prompts.messages.clear();
  desk.select({"Фото"});
  ::SetFocus(list);
  MSG alt{list, WM_SYSCHAR, L'о', 1 | (1 << 29), 0, {}};
  EXPECT_TRUE(desk.app->take_key(alt));
  EXPECT_EQ(desk.prompts.messages, std::vector<std::string>{std::string(msg::kNoArchiveChosen)});
  EXPECT_EQ(::GetFocus(), list);
  desk.prompts.messages = {std::string(msg::kNoArchiveChosen)};  // as the checks below expect

  // Enter on the archive's row, and a double-click on it: the browser, showing that archive.
  const auto names = desk.names();
  const int row = static_cast<int>(std::find(names.begin(), names.end(), "фокус.kzv") - names.begin());
  ASSERT_LT(row, static_cast<int>(names.size()));
  const auto browsed = [&](const std::function<void()>& open) {
    std::string shown;
    {
      Ticker close(10, [&] {
        if (!desk.app->view().shown()) return false;
        shown = window_text(desk.app->view().item(IDC_VIEW_EDIT1));
        ::PostMessageW(desk.app->view().hwnd(), WM_CLOSE, 0, 0);
        return true;
      });
      open();
    }
    return shown;
  };
  desk.select({"фокус.kzv"});
  ListView_SetItemState(list, row, LVIS_FOCUSED, LVIS_FOCUSED);
  ::SetFocus(list);
  EXPECT_EQ(browsed([&] { ::SendMessageW(main.hwnd(), WM_COMMAND, IDOK, 0); }), "фокус.kzv");
  EXPECT_EQ(::GetFocus(), list);
  EXPECT_EQ(browsed([&] {
              NMITEMACTIVATE activate{};
              activate.hdr = {list, IDC_SHELLLISTVIEW1, static_cast<UINT>(LVN_ITEMACTIVATE)};
              activate.iItem = row;
              ::SendMessageW(main.hwnd(), WM_NOTIFY, IDC_SHELLLISTVIEW1, reinterpret_cast<LPARAM>(&activate));
            }),
            "фокус.kzv");
  EXPECT_TRUE(::IsWindow(main.hwnd()));
  EXPECT_EQ(desk.prompts.messages, std::vector<std::string>{std::string(msg::kNoArchiveChosen)});
}

TEST(MainWindow, PackWithVolumesPasswordAndSelfExtracting) {
  NEED_DISPLAY();
  Desk desk;
  TMain& main = desk.main();
  // The stub of self-extracting archives: a copy of a program that carries no archive.
  std::filesystem::copy_file(*fs::to_native(fs::own_executable_path()), desk.dir.native() / "program" / "Tarvik.sfx");
  main.open_folder(desk.d);
  desk.select({"Фото", "sub dir"});
  main.set_archive_name("тома");
  desk.click(IDC_CHECKBOX1);
  set_window_text(main.control(IDC_MASKEDIT1), "пароль");
  desk.click(IDC_CHECKBOX2);
  set_window_text(main.control(IDC_MASKEDIT2), "40");
  ::SendMessageW(main.control(IDC_MAIN_LEVEL), CB_SETCURSEL, 2, 0);  // "максимальное"
  desk.click(IDC_MAIN_BITBTN5);
  EXPECT_TRUE(desk.prompts.messages.empty()) << desk.prompts.messages[0];
  const auto archive = test::read_archive(desk.in_d("тома.001.exe"), /*self_extracting=*/true);
  EXPECT_GE(archive.volume_files.size(), 2u);
  EXPECT_EQ(archive.stub_size, fs::file_size(desk.program + "\\Tarvik.sfx"));
  EXPECT_EQ(archive.password_record.substr(0, 3), "=<N");
  EXPECT_EQ(format::decode_text(format::field_text(archive.password_record.substr(3))),
            *codepage::to_archive("пароль"));
  ASSERT_EQ(archive.records.size(), 4u);
  EXPECT_EQ(archive.records[1].path, *codepage::to_archive(desk.in_d("sub dir\\c.txt")));
  // Every volume is in the list; the options are as the user left them.
  const auto names = desk.names();
  for (const auto& volume : archive.volume_files)
    EXPECT_NE(std::find(names.begin(), names.end(), std::string(format::file_name_part(volume))), names.end())
        << volume;
  const PackOptions options = main.pack_options();
  EXPECT_TRUE(options.self_extracting && options.multi_volume);
  EXPECT_EQ(options.password, "пароль");
  EXPECT_EQ(options.volume_size_kb, "40");
  EXPECT_EQ(options.level, kMaximalLevel);
  // Packed at that level: the streams' headers say so (78 DA).
  for (const auto& record : archive.records) {
    if (record.tag == 'F') {
      EXPECT_EQ(record.packed.substr(0, 2), "\x78\xDA") << record.path;
    }
  }
  EXPECT_FALSE(desk.journal_left());
}

// The encryption box: enabled by a typed password, it lets the password be longer and asks
// for it twice; a mismatch packs nothing; the archive made holds no run of a file's bytes and
// no form of the password, and the window's own Unpack gives the files back.
TEST(MainWindow, PackEncryptedWithTheCheckBox) {
  NEED_DISPLAY();
  Desk desk;
  TMain& main = desk.main();
  main.open_folder(desk.d);
  desk.select({"Б.txt", "Фото"});
  main.set_archive_name("тайна");
  HWND encrypt = main.control(IDC_MAIN_ENCRYPT);
  const std::string password = "пароль длиннее двенадцати знаков";
  set_window_text(main.control(IDC_MASKEDIT1), "   ");
  EXPECT_FALSE(::IsWindowEnabled(encrypt)) << "blanks are no password";
  set_window_text(main.control(IDC_MASKEDIT1), "x");
  ASSERT_TRUE(::IsWindowEnabled(encrypt));
  desk.click(IDC_MAIN_ENCRYPT);
  EXPECT_TRUE(::IsWindowEnabled(main.control(IDC_MAIN_PASSWORD_REPEAT)));
  EXPECT_GE(::SendMessageW(main.control(IDC_MASKEDIT1), EM_GETLIMITTEXT, 0, 0), 64);
  set_window_text(main.control(IDC_MASKEDIT1), password);
  set_window_text(main.control(IDC_MAIN_PASSWORD_REPEAT), password + "!");
  desk.click(IDC_MAIN_BITBTN5);
  ASSERT_EQ(desk.prompts.messages.size(), 1u);
  EXPECT_EQ(desk.prompts.messages[0], msg::kPasswordsDiffer);
  EXPECT_FALSE(fs::exists(desk.in_d("тайна.kzv")));

  desk.prompts.messages.clear();
  set_window_text(main.control(IDC_MAIN_PASSWORD_REPEAT), password);
  desk.click(IDC_MAIN_BITBTN5);
  EXPECT_TRUE(desk.prompts.messages.empty()) << desk.prompts.messages[0];
  const std::string bytes = test::read_file(*fs::to_native(desk.in_d("тайна.kzv")));
  EXPECT_EQ(bytes.substr(0, 10), std::string("KZV A1.0\0 ", 10));
  const std::string photo = test::read_file(*fs::to_native(desk.in_d("Фото\\снимок.bin")));
  for (std::size_t i = 0; i + 64 <= photo.size(); i += 4096)
    EXPECT_EQ(bytes.find(photo.substr(i, 64)), std::string::npos) << "bytes at " << i;
  EXPECT_EQ(bytes.find(password), std::string::npos);
  EXPECT_EQ(bytes.find(*codepage::to_archive(password)), std::string::npos);
  const PackOptions options = main.pack_options();
  EXPECT_TRUE(options.encrypt);
  EXPECT_EQ(options.password, password);

  // Turned off with a long password typed: refused, as the plain kind takes 12 characters.
  desk.click(IDC_MAIN_ENCRYPT);
  EXPECT_FALSE(::IsWindowEnabled(main.control(IDC_MAIN_PASSWORD_REPEAT)));
  main.set_archive_name("открыто");
  desk.click(IDC_MAIN_BITBTN5);
  ASSERT_EQ(desk.prompts.messages.size(), 1u);
  EXPECT_EQ(desk.prompts.messages[0], msg::kPasswordTooLong);
  EXPECT_FALSE(fs::exists(desk.in_d("открыто.kzv")));

  // Unpacked where it lies, over nothing: the password asked once, the files as they were.
  desk.prompts.messages.clear();
  desk.prompts.answers = {password};
  const std::string target = desk.dir.win("вне");
  fs::create_directory(target);
  fs::rename_replace(desk.in_d("тайна.kzv"), format::join_path(target, "тайна.kzv"));
  main.open_folder(target);
  desk.select({"тайна.kzv"});
  desk.click(IDC_MAIN_BITBTN1);
  EXPECT_EQ(desk.prompts.questions.size(), 1u);
  EXPECT_EQ(test::read_file(*fs::to_native(format::join_path(target, "Фото\\снимок.bin"))), photo);
  EXPECT_FALSE(desk.journal_left());
}

TEST(MainWindow, RenameInPlace) {
  NEED_DISPLAY();
  Desk desk;
  TMain& main = desk.main();
  main.open_folder(desk.d);
  // What the list reports when an edit of the entry `name` ends with `typed` (null: cancelled).
  const auto edit = [&](const std::string& name, const wchar_t* typed) {
    const auto all = desk.names();
    const int index = static_cast<int>(std::find(all.begin(), all.end(), name) - all.begin());
    NMLVDISPINFOW info{};
    info.hdr = {main.list(), IDC_SHELLLISTVIEW1, static_cast<UINT>(LVN_ENDLABELEDITW)};
    info.item.iItem = index;
    info.item.pszText = const_cast<wchar_t*>(typed);
    return ::SendMessageW(main.hwnd(), WM_NOTIFY, IDC_SHELLLISTVIEW1, reinterpret_cast<LPARAM>(&info));
  };
  struct Case {
    const char* what;
    std::string name;
    const wchar_t* typed;
    bool renamed;
    std::string message;  // begins so; "" none
  };
  const Case cases[] = {
      {"new name", "отчёт.txt", L"итоги.txt", true, ""},
      {"cancelled", "а.txt", nullptr, false, ""},
      {"unchanged", "а.txt", L"а.txt", false, ""},
      {"taken", "а.txt", L"Б.txt", false, "Не удалось переименовать " + desk.in_d("а.txt") + " в Б.txt: "},
      {"bad character", "а.txt", L"а?.txt", false, "Не удалось переименовать " + desk.in_d("а.txt") + " в а?.txt: имя не может"},
      {"ends in a dot", "Фото", L"Фото.", false, "Не удалось переименовать"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    desk.prompts.messages.clear();
    const auto before = snapshot(desk.dir.native() / "d");
    EXPECT_EQ(edit(c.name, c.typed) != 0, c.renamed);
    if (c.message.empty()) {
      EXPECT_TRUE(desk.prompts.messages.empty());
    } else {
      ASSERT_EQ(desk.prompts.messages.size(), 1u);
      EXPECT_TRUE(desk.prompts.messages[0].starts_with(c.message)) << desk.prompts.messages[0];
    }
    if (!c.renamed) {
      EXPECT_EQ(snapshot(desk.dir.native() / "d"), before);
    }
  }
  EXPECT_TRUE(fs::is_file(desk.in_d("итоги.txt")));
  EXPECT_FALSE(fs::exists(desk.in_d("отчёт.txt")));
  const auto names = desk.names();
  EXPECT_NE(std::find(names.begin(), names.end(), "итоги.txt"), names.end());
  // Drives keep their names.
  main.open_my_computer();
  NMLVDISPINFOW begin{};
  begin.hdr = {main.list(), IDC_SHELLLISTVIEW1, static_cast<UINT>(LVN_BEGINLABELEDITW)};
  begin.item.iItem = 0;
  EXPECT_TRUE(::SendMessageW(main.hwnd(), WM_NOTIFY, IDC_SHELLLISTVIEW1, reinterpret_cast<LPARAM>(&begin)));
}

TEST(MainWindow, MenuAboutAndHelp) {
  NEED_DISPLAY();
  Desk desk;
  // The registry commands, over the registry the program was given.
  using registry::Root;
  const std::string handler = "*\\shellex\\ContextMenuHandlers\\Tarvik";
  desk.menu(IDM_N5);
  EXPECT_TRUE(desk.registry.exists(Root::ClassesRoot, handler));
  desk.menu(IDM_N6);
  EXPECT_FALSE(desk.registry.exists(Root::ClassesRoot, handler));
  desk.registry.open(Root::ClassesRoot, ".kzv", registry::Open::Create)->write("", "Tarvik");
  desk.menu(IDM_N8);
  EXPECT_FALSE(desk.registry.exists(Root::ClassesRoot, ".kzv"));
  EXPECT_EQ(desk.prompts.messages,
            (std::vector<std::string>{std::string(msg::kExplorerMenuInstalled), std::string(msg::kExplorerMenuCleared),
                                      std::string(msg::kRegistrationRemoved)}));

  // About and Help: shown modally over the main window, which takes no input meanwhile;
  // "Закрыть" closes them.
  struct Case {
    int command;
    Dialog* dialog;
    const char* caption;
  };
  const Case cases[] = {{IDM_N1, &desk.app->about(), "О программе"}, {IDM_N7, &desk.app->help(), "Помощь"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    bool shown = false, main_disabled = false;
    Ticker user(20, [&] {
      if (!::IsWindowVisible(c.dialog->hwnd())) return false;
      shown = true;
      main_disabled = !::IsWindowEnabled(desk.main().hwnd());
      EXPECT_EQ(window_text(c.dialog->hwnd()), c.caption);
      EXPECT_EQ(window_text(c.dialog->item(IDOK)), "Закрыть");
      ::SendMessageW(c.dialog->item(IDOK), BM_CLICK, 0, 0);
      return true;
    });
    desk.menu(c.command);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(main_disabled);
    EXPECT_FALSE(::IsWindowVisible(c.dialog->hwnd()));
    EXPECT_TRUE(::IsWindowEnabled(desk.main().hwnd()));
  }
  // About: the name in bold, the version, the site opened with the shell's "open" verb.
  TAbout& about = desk.app->about();
  EXPECT_EQ(window_text(about.item(IDC_ABOUT_NAME)), "Tarvik");
  LOGFONTW font{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(about.item(IDC_ABOUT_NAME), WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_GE(font.lfWeight, FW_BOLD);
  EXPECT_EQ(window_text(about.item(IDC_ABOUT_VERSION)), "Версия 1.02");
  EXPECT_EQ(window_text(about.item(IDC_ABOUT_SITE)), "Сайт программы:");
  EXPECT_EQ(window_text(about.item(IDC_LABEL7)), about.site_address());
  std::vector<std::string> opened;
  about.set_opener([&](const std::string& address) { opened.push_back(address); });
  ::SendMessageW(about.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_LABEL7, STN_CLICKED), reinterpret_cast<LPARAM>(about.item(IDC_LABEL7)));
  EXPECT_EQ(opened, std::vector<std::string>{about.site_address()});

  // Help: the group, the read-only text, and what the text must tell.
  TFmHelp& help = desk.app->help();
  EXPECT_EQ(window_text(help.item(IDC_HELP_GROUP)), "Краткое описание");
  HWND text = help.item(IDC_HELP_TEXT);
  EXPECT_TRUE(::GetWindowLongW(text, GWL_STYLE) & ES_READONLY);
  EXPECT_TRUE(::GetWindowLongW(text, GWL_STYLE) & WS_VSCROLL);
  const std::string shown = window_text(text);
  for (const char* must : {"Tarvik, версия 1.02", ".kzv", "имя.001.kzv", "имя.001.exe", "до 12 символов",
                           "Пароль без шифрования не защищает данные", "Шифровать данные (AES-256)",
                           "Создать KZV архив", "Распаковать в текущую папку",
                           "Распаковать в папку: <Имя папки>", "Установка меню проводника",
                           "Очистка меню проводника ", "Очистка регистрации", "Самораскрывающийся",
                           "Многотомный", "памяти", "других форматов", "удвоенный размер"})
    EXPECT_NE(shown.find(must), std::string::npos) << must;
}

// A failed check of the user's own Unpack shows its message, and the window stays as it was:
// the folder, the selection, the options; nothing written, no journal left.
TEST(MainWindow, UnpackOfAnArchiveThatFailsItsCheckReturnsToTheWindow) {
  NEED_DISPLAY();
  Desk desk;
  {
    requests::DirectDialog direct(desk.prompts);
    PackOptions options;
    options.archive_name = "тайный";
    options.password = "верный";
    options.program_folder = desk.program;
    ASSERT_EQ(requests::pack({desk.d, {"а.txt"}}, options, OperationCode::PackRequest, "", direct), Outcome::Done);
  }
  {
    std::string bytes = test::read_file(*fs::to_native(desk.in_d("тайный.kzv")));
    bytes[60] ^= 1;
    test::write_file(*fs::to_native(desk.in_d("битый.kzv")), bytes);
  }
  test::write_file(*fs::to_native(desk.in_d("текст.kzv")), "Это просто текст, а не архив.\r\n");
  struct Case {
    const char* archive;
    std::optional<std::string> answer;  // nullopt: nothing is asked
    std::string message;
  };
  const Case cases[] = {
      {"тайный.kzv", "неверный", std::string(msg::kWrongPassword)},
      {"битый.kzv", std::nullopt, std::string(msg::kChecksumError)},
      {"текст.kzv", std::nullopt, msg::not_an_archive(desk.in_d("текст.kzv"))},
  };
  desk.main().open_folder(desk.d);
  set_window_text(desk.main().edit1(), "мой");
  set_window_text(desk.main().control(IDC_MASKEDIT1), "пароль");
  ::SendMessageW(desk.main().control(IDC_CHECKBOX1), BM_SETCHECK, BST_CHECKED, 0);
  const auto before = snapshot(desk.dir.native() / "d");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.archive);
    desk.prompts = RecordingUi{};
    desk.select({c.archive});
    if (c.answer) desk.prompts.answers.push_back(*c.answer);
    desk.click(IDC_MAIN_BITBTN1);
    EXPECT_EQ(desk.prompts.questions.size(), c.answer ? 1u : 0u);
    EXPECT_EQ(desk.prompts.messages, std::vector<std::string>{c.message});
    ASSERT_TRUE(::IsWindow(desk.main().hwnd()));
    EXPECT_TRUE(::IsWindowVisible(desk.main().hwnd()));
    EXPECT_EQ(desk.main().folder(), desk.d);
    EXPECT_EQ(desk.main().selection().items, std::vector<std::string>{c.archive});
    EXPECT_EQ(desk.text(IDC_EDIT1), "мой");
    EXPECT_EQ(desk.text(IDC_MASKEDIT1), "пароль");
    EXPECT_EQ(::SendMessageW(desk.main().control(IDC_CHECKBOX1), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(snapshot(desk.dir.native() / "d"), before);
    EXPECT_FALSE(desk.journal_left());
    EXPECT_EQ(desk.main().status_text(), msg::kUnpackFailed);
  }
}

namespace {

// Sets the modified time of a file or folder to `day` days after 1 January 2020.
void set_modified(const std::string& path, int day) {
  HANDLE h = ::CreateFileW(codepage::widen(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  SYSTEMTIME t{2020, 1, 0, 1, 12, 0, 0, 0};
  FILETIME time;
  ::SystemTimeToFileTime(&t, &time);
  ULARGE_INTEGER v{{time.dwLowDateTime, time.dwHighDateTime}};
  v.QuadPart += static_cast<ULONGLONG>(day) * 24 * 3600 * 10000000ull;
  time = {v.LowPart, v.HighPart};
  EXPECT_TRUE(::SetFileTime(h, nullptr, nullptr, &time));
  ::CloseHandle(h);
}

}  // namespace

// A click on a column's header, as the header control takes it, sorts the file list by that
// column with the folders first; a second click reverses; the header shows the arrow on that
// column alone; the selection stays with its entries, the order with a refresh; the archive
// name is not touched.
TEST(MainWindow, HeaderClickSorts) {
  NEED_DISPLAY();
  Desk desk;
  TMain& main = desk.main();
  // а.txt 12 bytes, отчёт.txt 30, Б.txt 40000; modified in the order а.txt, отчёт.txt, Б.txt,
  // and the folder Фото before "sub dir".
  set_modified(desk.in_d("а.txt"), 1);
  set_modified(desk.in_d("отчёт.txt"), 2);
  set_modified(desk.in_d("Б.txt"), 3);
  set_modified(desk.in_d("Фото"), 1);
  set_modified(desk.in_d("sub dir"), 2);
  main.open_folder(desk.d);
  ASSERT_EQ(desk.names(), (std::vector<std::string>{"sub dir", "Фото", "а.txt", "Б.txt", "отчёт.txt"}));
  desk.select({"Б.txt"});
  main.set_archive_name("свой");
  HWND header = ListView_GetHeader(main.list());
  const auto click_header = [&](int column) {
    RECT r{};
    Header_GetItemRect(header, column, &r);
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    ::SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(header, WM_LBUTTONUP, 0, at);
  };
  struct Case {
    const char* what;
    int column;
    bool ascending;
    std::vector<std::string> order;
  };
  const Case cases[] = {
      {"name, down", 0, false, {"Фото", "sub dir", "отчёт.txt", "Б.txt", "а.txt"}},
      {"size, up", 1, true, {"sub dir", "Фото", "а.txt", "отчёт.txt", "Б.txt"}},
      {"size, down", 1, false, {"Фото", "sub dir", "Б.txt", "отчёт.txt", "а.txt"}},
      {"type, up", 2, true, {"sub dir", "Фото", "а.txt", "Б.txt", "отчёт.txt"}},
      {"modified, up", 3, true, {"Фото", "sub dir", "а.txt", "отчёт.txt", "Б.txt"}},
      {"modified, down", 3, false, {"sub dir", "Фото", "Б.txt", "отчёт.txt", "а.txt"}},
      {"name, up", 0, true, {"sub dir", "Фото", "а.txt", "Б.txt", "отчёт.txt"}},
      {"modified, up again", 3, true, {"Фото", "sub dir", "а.txt", "отчёт.txt", "Б.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    click_header(c.column);
    EXPECT_EQ(desk.names(), c.order);
    for (int i = 0; i < 4; ++i) {
      HDITEMW item{};
      item.mask = HDI_FORMAT;
      Header_GetItem(header, i, &item);
      const int arrow = item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
      EXPECT_EQ(arrow, i != c.column ? 0 : c.ascending ? HDF_SORTUP : HDF_SORTDOWN) << "column " << i;
    }
    EXPECT_EQ(main.selection().items, std::vector<std::string>{"Б.txt"});
    EXPECT_EQ(window_text(main.edit1()), "свой");
  }
  main.refresh();
  EXPECT_EQ(desk.names(), cases[std::size(cases) - 1].order);
  EXPECT_EQ(main.selection().items, std::vector<std::string>{"Б.txt"});
}

// The arrow keys (and Home, End) move the selection in the file list, and the row they reach
// proposes its name as a click does; Ctrl+A proposes nothing.
TEST(MainWindow, ArrowKeysProposeAName) {
  NEED_DISPLAY();
  Desk desk;
  TMain& main = desk.main();
  HWND list = main.list();
  main.open_folder(desk.d);
  ASSERT_EQ(desk.names(), (std::vector<std::string>{"sub dir", "Фото", "а.txt", "Б.txt", "отчёт.txt"}));
  desk.select({"sub dir"});
  ListView_SetItemState(list, 0, LVIS_FOCUSED, LVIS_FOCUSED);
  ::SetFocus(list);
  main.set_archive_name("свой");
  struct Case {
    const char* what;
    WPARAM key;
    const char* proposed;
  };
  const Case cases[] = {{"Down", VK_DOWN, "Фото"}, {"Down", VK_DOWN, "а"}, {"End", VK_END, "отчёт"},
                        {"Up", VK_UP, "Б"},        {"Home", VK_HOME, "sub dir"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ::SendMessageW(list, WM_KEYDOWN, c.key, 1);
    ::SendMessageW(list, WM_KEYUP, c.key, 1);
    EXPECT_EQ(window_text(main.edit1()), c.proposed);
    EXPECT_EQ(main.selection().items.size(), 1u);
  }
  main.set_archive_name("свой");
  BYTE keys[256] = {};
  ::GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  ::SetKeyboardState(keys);
  ::SendMessageW(list, WM_KEYDOWN, 'A', 0);
  keys[VK_CONTROL] = 0;
  ::SetKeyboardState(keys);
  EXPECT_EQ(ListView_GetSelectedCount(list), 5u);
  EXPECT_EQ(window_text(main.edit1()), "свой");
}
