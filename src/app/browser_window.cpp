#include "app/browser_window.h"

#include <algorithm>
#include <array>

#include "app/bar.h"
#include "app/resource.h"
#include "format/messages.h"
#include "format/names.h"
#include "platform/codepage.h"
#include "platform/fs.h"
#include "requests/operations.h"

namespace tarvik::app {

namespace {
constexpr int kClientWidth = 640;  // pixels at 96 dots per inch
constexpr int kClientHeight = 486;
constexpr int kMargin = 8;
constexpr int kLabelWidth = 84;
constexpr int kRowHeight = 22;
constexpr int kButtonWidth = 100;
constexpr int kButtonHeight = 26;
constexpr int kPanelHeight = 40;
constexpr int kNameColumnWidth = 200;
constexpr int kColumnWidth = 100;
constexpr int kImageSize = 16;
constexpr int kFolderImage = 0;  // ImageList1: the row's image says whether it is a folder
constexpr int kFileImage = 1;
constexpr BYTE kTransparent = 0;
constexpr BYTE kOpaque = 255;

// The two images of ImageList1, 16 x 16, drawn from these maps ('.' is transparent).
struct Ink {
  char key;
  COLORREF colour;
};
constexpr std::array<Ink, 8> kInks{{
    {'K', RGB(120, 88, 16)},    // folder outline
    {'L', RGB(255, 236, 160)},  // folder light edge
    {'Y', RGB(250, 200, 70)},   // folder
    {'D', RGB(214, 158, 40)},   // folder shade
    {'k', RGB(96, 104, 120)},   // sheet outline
    {'W', RGB(255, 255, 255)},  // sheet
    {'G', RGB(208, 212, 220)},  // folded corner
    {'B', RGB(110, 140, 190)},  // lines of text
}};
constexpr std::array<const char*, kImageSize> kFolderMap{{
    "................",
    "................",
    ".KKKKKK.........",
    "KLLLLLLK........",
    "KLYYYYYLKKKKKKK.",
    "KLYYYYYYYYYYYYYK",
    "KLYYYYYYYYYYYYYK",
    "KLYYYYYYYYYYYYYK",
    "KLYYYYYYYYYYYYYK",
    "KLYYYYYYYYYYYYYK",
    "KLYYYYYYYYYYYYYK",
    "KLYYYYYYYYYYYYYK",
    "KDDDDDDDDDDDDDDK",
    "KKKKKKKKKKKKKKKK",
    "................",
    "................",
}};
constexpr std::array<const char*, kImageSize> kFileMap{{
    "..kkkkkkkk......",
    "..kWWWWWWkk.....",
    "..kWWWWWWkGk....",
    "..kWWWWWWkGGk...",
    "..kWWWWWWkkkkk..",
    "..kWWWWWWWWWWk..",
    "..kWBBBBBBBBWk..",
    "..kWWWWWWWWWWk..",
    "..kWBBBBBBBWWk..",
    "..kWWWWWWWWWWk..",
    "..kWBBBBBBBBWk..",
    "..kWWWWWWWWWWk..",
    "..kWBBBBBWWWWk..",
    "..kWWWWWWWWWWk..",
    "..kkkkkkkkkkkk..",
    "................",
}};
constexpr COLORREF kMaskColour = RGB(255, 0, 255);

// The map drawn at `size` x `size` pixels: each of its cells a block of the scaled size.
HBITMAP draw_image(const std::array<const char*, kImageSize>& map, int size) {
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, size, size);
  ::ReleaseDC(nullptr, screen);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  for (int y = 0; y < kImageSize; ++y) {
    for (int x = 0; x < kImageSize; ++x) {
      COLORREF colour = kMaskColour;
      for (const Ink& ink : kInks)
        if (ink.key == map[static_cast<std::size_t>(y)][x]) colour = ink.colour;
      const RECT cell{x * size / kImageSize, y * size / kImageSize, (x + 1) * size / kImageSize,
                      (y + 1) * size / kImageSize};
      ::SetBkColor(dc, colour);
      ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &cell, nullptr, 0, nullptr);  // fills the cell
    }
  }
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  return bitmap;
}

HWND child(HWND parent, DWORD ex_style, const wchar_t* cls, const std::string& text, DWORD style,
           int id) {
  return ::CreateWindowExW(ex_style, cls, codepage::widen(text).c_str(), WS_CHILD | WS_VISIBLE | style,
                           0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           ::GetModuleHandleW(nullptr), nullptr);
}

