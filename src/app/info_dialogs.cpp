#include "app/info_dialogs.h"

#include <shellapi.h>

#include "app/resource.h"
#include "format/messages.h"
#include "platform/codepage.h"

namespace tarvik::app {

namespace {

// A copy of the dialog's font with `change` applied.
HFONT derived_font(HWND dialog, void (*change)(LOGFONTW&)) {
  LOGFONTW font{};
  HFONT base = reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0));
  if (!base || !::GetObjectW(base, sizeof font, &font)) return nullptr;
  change(font);
  return ::CreateFontIndirectW(&font);
}

constexpr COLORREF kLinkColour = RGB(0, 84, 192);

}  // namespace

// ---- TAbout ----

TAbout::TAbout(HWND owner) {
  opener_ = [this](const std::string& address) {
    ::ShellExecuteW(hwnd(), L"open", codepage::widen(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  };
  create(IDD_ABOUT, owner);
}

TAbout::~TAbout() {
  if (bold_font_) ::DeleteObject(bold_font_);
  if (link_font_) ::DeleteObject(link_font_);
}

std::string TAbout::site_address() const { return load_string(IDS_SITE_ADDRESS); }

void TAbout::FormCreate() {
  bold_font_ = derived_font(hwnd(), [](LOGFONTW& f) {
    f.lfWeight = FW_BOLD;
    f.lfHeight = f.lfHeight * 3 / 2;
  });
  link_font_ = derived_font(hwnd(), [](LOGFONTW& f) { f.lfUnderline = TRUE; });
  if (bold_font_) ::SendMessageW(item(IDC_ABOUT_NAME), WM_SETFONT, reinterpret_cast<WPARAM>(bold_font_), FALSE);
  if (link_font_) ::SendMessageW(item(IDC_LABEL7), WM_SETFONT, reinterpret_cast<WPARAM>(link_font_), FALSE);
  set_window_text(item(IDC_LABEL7), site_address());
  // The version the build was made as, not a copy of it in the template.
  set_window_text(item(IDC_ABOUT_VERSION), msg::about_version(TARVIK_VERSION));
}

void TAbout::Label7Click() {
  if (opener_) opener_(site_address());
}

INT_PTR TAbout::handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      FormCreate();
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDC_LABEL7 && HIWORD(wparam) == STN_CLICKED) Label7Click();
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) BitBtn1Click();
      return TRUE;
    case WM_CLOSE:
      BitBtn1Click();
      return TRUE;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lparam) == item(IDC_LABEL7)) {
        HDC dc = reinterpret_cast<HDC>(wparam);
        ::SetTextColor(dc, kLinkColour);
        ::SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_BTNFACE));
      }
      return FALSE;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wparam) == item(IDC_LABEL7)) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        ::SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

// ---- TFmHelp ----

TFmHelp::TFmHelp(HWND owner) { create(IDD_HELP, owner); }

std::string TFmHelp::text() {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(IDR_HELP_TEXT), MAKEINTRESOURCEW(10));  // RT_RCDATA
  if (!found) return {};
  HGLOBAL loaded = ::LoadResource(module, found);
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (!bytes) return {};
  std::string text(static_cast<const char*>(bytes), ::SizeofResource(module, found));
  std::string lines;
  for (char c : text)
    if (c != '\r') lines += c;
  return lines;
}

void TFmHelp::FormCreate() {
  // The edit control breaks lines at "\r\n".
  std::string shown;
  for (char c : text()) {
    if (c == '\n') shown += '\r';
    shown += c;
  }
  set_window_text(item(IDC_HELP_TEXT), shown);
}

INT_PTR TFmHelp::handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      FormCreate();
      return TRUE;
    case WM_SHOWWINDOW:
      if (wparam) {
        // Opens at the top, nothing marked, the focus on "Закрыть".
        ::SendMessageW(item(IDC_HELP_TEXT), EM_SETSEL, 0, 0);
        ::SendMessageW(item(IDC_HELP_TEXT), EM_SCROLLCARET, 0, 0);
        ::PostMessageW(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(IDOK)), TRUE);
      }
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) BitBtn1Click();
      return TRUE;
    case WM_CLOSE:
      BitBtn1Click();
      return TRUE;
    case WM_CTLCOLORSTATIC:
      // The read-only text on the window colour, like a document.
      if (reinterpret_cast<HWND>(lparam) == item(IDC_HELP_TEXT)) {
        HDC dc = reinterpret_cast<HDC>(wparam);
        ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
        ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_WINDOW));
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace tarvik::app
