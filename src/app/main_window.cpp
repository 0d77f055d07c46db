#include "app/main_window.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <set>

#include "app/bar.h"
#include "app/info_dialogs.h"
#include "app/resource.h"
#include "format/encryption.h"
#include "format/fields.h"
#include "format/messages.h"
#include "format/names.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/fs.h"
#include "requests/operations.h"
#include "requests/request_line.h"
#include "registration/registration.h"

namespace tarvik::app {

namespace {

// The layout, in pixels at 96 dots per inch.
constexpr int kClientWidth = 807;
constexpr int kClientHeight = 504;
constexpr int kMargin = 8;
constexpr int kLeftWidth = 552;         // the folder views and the buttons under them
constexpr int kButtonHeight = 26;
constexpr int kCommandHeight = 42;      // the command buttons ("Упаковать" has its glyph above)
constexpr int kRightLeft = 572;         // the options column
constexpr int kRightWidth = kClientWidth - kRightLeft - kMargin;
constexpr int kEditHeight = 22;
constexpr int kStatusPanels[] = {300, 200, 200};
constexpr UINT kEdit1Limit = 20;        // characters typed into the archive name
constexpr UINT kPasswordLimit = 12;
constexpr UINT kVolumeSizeLimit = 7;    // digits of the volume size in kilobytes

// The choice "Сжатие" and the level of each of its lines.
constexpr UINT kLevelCaptions[] = {IDS_MAIN_LEVEL_FAST, IDS_MAIN_LEVEL_NORMAL, IDS_MAIN_LEVEL_MAXIMAL};
constexpr int kLevels[] = {kFastLevel, kDefaultLevel, kMaximalLevel};
constexpr WPARAM kNormalChoice = 1;

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;

// A Windows attribute word that marks no entry the user packs: hidden, system, folder and
// archive together (a shell folder of the system).
constexpr DWORD kSystemFolderAttributes = 54;

bool checked(HWND box) { return ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// Characters no Windows file name can hold.
constexpr std::wstring_view kNotInNames = L"\\/:*?\"<>|";

}  // namespace

TMain::TMain() { create(L"TMain", kStyle, kExStyle, load_string(IDS_MAIN_CAPTION), nullptr); }

LRESULT TMain::handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      FormCreate();
      return 0;
    case WM_COMMAND:
      command(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_ACTIVATE:
      // The control that had the focus gets it back when the window is active again (after
      // a message box, a dialog, another program); the file list when there was none.
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = ::GetFocus();
        if (focus && ::IsChild(hwnd(), focus)) focus_ = focus;
      } else if (!::IsIconic(hwnd())) {
        focus_list_if_lost();
        ::SetFocus(focus_);
      }
      return 0;
    case WM_NOTIFY:
      return notify(*reinterpret_cast<const NMHDR*>(lparam));
    case WM_MEASUREITEM: {
      auto& item = *reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
      if (item.CtlType == ODT_COMBOBOX && item.CtlID == IDC_SHELLCOMBOBOX1) {
        box_.measure(item);
        return TRUE;
      }
      break;
    }
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (item.CtlType == ODT_COMBOBOX && item.CtlID == IDC_SHELLCOMBOBOX1) {
        box_.draw(item);
        return TRUE;
      }
      break;
    }
    case WM_DESTROY:
      if (font_) ::DeleteObject(font_);
      if (glyphs_) ::ImageList_Destroy(glyphs_);
      ::PostQuitMessage(0);
      return 0;
  }
  return Window::handle(message, wparam, lparam);
}

HWND TMain::create_control(const wchar_t* type, int id, UINT caption, DWORD style, int x, int y,
                           int w, int h, DWORD ex_style) {
  const auto s = [&](int v) { return ::MulDiv(v, dpi_, 96); };
  const std::wstring text = caption ? codepage::widen(load_string(caption)) : std::wstring();
  HWND control = ::CreateWindowExW(ex_style, type, text.c_str(), WS_CHILD | WS_VISIBLE | style, s(x),
                                   s(y), s(w), s(h), hwnd(),
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   ::GetModuleHandleW(nullptr), nullptr);
  ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  return control;
}

