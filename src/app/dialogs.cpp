#include "app/dialogs.h"

#include "app/resource.h"

namespace tarvik::app {

TViewArhiv::TViewArhiv(HWND owner) {
  create(L"TViewArhiv", WS_OVERLAPPEDWINDOW, 0, load_string(IDS_VIEW_CAPTION), owner);
}

void TViewArhiv::show_archive(const std::string&) {
  // The browser's listing and navigation come with the browser's own work.
}

TAbout::TAbout(HWND owner) { create(IDD_ABOUT, owner); }

INT_PTR TAbout::handle(UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if ((message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) ||
      message == WM_CLOSE) {
    ::ShowWindow(hwnd(), SW_HIDE);
    return TRUE;
  }
  return FALSE;
}

TFmHelp::TFmHelp(HWND owner) { create(IDD_HELP, owner); }

INT_PTR TFmHelp::handle(UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if ((message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) ||
      message == WM_CLOSE) {
    ::ShowWindow(hwnd(), SW_HIDE);
    return TRUE;
  }
  return FALSE;
}

}  // namespace tarvik::app
