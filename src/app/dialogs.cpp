#include "app/dialogs.h"

#include "app/resource.h"

namespace tarvik::app {

TViewArhiv::TViewArhiv(HWND owner) {
  create(L"TViewArhiv", WS_OVERLAPPEDWINDOW, 0, load_string(IDS_VIEW_CAPTION), owner);
}

void TViewArhiv::show_archive(const std::string&) {
  // The browser's listing and navigation come with the browser's own work.
}

}  // namespace tarvik::app