void TMain::FormCreate() {
  HDC dc = ::GetDC(hwnd());
  dpi_ = dc ? ::GetDeviceCaps(dc, LOGPIXELSX) : 96;
  if (dc) ::ReleaseDC(hwnd(), dc);
  const auto s = [&](int v) { return ::MulDiv(v, dpi_, 96); };
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
    font_ = ::CreateFontIndirectW(&metrics.lfMessageFont);
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  ::SetMenu(hwnd(), ::LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MAINMENU1)));

  // The size and place: 807 x 504 of client area, centred on the screen.
  RECT frame{0, 0, s(kClientWidth), s(kClientHeight)};
  ::AdjustWindowRectEx(&frame, kStyle, TRUE, kExStyle);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  ::SetWindowPos(hwnd(), nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  // The menu may take more than one line on a narrow frame: the client area decides.
  RECT client;
  ::GetClientRect(hwnd(), &client);
  if (client.bottom != s(kClientHeight)) {
    ::SetWindowPos(hwnd(), nullptr, 0, 0, width, height + s(kClientHeight) - client.bottom,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  }

  // The status bar first: the rows above it end where it begins.
  HWND status = ::CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, hwnd(),
                                  reinterpret_cast<HMENU>(IDC_STATUSBAR1), instance, nullptr);
  ::SendMessageW(status, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  int edges[3], right = 0;
  for (int i = 0; i < 3; ++i) edges[i] = right += s(kStatusPanels[i]);
  edges[2] = -1;  // the last panel runs to the edge
  ::SendMessageW(status, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(edges));
  RECT status_rect;
  ::GetWindowRect(status, &status_rect);
  const int status_height = ::MulDiv(status_rect.bottom - status_rect.top, 96, dpi_);
  const int bottom = kClientHeight - status_height - kMargin;  // of the buttons and the options
  const int commands_top = bottom - kCommandHeight;

  // Left: Back and the folder box, the file list, the command buttons.
  create_control(WC_BUTTONW, IDC_MAIN_BITBTN2, IDS_MAIN_BITBTN2, WS_TABSTOP | BS_PUSHBUTTON, kMargin,
                 kMargin, 80, kButtonHeight);
  const int box_left = kMargin + 80 + kMargin;
  box_.create(hwnd(), IDC_SHELLCOMBOBOX1,
              RECT{s(box_left), s(kMargin), s(kMargin + kLeftWidth), s(kMargin + kButtonHeight)},
              font_, dpi_);
  // The box's own height follows its rows: centred on the Back button.
  RECT box_rect;
  ::GetWindowRect(box_.hwnd(), &box_rect);
  ::SetWindowPos(box_.hwnd(), nullptr, s(box_left),
                 s(kMargin) + (s(kButtonHeight) - (box_rect.bottom - box_rect.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  const int list_top = kMargin + kButtonHeight + kMargin;
  list_.create(hwnd(), IDC_SHELLLISTVIEW1,
               RECT{s(kMargin), s(list_top), s(kMargin + kLeftWidth), s(commands_top - kMargin)}, font_,
               dpi_);
  const int command_ids[][2] = {{IDC_MAIN_BITBTN5, IDS_MAIN_BITBTN5}, {IDC_MAIN_BITBTN1, IDS_MAIN_BITBTN1},
                                {IDC_MAIN_BITBTN4, IDS_MAIN_BITBTN4}, {IDC_MAIN_BITBTN3, IDS_MAIN_BITBTN3},
                                {IDC_MAIN_BITBTN6, IDS_MAIN_BITBTN6}};
  const int command_width = (kLeftWidth - 4 * kMargin) / 5;
  int x = kMargin;
  for (const auto& c : command_ids) {
    create_control(WC_BUTTONW, c[0], static_cast<UINT>(c[1]), WS_TABSTOP | BS_PUSHBUTTON, x, commands_top,
                   command_width, kCommandHeight);
    x += command_width + kMargin;
  }
  // "Упаковать" carries the program's icon above its caption.
  const int glyph = ::GetSystemMetrics(SM_CXSMICON);
  glyphs_ = ::ImageList_Create(glyph, glyph, ILC_COLOR32 | ILC_MASK, 1, 0);
  if (HICON icon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_TARVIK), IMAGE_ICON,
                                                   glyph, glyph, 0))) {
    ::ImageList_AddIcon(glyphs_, icon);
    ::DestroyIcon(icon);
    BUTTON_IMAGELIST images{glyphs_, {0, 2, 0, 0}, BUTTON_IMAGELIST_ALIGN_TOP};
    ::SendMessageW(control(IDC_MAIN_BITBTN5), BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&images));
  }

  // Right: the packing options, framed by "Опции упаковки" as far as they reach. Group boxes
  // come before what they frame.
  const int inner_left = kRightLeft + 10, inner_width = kRightWidth - 20;
  const int field_left = inner_left + 10, field_width = inner_width - 20;
  constexpr int kGroupHeight = 56, kGap = 12, kVolumeGroupHeight = 104;
  HWND options = create_control(WC_BUTTONW, IDC_GROUPBOX1, IDS_MAIN_GROUPBOX1, BS_GROUPBOX, kRightLeft,
                                kMargin - 4, kRightWidth, 0);
  int y = kMargin + 20;
  create_control(WC_BUTTONW, IDC_EDIT1_GROUP, IDS_MAIN_EDIT1_GROUP, BS_GROUPBOX, inner_left, y, inner_width,
                 kGroupHeight);
  create_control(WC_EDITW, IDC_EDIT1, 0, WS_TABSTOP | ES_AUTOHSCROLL, field_left, y + 22, field_width,
                 kEditHeight, WS_EX_CLIENTEDGE);
  set_window_text(control(IDC_EDIT1), "arhiv");
  ::SendMessageW(control(IDC_EDIT1), EM_LIMITTEXT, kEdit1Limit, 0);
  y += kGroupHeight + kGap;
  create_control(WC_BUTTONW, IDC_CHECKBOX1, IDS_MAIN_CHECKBOX1, WS_TABSTOP | BS_AUTOCHECKBOX, field_left, y,
                 field_width, 20);
  y += 20 + kGap;
  // The password, masked; under it the choice to encrypt the data with it, which only a typed
  // password enables, and then the password typed again.
  constexpr int kPasswordGroupHeight = 108, kRepeatLabelWidth = 62;
  create_control(WC_BUTTONW, IDC_MASKEDIT1_GROUP, IDS_MAIN_MASKEDIT1_GROUP, BS_GROUPBOX, inner_left, y,
                 inner_width, kPasswordGroupHeight);
  create_control(WC_EDITW, IDC_MASKEDIT1, 0, WS_TABSTOP | ES_AUTOHSCROLL | ES_PASSWORD, field_left, y + 22,
                 field_width, kEditHeight, WS_EX_CLIENTEDGE);
  ::SendMessageW(control(IDC_MASKEDIT1), EM_LIMITTEXT, kPasswordLimit, 0);
  // The box's caption is the longest of the column: it takes the group's whole inside.
  create_control(WC_BUTTONW, IDC_MAIN_ENCRYPT, IDS_MAIN_ENCRYPT, WS_TABSTOP | BS_AUTOCHECKBOX | WS_DISABLED,
                 inner_left + 4, y + 50, inner_width - 6, 20);
  create_control(WC_STATICW, IDC_MAIN_PASSWORD_REPEAT_LABEL, IDS_MAIN_PASSWORD_REPEAT, SS_NOPREFIX | WS_DISABLED,
                 field_left, y + 79, kRepeatLabelWidth, 16);
  create_control(WC_EDITW, IDC_MAIN_PASSWORD_REPEAT, 0, WS_TABSTOP | ES_AUTOHSCROLL | ES_PASSWORD | WS_DISABLED,
                 field_left + kRepeatLabelWidth, y + 76, field_width - kRepeatLabelWidth, kEditHeight,
                 WS_EX_CLIENTEDGE);
  ::SendMessageW(control(IDC_MAIN_PASSWORD_REPEAT), EM_LIMITTEXT, format::kMaxEncryptionPasswordChars, 0);
  y += kPasswordGroupHeight + kGap;
  create_control(WC_BUTTONW, IDC_CHECKBOX2_GROUP, IDS_MAIN_CHECKBOX2_GROUP, BS_GROUPBOX, inner_left, y,
                 inner_width, kVolumeGroupHeight);
  create_control(WC_BUTTONW, IDC_CHECKBOX2, IDS_MAIN_CHECKBOX2, WS_TABSTOP | BS_AUTOCHECKBOX, field_left,
                 y + 20, field_width, 20);
  create_control(WC_STATICW, IDC_MAIN_LABEL2, IDS_MAIN_LABEL2, SS_NOPREFIX, field_left, y + 48, field_width, 16);
  create_control(WC_EDITW, IDC_MASKEDIT2, 0, WS_TABSTOP | ES_NUMBER | WS_DISABLED, field_left, y + 66, 90,
                 kEditHeight, WS_EX_CLIENTEDGE);
  ::SendMessageW(control(IDC_MASKEDIT2), EM_LIMITTEXT, kVolumeSizeLimit, 0);
  y += kVolumeGroupHeight + kGap;
  create_control(WC_BUTTONW, IDC_MAIN_LEVEL_GROUP, IDS_MAIN_LEVEL_GROUP, BS_GROUPBOX, inner_left, y,
                 inner_width, kGroupHeight);
  HWND level = create_control(WC_COMBOBOXW, IDC_MAIN_LEVEL, 0, WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                              field_left, y + 22, field_width, kEditHeight + 100);
  for (UINT caption : kLevelCaptions)
    ::SendMessageW(level, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(codepage::widen(load_string(caption)).c_str()));
  ::SendMessageW(level, CB_SETCURSEL, kNormalChoice, 0);
  y += kGroupHeight + kGap;
  ::SetWindowPos(options, nullptr, 0, 0, s(kRightWidth), s(y - (kMargin - 4)), SWP_NOMOVE | SWP_NOZORDER);

  open_my_computer();
}

