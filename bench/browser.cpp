// The archive browser of Tarvik.exe timed in-process, for bench/browser.sh: the real windows of
// the program (created as at start), the browser opened on an archive and driven as a user
// drives it. Each step is timed from the user's action to the list painted with its rows:
//
//   open     Obzor: the password check, the listing walk of the top level, the list filled,
//            the browser shown and painted
//   down     Enter on a folder row (the path a double-click takes): the walk of that level,
//            the list filled and painted
//   back     "назад" to the top level
//
//   bench_browser ARCHIVE REPS FOLDER...
//
// For each of REPS rounds: open, then for each FOLDER (a row of the top level) down and back,
// then "Возврат". Prints one line per step and round: "STEP LEVEL ROWS MILLISECONDS". Needs a
// display (Xvfb under Wine).
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/resource.h"
#include "format/names.h"
#include "platform/codepage.h"
#include "platform/fs.h"

using namespace tarvik;
using namespace tarvik::app;

namespace {

// Messages are printed; the archive has no password.
class PrintingUi final : public SilentUi {
 public:
  void show_message(std::string_view text) override {
    std::fprintf(stderr, "message: %.*s\n", static_cast<int>(text.size()), text.data());
  }
};

// Serves what the windows have queued (their painting included).
void settle() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

double since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The list painted now, with the rows it shows asked of the browser.
void paint(TViewArhiv& view) {
  ::RedrawWindow(view.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void report(const char* step, const std::string& level, TViewArhiv& view, double ms) {
  std::printf("%s %s %d %.3f\n", step, level.empty() ? "\\" : level.c_str(),
              ListView_GetItemCount(view.list()), ms);
  std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_browser ARCHIVE REPS FOLDER...\n");
    return 2;
  }
  const std::string archive = codepage::narrow(argv[1]);
  const int reps = std::max(1, _wtoi(argv[2]));
  std::vector<std::string> folders;
  for (int i = 3; i < argc; ++i) folders.push_back(codepage::narrow(argv[i]));

  PrintingUi ui;
  AppOptions options;
  options.own_executable = fs::own_executable_path();
  options.program_folder = std::string(format::folder_part(options.own_executable));
  options.prompts = &ui;
  Application app(options);
  app.main().show();
  settle();
  TViewArhiv& view = app.view();

  for (int round = 0; round < reps; ++round) {
    auto start = std::chrono::steady_clock::now();
    if (!view.open(archive)) return 1;
    paint(view);
    report("open", "", view, since(start));
    settle();
    for (const std::string& folder : folders) {
      const auto& rows = view.browser().rows();
      int index = -1;
      for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].name == folder) index = static_cast<int>(i);
      if (index < 0) {
        std::fprintf(stderr, "no row %s\n", folder.c_str());
        return 1;
      }
      ListView_SetItemState(view.list(), -1, 0, LVIS_SELECTED);
      ListView_SetItemState(view.list(), index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
      ::SetFocus(view.list());
      settle();
      start = std::chrono::steady_clock::now();
      ::SendMessageW(view.hwnd(), WM_COMMAND, IDOK, 0);  // Enter on the row
      paint(view);
      report("down", view.browser().level(), view, since(start));
      settle();
      start = std::chrono::steady_clock::now();
      ::SendMessageW(view.item(IDC_VIEW_BITBTN1), BM_CLICK, 0, 0);
      paint(view);
      report("back", view.browser().level(), view, since(start));
      settle();
    }
    ::SendMessageW(view.item(IDC_VIEW_BITBTN2), BM_CLICK, 0, 0);
    settle();
  }
  app.close();
  return 0;
}
