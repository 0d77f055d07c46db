#include "app/main_window.h"

#include <commctrl.h>

#include <algorithm>

#include "app/resource.h"
#include "format/names.h"
#include "platform/codepage.h"

namespace tarvik::app {

namespace {
constexpr int kMargin = 8;
constexpr int kRowHeight = 24;
constexpr int kLabelWidth = 90;

std::wstring lower(const std::string& utf8) {
  std::wstring w = codepage::widen(utf8);
  ::CharLowerBuffW(w.data(), static_cast<DWORD>(w.size()));
  return w;
}
}  // namespace

TMain::TMain() {
  create(L"TMain", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, WS_EX_APPWINDOW,
         load_string(IDS_MAIN_CAPTION), nullptr);
}

LRESULT TMain::handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      FormCreate();
      return 0;
    case WM_SIZE:
      FormResize();
      return 0;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDC_SHELLCOMBOBOX1 &&
          (HIWORD(wparam) == CBN_SELENDOK))
        ShellComboBox1Change();
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header->idFrom == IDC_SHELLLISTVIEW1 && header->code == LVN_ITEMACTIVATE)
        ShellListView1DblClick(reinterpret_cast<const NMITEMACTIVATE*>(lparam)->iItem);
      return 0;
    }
    case WM_DESTROY:
      if (font_) ::DeleteObject(font_);
      ::PostQuitMessage(0);
      return 0;
  }
  return Window::handle(message, wparam, lparam);
}

void TMain::FormCreate() {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
    font_ = ::CreateFontIndirectW(&metrics.lfMessageFont);
  combo_ = ::CreateWindowExW(0, WC_COMBOBOXW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL,
                             0, 0, 0, 300, hwnd(), reinterpret_cast<HMENU>(IDC_SHELLCOMBOBOX1), instance, nullptr);
  list_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS,
                            0, 0, 0, 0, hwnd(), reinterpret_cast<HMENU>(IDC_SHELLLISTVIEW1), instance, nullptr);
  edit1_label_ = ::CreateWindowExW(0, WC_STATICW, codepage::widen(load_string(IDS_ARCHIVE_NAME)).c_str(),
                                   WS_CHILD | WS_VISIBLE | SS_CENTERIMAGE, 0, 0, 0, 0, hwnd(),
                                   reinterpret_cast<HMENU>(IDC_EDIT1_LABEL), instance, nullptr);
  edit1_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_EDITW, L"arhiv", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                             0, 0, 0, 0, hwnd(), reinterpret_cast<HMENU>(IDC_EDIT1), instance, nullptr);
  for (HWND control : {combo_, list_, edit1_label_, edit1_})
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT);
  const std::pair<UINT, int> columns[] = {{IDS_COLUMN_NAME, 260}, {IDS_COLUMN_SIZE, 100}};
  for (int i = 0; i < 2; ++i) {
    std::wstring title = codepage::widen(load_string(columns[i].first));
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = i == 1 ? LVCFMT_RIGHT : LVCFMT_LEFT;
    column.cx = columns[i].second;
    column.pszText = title.data();
    ListView_InsertColumn(list_, i, &column);
  }
  ::SetWindowPos(hwnd(), nullptr, 0, 0, 640, 480, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  fill_drives();
}

void TMain::FormResize() {
  RECT r;
  ::GetClientRect(hwnd(), &r);
  const int width = r.right - kMargin * 2;
  ::MoveWindow(combo_, kMargin, kMargin, width, 300, TRUE);
  const int list_top = kMargin * 2 + kRowHeight;
  const int bottom_row = r.bottom - kMargin - kRowHeight;
  ::MoveWindow(list_, kMargin, list_top, width, std::max(0, bottom_row - kMargin - list_top), TRUE);
  ::MoveWindow(edit1_label_, kMargin, bottom_row, kLabelWidth, kRowHeight, TRUE);
  ::MoveWindow(edit1_, kMargin + kLabelWidth, bottom_row, std::max(0, width - kLabelWidth), kRowHeight, TRUE);
}

void TMain::fill_drives() {
  wchar_t drives[512];
  const DWORD n = ::GetLogicalDriveStringsW(511, drives);
  for (const wchar_t* d = drives; n > 0 && n < 512 && *d; d += wcslen(d) + 1)
    ::SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(d));
}

void TMain::show() {
  ::ShowWindow(hwnd(), SW_SHOW);
  ::SetForegroundWindow(hwnd());
}

void TMain::open_folder(const std::string& folder) {
  std::vector<fs::DirEntry> entries = fs::list_directory(folder);
  std::stable_sort(entries.begin(), entries.end(), [](const fs::DirEntry& a, const fs::DirEntry& b) {
    if (a.is_directory != b.is_directory) return a.is_directory;
    return lower(a.name) < lower(b.name);
  });
  fs::set_current_directory(folder);
  folder_ = folder;
  entries_ = std::move(entries);
  set_window_text(combo_, folder_);
  ListView_DeleteAllItems(list_);
  const std::string folder_word = load_string(IDS_FOLDER);
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    std::wstring name = codepage::widen(entries_[i].name);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(i);
    item.pszText = name.data();
    ListView_InsertItem(list_, &item);
    std::wstring size = codepage::widen(entries_[i].is_directory ? folder_word
                                                                 : std::to_string(entries_[i].size));
    ListView_SetItemText(list_, static_cast<int>(i), 1, size.data());
  }
}

std::vector<std::string> TMain::entry_names() {
  std::vector<std::string> names;
  for (const auto& e : entries_) names.push_back(e.name);
  return names;
}

void TMain::select(std::size_t index) {
  ListView_SetItemState(list_, static_cast<int>(index), LVIS_SELECTED, LVIS_SELECTED);
}

void TMain::set_archive_name(const std::string& name) { set_window_text(edit1_, name); }

Selection TMain::selection() {
  Selection s{folder_, {}};
  for (int i = ListView_GetNextItem(list_, -1, LVNI_SELECTED); i >= 0;
       i = ListView_GetNextItem(list_, i, LVNI_SELECTED))
    if (static_cast<std::size_t>(i) < entries_.size()) s.items.push_back(entries_[static_cast<std::size_t>(i)].name);
  return s;
}

PackOptions TMain::pack_options() {
  PackOptions options;
  options.archive_name = window_text(edit1_);
  return options;
}

void TMain::browse(const std::string& archive) {
  // The archive stays selected in the file list of the shown window.
  if (view_) view_->show_archive(archive);
}

void TMain::ShellComboBox1Change() {
  const LRESULT index = ::SendMessageW(combo_, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return;
  std::wstring text(static_cast<std::size_t>(::SendMessageW(combo_, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0)) + 1, L'\0');
  ::SendMessageW(combo_, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(wcslen(text.c_str()));
  open_folder(codepage::narrow(text));
}

void TMain::ShellListView1DblClick(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= entries_.size()) return;
  if (!entries_[static_cast<std::size_t>(index)].is_directory) return;
  open_folder(format::join_path(folder_, entries_[static_cast<std::size_t>(index)].name));
}

}  // namespace tarvik::app