void TMain::command(int id, int code) {
  switch (id) {
    case IDC_MAIN_BITBTN5: if (code == BN_CLICKED) BitBtn5Click(); return;
    case IDC_MAIN_BITBTN1: if (code == BN_CLICKED) BitBtn1Click(); return;
    case IDC_MAIN_BITBTN4: if (code == BN_CLICKED) BitBtn4Click(); return;
    case IDC_MAIN_BITBTN3: if (code == BN_CLICKED) BitBtn3Click(); return;
    case IDC_MAIN_BITBTN6: if (code == BN_CLICKED) BitBtn6Click(); return;
    case IDC_MAIN_BITBTN2: if (code == BN_CLICKED) BitBtn2Click(); return;
    case IDC_CHECKBOX2: if (code == BN_CLICKED) CheckBox2Click(); return;
    case IDC_MASKEDIT1: if (code == EN_CHANGE) encryption_choice_changed(); return;
    case IDC_MAIN_ENCRYPT: if (code == BN_CLICKED) encryption_choice_changed(); return;
    case IDC_SHELLCOMBOBOX1: if (code == CBN_SELENDOK) ShellComboBox1Change(); return;
    case IDM_N1: N1Click(); return;
    case IDM_N7: N7Click(); return;
    case IDM_N5: N5Click(); return;
    case IDM_N6: N6Click(); return;
    case IDM_N8: N8Click(); return;
    case IDM_N2: N2Click(); return;
    case IDOK:
      // Enter, which the window's dialog keys turn into IDOK: in the file list it opens the
      // focused folder, as a double-click does.
      if (::GetFocus() == list()) ShellListView1DblClick(ListView_GetNextItem(list(), -1, LVNI_FOCUSED));
      return;
  }
}