int dpi_of(HWND hwnd) {
  HDC dc = ::GetDC(hwnd);
  const int dpi = dc ? ::GetDeviceCaps(dc, LOGPIXELSX) : 96;
  if (dc) ::ReleaseDC(hwnd, dc);
  return dpi;
}

std::wstring lower(std::wstring text) {
  if (!text.empty()) ::CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}
}  // namespace

TViewArhiv::TViewArhiv(HWND owner, Ui& prompts, std::function<void()> end_program)
    : prompts_(prompts), end_program_(std::move(end_program)) {
  create(L"TViewArhiv", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
         WS_EX_APPWINDOW | WS_EX_CONTROLPARENT, load_string(IDS_VIEW_CAPTION), owner);
}

TViewArhiv::~TViewArhiv() {
  if (images_) ::ImageList_Destroy(images_);
  if (font_) ::DeleteObject(font_);
}

LRESULT TViewArhiv::handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      FormCreate();
      return 0;
    case WM_PAINT:
      FormPaint();
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDC_VIEW_BITBTN1:
          BitBtn1Click();
          break;
        case IDC_VIEW_BITBTN2:
        case IDCANCEL:  // Escape
          BitBtn2Click();
          break;
        case IDC_VIEW_BITBTN3:
          BitBtn3Click();
          break;
        case IDOK: {  // Enter: the focused button, or down from the list
          HWND focus = ::GetFocus();
          if (focus == list_) {
            ListView1DblClick();
          } else if (focus && ::GetParent(focus) == hwnd() &&
                     (::SendMessageW(focus, WM_GETDLGCODE, 0, 0) & (DLGC_BUTTON | DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
            ::SendMessageW(focus, BM_CLICK, 0, 0);
          }
          break;
        }
      }
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header->hwndFrom != list_) return 0;
      switch (header->code) {
        case NM_DBLCLK:
          ListView1DblClick();
          return 0;
        case LVN_GETDISPINFOW:
          ListView1GetDispInfo(*reinterpret_cast<NMLVDISPINFOW*>(lparam));
          return 0;
        case LVN_ODFINDITEMW:
          return ListView1FindItem(*reinterpret_cast<const NMLVFINDITEMW*>(lparam));
        case LVN_KEYDOWN:  // Backspace: up one level, as "назад"
          if (reinterpret_cast<const NMLVKEYDOWN*>(lparam)->wVKey == VK_BACK) BitBtn1Click();
          return 0;
      }
      return 0;
    }
    case WM_CLOSE:  // the title bar's close button: as "Возврат"
      BitBtn2Click();
      return 0;
  }
  return Window::handle(message, wparam, lparam);
}

