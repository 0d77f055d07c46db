// bench_folder_view FOLDER EMPTY_FOLDER [RUNS]: how long the main window takes to open a
// folder, as the user sees it (the folder read, sorted and shown, the rows on screen drawn
// with their icons and types), next to two peers measured in the same run: `cmd /c dir /a /b`
// listing the same folder (a process of its own: its time minus that of listing an empty
// folder is what the entries cost it), and the bare system listing in this process
// (FindFirstFileW / FindNextFileW), the floor of any listing. Prints one line per figure,
// medians of RUNS (default 7; dir: at most 3) in milliseconds.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/shell_view.h"
#include "format/names.h"
#include "platform/codepage.h"
#include "platform/fs.h"

using namespace tarvik;

namespace {

double now_ms() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

void pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

// The floor: the bare system listing of the folder (FindFirstFileW / FindNextFileW, names only),
// in milliseconds.
double enumerate_ms(const std::string& folder, std::size_t& count) {
  const double start = now_ms();
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW((codepage::widen(folder) + L"\\*").c_str(), &data);
  count = 0;
  if (find != INVALID_HANDLE_VALUE) {
    do {
      ++count;
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
  }
  return now_ms() - start;
}

// Wall time of `cmd /c dir /a /b "folder" > NUL`, in milliseconds.
double dir_ms(const std::string& folder) {
  wchar_t system[MAX_PATH];
  ::GetSystemDirectoryW(system, MAX_PATH);
  std::wstring line = L"\"" + std::wstring(system) + L"\\cmd.exe\" /c dir /a /b \"" + codepage::widen(folder) + L"\" > NUL";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  const double start = now_ms();
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
    return -1;
  ::WaitForSingleObject(pi.hProcess, INFINITE);
  const double took = now_ms() - start;
  ::CloseHandle(pi.hProcess);
  ::CloseHandle(pi.hThread);
  return took;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_folder_view FOLDER EMPTY_FOLDER [RUNS]\n");
    return 2;
  }
  const std::string folder = codepage::narrow(argv[1]);
  const std::string empty = codepage::narrow(argv[2]);
  const int runs = argc > 3 ? std::max(1, _wtoi(argv[3])) : 7;

  SilentUi quiet;
  app::AppOptions options;
  options.own_executable = fs::own_executable_path();
  options.program_folder = std::string(format::folder_part(options.own_executable));
  options.prompts = &quiet;
  app::Application application(options);
  application.start({});
  app::TMain& main = application.main();
  pump();

  std::vector<double> first_open, open, refresh, read, bare, dir, dir_empty;
  std::size_t listed = 0;
  for (int run = 0; run < runs; ++run) {
    main.open_my_computer();
    pump();
    double t = now_ms();
    main.open_folder(folder);
    ::UpdateWindow(main.hwnd());  // the rows on screen drawn, with their icons and types
    pump();
    (run == 0 ? first_open : open).push_back(now_ms() - t);
    t = now_ms();
    main.refresh();
    ::UpdateWindow(main.hwnd());
    pump();
    refresh.push_back(now_ms() - t);
    t = now_ms();
    const auto entries = app::read_folder(folder);
    if (entries.empty()) return 1;
    read.push_back(now_ms() - t);
    bare.push_back(enumerate_ms(folder, listed));
    if (run < 3) {  // dir takes half a minute for this folder under Wine: three runs are enough
      dir.push_back(dir_ms(folder));
      dir_empty.push_back(dir_ms(empty));
    }
  }
  if (open.empty()) open = first_open;
  const double peer = median(dir) - median(dir_empty);
  std::printf("entries                  %zu\n", main.entries().size());
  std::printf("window, first open       %.1f ms\n", first_open[0]);
  std::printf("window, open             %.1f ms\n", median(open));
  std::printf("window, refresh          %.1f ms\n", median(refresh));
  std::printf("  of which read_folder    %.1f ms (read, sorted)\n", median(read));
  std::printf("bare listing             %.1f ms (FindFirstFileW/FindNextFileW, %zu names)\n", median(bare), listed);
  std::printf("dir /a /b, whole process %.1f ms\n", median(dir));
  std::printf("dir /a /b, empty folder  %.1f ms\n", median(dir_empty));
  std::printf("dir /a /b, the entries   %.1f ms\n", peer);
  std::printf("ratio open/dir entries   %.2f\n", peer > 0 ? median(open) / peer : 0.0);
  std::printf("ratio open/bare listing  %.2f\n", median(bare) > 0 ? median(open) / median(bare) : 0.0);
  application.close();
  return 0;
}