LRESULT TMain::notify(const NMHDR& header) {
  if (header.idFrom != IDC_SHELLLISTVIEW1) return 0;
  LRESULT result = 0;
  if (list_.notify(header, result)) return result;
  switch (header.code) {
    case NM_CLICK:
      ShellListView1Click();
      return 0;
    case LVN_ITEMCHANGED: {
      // The arrow keys (and Home, End, Page Up and Down) move the focus to a row and select
      // it: that row proposes its name as a click does. Rows selected by the program (Ctrl+A,
      // a request, a refresh) do not take the focus, and propose nothing.
      const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
      if (change.iItem >= 0 && !list_.rearranging() && (change.uChanged & LVIF_STATE) && (change.uNewState & LVIS_FOCUSED) &&
          (change.uNewState & LVIS_SELECTED) && !((change.uOldState & LVIS_FOCUSED) && (change.uOldState & LVIS_SELECTED)))
        propose_name(static_cast<std::size_t>(change.iItem));
      return 0;
    }
    case LVN_ITEMACTIVATE:
      ShellListView1DblClick(reinterpret_cast<const NMITEMACTIVATE&>(header).iItem);
      return 0;
    case LVN_BEGINLABELEDITW: {
      // Drives keep their names.
      const int index = reinterpret_cast<const NMLVDISPINFOW&>(header).item.iItem;
      return index < 0 || static_cast<std::size_t>(index) >= entries().size() ||
             entries()[static_cast<std::size_t>(index)].is_drive;
    }
    case LVN_ENDLABELEDITW: {
      const auto& item = reinterpret_cast<const NMLVDISPINFOW&>(header).item;
      return ShellListView1Edited(item.iItem, item.pszText);
    }
    case LVN_KEYDOWN: {
      const WORD key = reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey;
      if (key == VK_F2) {
        const int focused = ListView_GetNextItem(list(), -1, LVNI_FOCUSED);
        if (focused >= 0) ListView_EditLabel(list(), focused);
      } else if (key == VK_F5) {
        BitBtn3Click();
      } else if (key == VK_BACK) {
        BitBtn2Click();
      } else if (key == 'A' && ::GetKeyState(VK_CONTROL) < 0) {
        ListView_SetItemState(list(), -1, LVIS_SELECTED, LVIS_SELECTED);  // Ctrl+A: all
      }
      return 0;
    }
  }
  return 0;
}