void TViewArhiv::FormCreate() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
    font_ = ::CreateFontIndirectW(&metrics.lfMessageFont);
  HWND view = hwnd();
  child(view, 0, WC_STATICW, load_string(IDS_VIEW_LABEL1), SS_CENTERIMAGE | SS_NOPREFIX, IDC_VIEW_LABEL1);
  child(view, WS_EX_CLIENTEDGE, WC_EDITW, "", WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL, IDC_VIEW_EDIT1);
  child(view, 0, WC_STATICW, load_string(IDS_VIEW_LABEL2), SS_CENTERIMAGE | SS_NOPREFIX, IDC_VIEW_LABEL2);
  child(view, WS_EX_CLIENTEDGE, WC_EDITW, "", WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL, IDC_VIEW_EDIT3);
  child(view, 0, WC_BUTTONW, load_string(IDS_VIEW_BITBTN1), WS_TABSTOP | BS_PUSHBUTTON, IDC_VIEW_BITBTN1);
  list_ = child(view, WS_EX_CLIENTEDGE, WC_LISTVIEWW, "",
                WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, IDC_VIEW_LISTVIEW1);
  child(view, 0, WC_BUTTONW, load_string(IDS_VIEW_BITBTN3), WS_TABSTOP | BS_PUSHBUTTON, IDC_VIEW_BITBTN3);
  child(view, 0, WC_BUTTONW, load_string(IDS_VIEW_BITBTN2), WS_TABSTOP | BS_PUSHBUTTON, IDC_VIEW_BITBTN2);
  status_ = child(view, 0, STATUSCLASSNAMEW, "", 0, IDC_VIEW_STATUSBAR1);
  for (int id : {IDC_VIEW_LABEL1, IDC_VIEW_EDIT1, IDC_VIEW_LABEL2, IDC_VIEW_EDIT3, IDC_VIEW_BITBTN1,
                 IDC_VIEW_LISTVIEW1, IDC_VIEW_BITBTN3, IDC_VIEW_BITBTN2, IDC_VIEW_STATUSBAR1})
    ::SendMessageW(item(id), WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);

  // Columns (FormCreate of the browser): the name 200 pixels wide, the other four 100 each.
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  const int dpi = dpi_of(view);
  const std::array<UINT, 5> titles{IDS_VIEW_COLUMN_NAME, IDS_VIEW_COLUMN_TYPE, IDS_VIEW_COLUMN_CREATED,
                                   IDS_VIEW_COLUMN_FULL, IDS_VIEW_COLUMN_PACKED};
  for (int i = 0; i < static_cast<int>(titles.size()); ++i) {
    std::wstring title = codepage::widen(load_string(titles[static_cast<std::size_t>(i)]));
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    column.fmt = i >= 3 ? LVCFMT_RIGHT : LVCFMT_LEFT;
    column.cx = column_width(i, title, dpi);
    column.pszText = title.data();
    column.iSubItem = i;
    ListView_InsertColumn(list_, i, &column);
  }
  // The rows are as high as their images: both grow with the dots per inch.
  create_images(::MulDiv(kImageSize, dpi, 96));
  ListView_SetImageList(list_, images_, LVSIL_SMALL);

  // Client area of 640 x 486 pixels (at 96 dots per inch), within the screen's work area.
  RECT r{0, 0, ::MulDiv(kClientWidth, dpi, 96), ::MulDiv(kClientHeight, dpi, 96)};
  ::AdjustWindowRectEx(&r, static_cast<DWORD>(::GetWindowLongW(view, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongW(view, GWL_EXSTYLE)));
  RECT work{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  ::SetWindowPos(view, nullptr, 0, 0, std::min(r.right - r.left, work.right - work.left),
                 std::min(r.bottom - r.top, work.bottom - work.top), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  layout();
}

int TViewArhiv::column_width(int column, const std::wstring& title, int dpi) const {
  // At least the width of the list's design, wider where a header or a full date needs it:
  // the header's text with its margins, the date with a cell's.
  int width = ::MulDiv(column == 0 ? kNameColumnWidth : kColumnWidth, dpi, 96);
  width = std::max(width, ListView_GetStringWidth(list_, title.c_str()) + ::MulDiv(24, dpi, 96));
  if (column == 2) width = std::max(width, ListView_GetStringWidth(list_, L"88.88.8888 88:88") + ::MulDiv(16, dpi, 96));
  return width;
}

void TViewArhiv::create_images(int size) {
  images_ = ::ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, 2, 0);
  for (const auto* map : {&kFolderMap, &kFileMap}) {
    HBITMAP bitmap = draw_image(*map, size);
    ::ImageList_AddMasked(images_, bitmap, kMaskColour);
    ::DeleteObject(bitmap);
  }
}

void TViewArhiv::layout() {
  const int dpi = dpi_of(hwnd());
  const auto px = [dpi](int v) { return ::MulDiv(v, dpi, 96); };
  RECT client;
  ::GetClientRect(hwnd(), &client);
  const int width = client.right;
  ::SendMessageW(status_, WM_SIZE, 0, 0);
  RECT status;
  ::GetWindowRect(status_, &status);
  const int status_height = status.bottom - status.top;

  const int field_left = px(kMargin + kLabelWidth + 4);
  const int field_right = width - px(kMargin);
  const int row1 = px(10), row2 = px(38);
  ::MoveWindow(item(IDC_VIEW_LABEL1), px(kMargin), row1, px(kLabelWidth), px(kRowHeight), FALSE);
  ::MoveWindow(item(IDC_VIEW_EDIT1), field_left, row1, field_right - field_left, px(kRowHeight), FALSE);
  ::MoveWindow(item(IDC_VIEW_LABEL2), px(kMargin), row2, px(kLabelWidth), px(kRowHeight), FALSE);
  const int back_left = field_right - px(kButtonWidth);
  ::MoveWindow(item(IDC_VIEW_EDIT3), field_left, row2, back_left - px(kMargin) - field_left, px(kRowHeight), FALSE);
  ::MoveWindow(item(IDC_VIEW_BITBTN1), back_left, row2 - px(2), px(kButtonWidth), px(kButtonHeight), FALSE);

  panel_ = RECT{px(kMargin), client.bottom - status_height - px(6) - px(kPanelHeight), field_right,
                client.bottom - status_height - px(6)};
  const int list_top = row2 + px(kButtonHeight) + px(6);
  ::MoveWindow(list_, px(kMargin), list_top, field_right - px(kMargin), panel_.top - px(6) - list_top, FALSE);
  const int button_top = panel_.top + (px(kPanelHeight) - px(kButtonHeight)) / 2;
  const int return_left = panel_.right - px(8) - px(kButtonWidth);
  ::MoveWindow(item(IDC_VIEW_BITBTN2), return_left, button_top, px(kButtonWidth), px(kButtonHeight), FALSE);
  ::MoveWindow(item(IDC_VIEW_BITBTN3), return_left - px(8) - px(kButtonWidth), button_top, px(kButtonWidth),
               px(kButtonHeight), FALSE);
  ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void TViewArhiv::FormPaint() {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(hwnd(), &paint);
  RECT panel = panel_;
  ::DrawEdge(dc, &panel, BDR_SUNKENOUTER, BF_RECT);
  ::EndPaint(hwnd(), &paint);
}

void TViewArhiv::show_archive(const std::string& archive, Opened how) {
  if (open(archive, how)) run_modal();
}

bool TViewArhiv::open(const std::string& archive, Opened how) {
  opened_ = how;
  ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  // A request's archive has passed its checks, the password included, just before.
  const Outcome outcome = browser_.open(archive, prompts_, how == Opened::ByRequest);
  ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
  if (outcome == Outcome::EndProgram) {
    after_failed_check();
    return false;
  }
  if (outcome != Outcome::Done) {
    browser_.close();
    return false;
  }
  set_window_text(item(IDC_VIEW_EDIT1), browser_.archive_name());
  FormActivate();

  // Modal over the main window: centred on the screen, restored if it was left minimised.
  HWND owner = ::GetWindow(hwnd(), GW_OWNER);
  owner_disabled_ = owner && ::IsWindowEnabled(owner);
  if (owner_disabled_) ::EnableWindow(owner, FALSE);
  RECT r;
  ::GetWindowRect(hwnd(), &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  RECT work{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  ::SetWindowPos(hwnd(), HWND_TOP, std::max(work.left, (work.left + work.right - w) / 2),
                 std::max(work.top, (work.top + work.bottom - h) / 2), 0, 0, SWP_NOSIZE);
  ::ShowWindow(hwnd(), ::IsIconic(hwnd()) ? SW_RESTORE : SW_SHOW);
  ::SetForegroundWindow(hwnd());
  ::SetFocus(list_);
  shown_ = true;
  return true;
}

void TViewArhiv::run_modal() {
  bool quit = false;
  WPARAM quit_code = 0;
  MSG msg;
  while (shown_ && ::IsWindow(hwnd())) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {  // the program is asked to end: the browser is closed first
      quit = true;
      quit_code = msg.wParam;
      continue;
    }
    if (!::IsDialogMessageW(hwnd(), &msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  if (quit) ::PostQuitMessage(static_cast<int>(quit_code));
}

void TViewArhiv::FormActivate() {
  ListView_DeleteAllItems(list_);
  ListView_SetItemCountEx(list_, static_cast<int>(browser_.rows().size()), 0);
  if (!browser_.rows().empty()) {
    // The first row is selected, so that Enter and the arrow keys start from it.
    ListView_SetItemState(list_, 0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    ListView_EnsureVisible(list_, 0, FALSE);
  }
  set_window_text(item(IDC_VIEW_EDIT3), browser_.level());
  ::InvalidateRect(list_, nullptr, TRUE);
}

void TViewArhiv::listed(Outcome outcome) {
  if (outcome == Outcome::EndProgram) {
    after_failed_check();
    return;
  }
  FormActivate();
}

std::vector<std::size_t> TViewArhiv::selected_rows() const {
  std::vector<std::size_t> rows;
  for (int i = ListView_GetNextItem(list_, -1, LVNI_SELECTED); i >= 0;
       i = ListView_GetNextItem(list_, i, LVNI_SELECTED))
    rows.push_back(static_cast<std::size_t>(i));
  return rows;
}

void TViewArhiv::ListView1DblClick() {
  if (!shown_) return;
  const int first = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
  ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  const Outcome outcome =
      browser_.down(first >= 0 ? std::optional<std::size_t>(static_cast<std::size_t>(first)) : std::nullopt,
                    prompts_);
  ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
  listed(outcome);
}

void TViewArhiv::BitBtn1Click() {
  if (!shown_ || browser_.level().empty()) return;
  ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  const Outcome outcome = browser_.up(prompts_);
  ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
  listed(outcome);
}

void TViewArhiv::BitBtn2Click() {
  browser_.close();
  hide();
}

void TViewArhiv::hide() {
  ListView_DeleteAllItems(list_);
  set_window_text(item(IDC_VIEW_EDIT3), "");
  HWND owner = ::GetWindow(hwnd(), GW_OWNER);
  if (owner_disabled_ && owner) ::EnableWindow(owner, TRUE);
  owner_disabled_ = false;
  ::ShowWindow(hwnd(), SW_HIDE);
  if (owner && ::IsWindowVisible(owner)) ::SetForegroundWindow(owner);
  shown_ = false;
}

void TViewArhiv::after_failed_check() {
  browser_.close();
  if (shown_) hide();
  if (opened_ == Opened::ByRequest && end_program_) end_program_();
}

void TViewArhiv::BitBtn3Click() {
  if (!shown_) return;
  std::vector<std::string> entries = browser_.chosen_entries(selected_rows());
  if (entries.empty()) {
    prompts_.show_message(msg::kNoArchiveChosen);
    return;
  }
  if (!bar_) return;
  // The browser steps aside while its entries are extracted: fully transparent, and no input.
  const LONG ex_style = ::GetWindowLongW(hwnd(), GWL_EXSTYLE);
  ::SetWindowLongW(hwnd(), GWL_EXSTYLE, ex_style | WS_EX_LAYERED);
  ::SetLayeredWindowAttributes(hwnd(), 0, kTransparent, LWA_ALPHA);
  ::UpdateWindow(hwnd());
  ::EnableWindow(hwnd(), FALSE);
  // The extraction of chosen entries ignores Abort: the button is not offered.
  HWND abort = bar_->item(IDC_BITBTN1);
  const bool abort_shown = (::GetWindowLongW(abort, GWL_STYLE) & WS_VISIBLE) != 0;
  ::ShowWindow(abort, SW_HIDE);

  requests::ChosenJob job;
  job.archive = browser_.archive();
  job.target_folder = std::string(format::folder_part(job.archive));
  job.browse_level = browser_.level();
  job.chosen_entries = std::move(entries);
  job.password_checked = true;  // when the browser opened the archive
  job.program_folder = std::string(format::folder_part(fs::own_executable_path()));
  const Outcome outcome = requests::extract_chosen(job, *bar_, prompts_);

  if (abort_shown) ::ShowWindow(abort, SW_SHOW);
  ::EnableWindow(hwnd(), TRUE);
  ::SetLayeredWindowAttributes(hwnd(), 0, kOpaque, LWA_ALPHA);
  ::SetWindowLongW(hwnd(), GWL_EXSTYLE, ex_style & ~WS_EX_LAYERED);
  ::RedrawWindow(hwnd(), nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
  // A failed check of a request's archive ends the program; the user's own browsing goes on
  // at the rows as they were.
  if (outcome == Outcome::EndProgram && opened_ == Opened::ByRequest) {
    after_failed_check();
    return;
  }
  ::SetForegroundWindow(hwnd());
  ::SetFocus(list_);
}

void TViewArhiv::ListView1GetDispInfo(NMLVDISPINFOW& info) {
  LVITEMW& item = info.item;
  const auto& rows = browser_.rows();
  if (item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= rows.size()) return;
  const browse::Row& row = rows[static_cast<std::size_t>(item.iItem)];
  if (item.mask & LVIF_IMAGE) item.iImage = row.is_folder ? kFolderImage : kFileImage;
  if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
    std::string_view text;
    switch (item.iSubItem) {
      case 0: text = row.name; break;
      case 1: text = row.type(); break;
      case 2: text = row.date; break;
      case 3: text = row.full_size; break;
      case 4: text = row.packed_size; break;
    }
    const std::wstring wide = codepage::widen(text);
    ::lstrcpynW(item.pszText, wide.c_str(), item.cchTextMax);
  }
}

LRESULT TViewArhiv::ListView1FindItem(const NMLVFINDITEMW& find) {
  // Typing the first letters of a name selects the next row whose name begins with them.
  if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find.lvfi.psz) return -1;
  const std::wstring wanted = lower(find.lvfi.psz);
  const auto& rows = browser_.rows();
  const std::size_t count = rows.size();
  if (count == 0 || wanted.empty()) return -1;
  const std::size_t start = find.iStart >= 0 ? static_cast<std::size_t>(find.iStart) % count : 0;
  for (std::size_t n = 0; n < count; ++n) {
    const std::size_t i = (start + n) % count;
    if (lower(codepage::widen(rows[i].name)).starts_with(wanted)) return static_cast<LRESULT>(i);
  }
  return -1;
}

}  // namespace tarvik::app