// ---- the MainWindow seam ----

void TMain::show() {
  ::ShowWindow(hwnd(), SW_SHOW);
  ::SetForegroundWindow(hwnd());
  focus_list();
}

void TMain::focus_list() {
  focus_ = list();
  ::SetFocus(list());
}

void TMain::focus_list_if_lost() {
  if (!focus_ || !::IsWindow(focus_) || !::IsChild(hwnd(), focus_) || !::IsWindowEnabled(focus_))
    focus_ = list();
}

void TMain::open_folder(const std::string& folder) {
  std::vector<ShellEntry> entries = read_folder(folder);
  fs::set_current_directory(folder);
  folder_ = folder;
  box_.show(folder_);
  list_.show(std::move(entries));
}

void TMain::open_my_computer() {
  folder_ = kMyComputer;
  box_.show(folder_);
  list_.show(read_drives());
}

std::vector<std::string> TMain::entry_names() {
  std::vector<std::string> names;
  for (const auto& e : entries()) names.push_back(e.name);
  return names;
}

void TMain::select(std::size_t index) { list_.select(index); }

void TMain::set_archive_name(const std::string& name) { set_window_text(edit1(), name); }

Selection TMain::selection() {
  Selection s{folder_, {}};
  for (std::size_t i : list_.selected()) s.items.push_back(entries()[i].name);
  return s;
}

PackOptions TMain::pack_options() {
  PackOptions options;
  options.archive_name = window_text(edit1());
  options.self_extracting = checked(control(IDC_CHECKBOX1));
  options.password = window_text(control(IDC_MASKEDIT1));
  options.encrypt = encrypting();
  if (options.encrypt) options.password_repeat = window_text(control(IDC_MAIN_PASSWORD_REPEAT));
  options.multi_volume = checked(control(IDC_CHECKBOX2));
  options.volume_size_kb = window_text(control(IDC_MASKEDIT2));
  const LRESULT choice = ::SendMessageW(control(IDC_MAIN_LEVEL), CB_GETCURSEL, 0, 0);
  options.level = choice >= 0 && choice < static_cast<LRESULT>(std::size(kLevels)) ? kLevels[choice]
                                                                                 : kDefaultLevel;
  options.program_folder = parts_.program_folder;
  return options;
}

void TMain::browse(const std::string& archive) { show_in_browser(archive, TViewArhiv::Opened::ByRequest); }

void TMain::show_in_browser(const std::string& archive, TViewArhiv::Opened how) {
  if (!view_) {
    show_message(load_string(IDS_MAIN_NO_BROWSER));
    return;
  }
  // The browser's extractions cannot be aborted: the progress dialog shows no Abort button
  // while the browser is open.
  HWND abort = parts_.bar ? parts_.bar->item(IDC_BITBTN1) : nullptr;
  if (abort) ::ShowWindow(abort, SW_HIDE);
  try {
    view_->show_archive(archive, how);
  } catch (...) {
    if (abort) ::ShowWindow(abort, SW_SHOW);
    throw;
  }
  if (abort) ::ShowWindow(abort, SW_SHOW);
}

// ---- commands ----

void TMain::BitBtn5Click() {
  if (!parts_.bar) return;
  Selection s = selection();
  // At My Computer the packing driver refuses the selection at once ("Зайдите на диск...");
  // the drives are not walked for the progress maximum first.
  if (folder_.find('\\') == std::string::npos) s.items.clear();
  parts_.bar->preset_caption(load_string(IDS_MAIN_PACKING));
  const PackOptions options = pack_options();
  const Outcome outcome = requests::pack(s, options, OperationCode::PackFromWindow, volume_file_name_, *parts_.bar);
  say_packed(outcome, options);
  refresh();
  focus_list();
}

void TMain::BitBtn1Click() {
  if (!parts_.bar || !parts_.ui) return;
  const auto index = chosen_archive();
  if (!index) return focus_list();
  const ShellEntry& entry = entries()[*index];
  volume_file_name_ = entry.name;
  requests::UnpackJob job;
  job.archive = entry.path;
  job.target_folder = folder_;
  job.target = requests::Target::Existing;
  job.code = OperationCode::UnpackFromWindow;
  job.program_folder = parts_.program_folder;
  parts_.bar->preset_caption(load_string(IDS_MAIN_UNPACKING));
  // A failed check (a damaged archive, a refused password) has shown its message: the window
  // stays as it was, folder, selection and options.
  say_unpacked(requests::unpack(job, *parts_.bar, *parts_.ui), job.archive);
  refresh();
  focus_list();
}

void TMain::BitBtn4Click() {
  const auto index = chosen_archive();
  if (index) browse_entry(*index);
  focus_list();
}

void TMain::browse_entry(std::size_t index) {
  const ShellEntry& entry = entries()[index];
  volume_file_name_ = entry.name;
  show_in_browser(entry.path, TViewArhiv::Opened::ByUser);
}

void TMain::BitBtn3Click() {
  refresh();
  focus_list();
}

void TMain::BitBtn6Click() { ::DestroyWindow(hwnd()); }

void TMain::N2Click() { ::DestroyWindow(hwnd()); }

void TMain::BitBtn2Click() {
  if (folder_.find('\\') == std::string::npos) return;  // My Computer: nothing above it
  const std::string from = folder_;
  if (!go_to(parent_folder(folder_))) return;
  // The folder we came from keeps the focus rectangle, as in the Explorer.
  const std::string came_from =
      is_drive_root(from) ? from : std::string(format::file_name_part(from));
  if (const auto index = list_.find(came_from)) list_.focus(*index);
}

void TMain::CheckBox2Click() {
  set_window_text(control(IDC_MASKEDIT2), "");
  ::EnableWindow(control(IDC_MASKEDIT2), checked(control(IDC_CHECKBOX2)));
}

bool TMain::encrypting() {
  HWND encrypt = control(IDC_MAIN_ENCRYPT);
  return ::IsWindowEnabled(encrypt) && checked(encrypt);
}

void TMain::encryption_choice_changed() {
  ::EnableWindow(control(IDC_MAIN_ENCRYPT),
                 !format::trim(window_text(control(IDC_MASKEDIT1))).empty());
  const bool encrypt = encrypting();
  // An encryption password may be longer; a longer one left when encryption is turned off is
  // refused by the packing with its message.
  ::SendMessageW(control(IDC_MASKEDIT1), EM_LIMITTEXT,
                 encrypt ? format::kMaxEncryptionPasswordChars : kPasswordLimit, 0);
  ::EnableWindow(control(IDC_MAIN_PASSWORD_REPEAT_LABEL), encrypt);
  ::EnableWindow(control(IDC_MAIN_PASSWORD_REPEAT), encrypt);
}

void TMain::ShellComboBox1Change() {
  if (const auto path = box_.chosen(); path && *path != folder_) go_to(*path);
}

void TMain::ShellListView1Click() {
  if (const auto index = list_.first_selected()) propose_name(*index);
}

void TMain::propose_name(std::size_t index) {
  if (index >= entries().size()) return;
  const ShellEntry& entry = entries()[index];
  if (entry.is_drive) return;  // "C:" names no archive
  const DWORD attributes = ::GetFileAttributesW(codepage::widen_path(entry.path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || attributes == kSystemFolderAttributes) return;
  set_archive_name(requests::name_without_extension(codepage::narrow(entry.label)));
}

void TMain::ShellListView1DblClick(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= entries().size()) return;
  const ShellEntry& entry = entries()[static_cast<std::size_t>(index)];
  if (entry.is_directory) {
    go_to(entry.path);
  } else if (requests::is_archive_item(entry.path)) {
    // An archive opens in the browser, as "Обзор архива" does.
    browse_entry(static_cast<std::size_t>(index));
    focus_list();
  }
}

bool TMain::ShellListView1Edited(int index, const wchar_t* new_name) {
  if (!new_name || index < 0 || static_cast<std::size_t>(index) >= entries().size()) return false;
  ShellEntry& entry = list_.entry(static_cast<std::size_t>(index));
  const std::wstring wide(new_name);
  if (wide == entry.label) return false;
  const std::string name = codepage::narrow(wide);
  const std::string target = format::join_path(folder_, name);
  std::wstring trimmed = wide;
  while (!trimmed.empty() && (trimmed.back() == L' ' || trimmed.back() == L'.')) trimmed.pop_back();
  if (trimmed.empty() || trimmed.size() != wide.size() || wide.find_first_of(kNotInNames) != std::wstring::npos) {
    show_message(msg::cannot_rename(entry.path, name, load_string(IDS_MAIN_NOT_A_NAME)));
    return false;
  }
  if (!::MoveFileW(codepage::widen_path(entry.path).c_str(), codepage::widen_path(target).c_str())) {
    show_message(msg::cannot_rename(entry.path, name, describe_os_error(static_cast<int>(::GetLastError()))));
    return false;
  }
  entry.label = wide;
  entry.name = name;
  entry.path = target;
  entry.icon = -1;  // the type and icon follow the new extension
  return true;
}

void TMain::N1Click() {
  if (parts_.about) parts_.about->show_modal(hwnd());
}

void TMain::N7Click() {
  if (parts_.help) parts_.help->show_modal(hwnd());
}

void TMain::N5Click() {
  if (parts_.registry && parts_.ui)
    shell::install_explorer_menu(*parts_.registry, *parts_.ui, parts_.own_executable);
}

void TMain::N6Click() {
  if (parts_.registry && parts_.ui) shell::clear_explorer_menu(*parts_.registry, *parts_.ui);
}

void TMain::N8Click() {
  if (parts_.registry && parts_.ui) shell::clear_registration(*parts_.registry, *parts_.ui);
}

// ---- helpers ----

void TMain::refresh() {
  std::set<std::string> selected;
  for (std::size_t i : list_.selected()) selected.insert(entries()[i].name);
  const int top = ListView_GetTopIndex(list());
  if (folder_.find('\\') == std::string::npos) {
    open_my_computer();
  } else if (!go_to(folder_)) {
    return;
  }
  for (std::size_t i = 0; i < entries().size(); ++i)
    if (selected.count(entries()[i].name)) list_.select(i);
  // Back to the rows that were on screen.
  if (top > 0 && !entries().empty()) {
    const int last = static_cast<int>(entries().size()) - 1;
    ListView_EnsureVisible(list(), std::min(last, top + ListView_GetCountPerPage(list()) - 1), FALSE);
  }
}

bool TMain::go_to(const std::string& folder) {
  if (folder.find('\\') == std::string::npos) {
    open_my_computer();
    return true;
  }
  try {
    open_folder(folder);
    return true;
  } catch (const OsError& e) {
    show_message(msg::cannot_open(e.path(), e.reason()));
  }
  box_.show(folder_);  // the box goes back to the folder still shown
  return false;
}

std::optional<std::size_t> TMain::chosen_archive() {
  const auto index = list_.first_selected();
  if (!index || entries()[*index].is_directory) {
    show_message(msg::kNoArchiveChosen);
    return std::nullopt;
  }
  return index;
}

void TMain::say(std::string_view text) {
  HWND status = control(IDC_STATUSBAR1);
  // One panel over the whole width: the word is longer than the first of the three.
  int whole = -1;
  ::SendMessageW(status, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&whole));
  ::SendMessageW(status, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(codepage::widen(text).c_str()));
}

std::string TMain::status_text() const {
  HWND status = control(IDC_STATUSBAR1);
  const LRESULT length = ::SendMessageW(status, SB_GETTEXTLENGTHW, 0, 0);
  std::wstring text(LOWORD(length) + 1, L'\0');
  ::SendMessageW(status, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text.data()));
  text.resize(LOWORD(length));
  return codepage::narrow(text);
}

void TMain::say_packed(Outcome outcome, const PackOptions& options) {
  if (outcome == Outcome::Aborted) return say(msg::kRunAbortedUndone);
  if (outcome != Outcome::Done) return say(msg::kPackFailed);
  const std::string first = format::volume_file_name(folder_, options.archive_name,
                                                     {options.multi_volume, options.self_extracting}, 1);
  const auto summary = requests::summarize(first);
  say(msg::archive_made(format::file_name_part(first), summary ? summary->files : 0,
                        summary ? summary->bytes : 0));
}

void TMain::say_unpacked(Outcome outcome, const std::string& archive) {
  if (outcome == Outcome::Aborted) return say(msg::kRunAbortedUndone);
  if (outcome != Outcome::Done) return say(msg::kUnpackFailed);
  const auto summary = requests::summarize(archive);
  say(msg::files_unpacked(summary ? summary->files : 0, folder_));
}

void TMain::show_message(std::string_view text) {
  if (parts_.ui) parts_.ui->show_message(text);
}

}  // namespace tarvik::app
