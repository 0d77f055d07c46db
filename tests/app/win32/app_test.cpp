// The Windows program in-process: its five windows created for real under a (virtual)
// display, driven with window messages, with message boxes and the password box scripted
// through the Ui seam; and Tarvik.exe started as a program on real files.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <iostream>
#include <thread>

#include "../pack/archive_reader.h"
#include "../unpack/archive_fixture.h"
#include "app/application.h"
#include "app/resource.h"
#include "format/messages.h"
#include "platform/codepage.h"
#include "platform/fs.h"
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

namespace {

std::string text_of(HWND hwnd) { return window_text(hwnd); }

// A folder "d" of sample files beside the program folder, the application.
struct Desk : test::AppDesk {
  std::string d = dir.win("d");

  explicit Desk(std::string own = "") {
    test::write_file(dir.native() / "d" / "a.txt", "первый файл");
    test::write_file(dir.native() / "d" / "b b.txt", test::noise(50000, 2));
    test::write_file(dir.native() / "d" / "sub dir" / "c.txt", test::noise(70000, 3));
    test::write_file(*fs::to_native(in_d("отчёт.txt")), "не упакован");
    AppOptions options;
    options.own_executable = std::move(own);
    open(options);
  }
  std::string in_d(const std::string& name) const { return format::join_path(d, name); }
  test::Tree tree() const { return snapshot(dir.native() / "d"); }
  std::vector<std::string> selected() {
    return app->main().selection().items;
  }
  std::string all_items() const {
    return in_d("a.txt") + "*" + in_d("b b.txt") + "*" + in_d("sub dir") + "*";
  }
};

}  // namespace

TEST(Windows, FiveWindowsWithTheirCaptions) {
  NEED_DISPLAY();
  Desk desk;
  Application& app = *desk.app;
  EXPECT_EQ(text_of(app.main().hwnd()), "Архиватор Tarvik");
  EXPECT_EQ(text_of(app.view().hwnd()), "Содержимое архива");
  EXPECT_EQ(text_of(app.bar().hwnd()), "Tarvik ");
  EXPECT_EQ(text_of(app.about().hwnd()), "О программе");
  EXPECT_EQ(text_of(app.help().hwnd()), "Помощь");
  for (HWND w : {app.main().hwnd(), app.view().hwnd(), app.bar().hwnd(), app.about().hwnd(), app.help().hwnd()})
    EXPECT_FALSE(::IsWindowVisible(w));
  // The progress dialog: no system menu (no close box), 286 x 84 client pixels, its controls.
  HWND bar = app.bar().hwnd();
  EXPECT_EQ(::GetWindowLongW(bar, GWL_STYLE) & WS_SYSMENU, 0);
  RECT client;
  ::GetClientRect(bar, &client);
  const int dpi = test::dpi_of(bar);
  EXPECT_EQ(client.right, ::MulDiv(286, dpi, 96));
  EXPECT_EQ(client.bottom, ::MulDiv(84, dpi, 96));
  EXPECT_EQ(text_of(app.bar().item(IDC_LABEL2)), "Распаковка");
  EXPECT_EQ(text_of(app.bar().item(IDC_LABEL1)), "файл");
  // The buttons' captions with their Alt accelerators (the "&" is shown as an underline).
  EXPECT_EQ(text_of(app.bar().item(IDC_BITBTN1)), "&Прервать");
  EXPECT_EQ(text_of(app.bar().item(IDC_BITBTN2)), "&Свернуть");
  EXPECT_TRUE(::GetWindowLongW(app.bar().item(IDC_PROGRESSBAR1), GWL_STYLE) & PBS_SMOOTH);
  // Closing the progress dialog is refused.
  ::SendMessageW(bar, WM_CLOSE, 0, 0);
  EXPECT_TRUE(::IsWindow(bar));
}

TEST(Windows, RequestForms) {
  NEED_DISPLAY();
  struct Case {
    const char* what;
    std::function<std::vector<std::string>(const Desk&)> args;
    requests::Form form;
    bool shown;
    std::vector<std::string> selected;
    std::string name_field;
    std::string archive;  // written below d ("" none)
  };
  using requests::Form;
  const Case cases[] = {
      {"pack", [](const Desk& k) { return std::vector<std::string>{k.all_items() + "<"}; },
       Form::Pack, false, {"sub dir", "a.txt", "b b.txt"}, "a", "a.kzv"},
      {"pack split at blanks", [](const Desk& k) {
         return std::vector<std::string>{k.in_d("b"), "b.txt*<"}; },
       Form::Pack, false, {"b b.txt"}, "b b", "b b.kzv"},
      {"select", [](const Desk& k) { return std::vector<std::string>{k.in_d("b b.txt") + "*" + k.in_d("a.txt") + "*>"}; },
       Form::Select, true, {"a.txt", "b b.txt"}, "b b", ""},
      {"interactive", [](const Desk&) { return std::vector<std::string>{}; },
       Form::Interactive, true, {}, "arhiv", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Desk desk;
    auto r = desk.app->start(c.args(desk));
    EXPECT_EQ(r.form, c.form);
    EXPECT_EQ(r.keep_running, c.shown);
    EXPECT_EQ(::IsWindowVisible(desk.app->main().hwnd()) != FALSE, c.shown);
    EXPECT_FALSE(::IsWindowVisible(desk.app->bar().hwnd()));
    EXPECT_TRUE(desk.prompts.messages.empty());
    if (c.form != Form::Interactive) {
      EXPECT_EQ(desk.app->main().folder(), desk.d);
      EXPECT_EQ(text_of(desk.app->main().combo()), desk.d);
      EXPECT_EQ(desk.selected(), c.selected);
    }
    EXPECT_EQ(text_of(desk.app->main().edit1()), c.name_field);
    if (!c.archive.empty()) {
      EXPECT_EQ(r.outcome, Outcome::Done);
      auto archive = test::read_archive(desk.in_d(c.archive));
      EXPECT_EQ(archive.records.empty(), false);
      EXPECT_EQ(text_of(desk.app->bar().item(IDC_LABEL2)), "Упаковка: ");
    }
    EXPECT_FALSE(desk.journal_left());
  }
}

TEST(Windows, UnpackRequestsAndBrowse) {
  NEED_DISPLAY();
  Desk desk;
  ASSERT_EQ(desk.app->start({desk.all_items() + "<"}).outcome, Outcome::Done);
  const auto before = desk.tree();
  const std::string archive = desk.in_d("a.kzv");
  struct Case {
    const char* what;
    std::string marker;
    std::string into;
  };
  for (const Case& c : {Case{"to folder", "<", "a/"}, Case{"here", ">", ""}}) {
    SCOPED_TRACE(c.what);
    if (c.into.empty()) {
      std::filesystem::remove_all(desk.dir.native() / "d" / "sub dir");
      std::filesystem::remove(desk.dir.native() / "d" / "a.txt");
    }
    desk.app->close();
    desk.app.reset();
    AppOptions options{fs::own_executable_path(), desk.program, &desk.prompts, {}};
    desk.app = std::make_unique<Application>(options);
    auto r = desk.app->start({archive + "*" + c.marker});
    EXPECT_EQ(r.outcome, Outcome::Done);
    EXPECT_FALSE(::IsWindowVisible(desk.app->main().hwnd()));
    EXPECT_EQ(desk.selected(), std::vector<std::string>{"a.kzv"});
    EXPECT_EQ(text_of(desk.app->bar().item(IDC_LABEL2)), "Распаковка: a.kzv");
    auto tree = desk.tree();
    for (const char* name : {"a.txt", "b b.txt", "sub dir/c.txt"})
      EXPECT_EQ(tree[c.into + name], before.at(name)) << name;
    EXPECT_TRUE(desk.prompts.messages.empty());
    EXPECT_FALSE(desk.journal_left());
  }
  // A plain archive path: the main window at its folder with the archive selected.
  desk.app->close();
  desk.app.reset();
  desk.app = std::make_unique<Application>(AppOptions{fs::own_executable_path(), desk.program, &desk.prompts, {}});
  // The browser comes up over it, modally, and is closed.
  bool browsed = false;
  Ticker ticker(20, [&] {
    if (!::IsWindowVisible(desk.app->view().hwnd())) return false;
    browsed = true;
    ::PostMessageW(desk.app->view().hwnd(), WM_CLOSE, 0, 0);
    return true;
  });
  auto r = desk.app->start({archive});
  EXPECT_TRUE(browsed);
  EXPECT_EQ(r.form, requests::Form::Browse);
  EXPECT_TRUE(r.keep_running);
  EXPECT_TRUE(::IsWindowVisible(desk.app->main().hwnd()));
  EXPECT_EQ(desk.selected(), std::vector<std::string>{"a.kzv"});
}

TEST(Windows, AbortMidRunLeavesTheFolderAsItWas) {
  NEED_DISPLAY();
  for (const char* what : {"pack", "unpack to folder", "unpack here"}) {
    SCOPED_TRACE(what);
    Desk desk;
    for (int i = 0; i < 12; ++i)
      test::write_file(desk.dir.native() / "d" / "sub dir" / ("big" + std::to_string(i)), test::noise(3 << 20, i));
    std::string archive;
    if (std::string(what) != "pack") {
      ASSERT_EQ(desk.app->start({desk.all_items() + "<"}).outcome, Outcome::Done);
      archive = desk.in_d("a.kzv");
      desk.app->close();
      desk.app = std::make_unique<Application>(AppOptions{fs::own_executable_path(), desk.program, &desk.prompts, {}});
    }
    const auto before = desk.tree();
    HWND bar = desk.app->bar().hwnd();
    bool clicked = false;
    Ticker ticker(20, [&] {
      if (!::IsWindowVisible(bar)) return false;
      if (::SendMessageW(desk.app->bar().item(IDC_PROGRESSBAR1), PBM_GETPOS, 0, 0) <= 0) return false;
      ::SendMessageW(desk.app->bar().item(IDC_BITBTN1), BM_CLICK, 0, 0);
      clicked = true;
      return true;
    });
    auto r = archive.empty() ? desk.app->start({desk.all_items() + "<"})
                             : desk.app->start({archive + (std::string(what) == "unpack here" ? "*>" : "*<")});
    EXPECT_TRUE(clicked);
    EXPECT_EQ(r.outcome, Outcome::Aborted);
    EXPECT_EQ(desk.tree(), before);
    EXPECT_FALSE(desk.journal_left());
    EXPECT_EQ(text_of(desk.app->bar().item(IDC_LABEL2)), "Запущен откат. Подождите...");
  }
}

TEST(Windows, MinimisedDialogComesBackRestored) {
  NEED_DISPLAY();
  Desk desk;
  for (int i = 0; i < 6; ++i)
    test::write_file(desk.dir.native() / "d" / "sub dir" / ("big" + std::to_string(i)), test::noise(2 << 20, i));
  HWND bar = desk.app->bar().hwnd();
  bool minimised = false;
  {
    Ticker ticker(10, [&] {
      if (!::IsWindowVisible(bar)) return false;
      ::SendMessageW(desk.app->bar().item(IDC_BITBTN2), BM_CLICK, 0, 0);
      minimised = ::IsIconic(bar) != FALSE;
      return true;
    });
    EXPECT_EQ(desk.app->start({desk.all_items() + "<"}).outcome, Outcome::Done);
  }
  EXPECT_TRUE(minimised);
  bool restored = false;
  Ticker ticker(10, [&] {
    if (!::IsWindowVisible(bar)) return false;
    restored = !::IsIconic(bar);
    return true;
  });
  Selection selection{desk.d, {"a.txt"}};
  PackOptions options;
  options.archive_name = "second";
  options.program_folder = desk.program;
  EXPECT_EQ(requests::pack(selection, options, OperationCode::PackFromWindow, "a.kzv", desk.app->bar()),
            Outcome::Done);
  EXPECT_TRUE(restored);
  EXPECT_EQ(text_of(desk.app->bar().item(IDC_LABEL2)), "Упаковка: a.kzv");
}

// The progress dialog's keys, pressed into its own message loop while an operation is held
// in the middle: "Свернуть" has the focus and is the default, so Enter, Space, Esc and Alt+С
// minimise and the operation goes on; a letter alone presses nothing; Alt+П aborts.
TEST(Windows, ProgressDialogKeys) {
  NEED_DISPLAY();
  Desk desk;
  TBar& bar = desk.app->bar();
  HWND dialog = bar.hwnd();
  HWND minimise = bar.item(IDC_BITBTN2);
  EXPECT_FALSE(::GetWindowLongW(bar.item(IDC_BITBTN1), GWL_STYLE) & WS_TABSTOP);
  const auto key = [](UINT message, WPARAM code) {
    return [=] {
      // lParam: a repeat count of 1, and for WM_SYSCHAR the Alt key down (bit 29).
      const LPARAM lparam = message == WM_SYSCHAR ? (1 | (1 << 29)) : 1;
      ::PostMessageW(::GetFocus(), message, code, lparam);
      if (message == WM_KEYDOWN && code == VK_SPACE) ::PostMessageW(::GetFocus(), WM_KEYUP, code, lparam);
    };
  };
  struct Step {
    const char* what;
    std::function<void()> press;
    bool minimises;
    bool aborts;
  };
  const Step steps[] = {
      {"Enter", key(WM_KEYDOWN, VK_RETURN), true, false},
      {"Space", key(WM_KEYDOWN, VK_SPACE), true, false},
      {"Esc", key(WM_KEYDOWN, VK_ESCAPE), true, false},
      {"п alone", key(WM_CHAR, L'п'), false, false},
      {"Alt+С", key(WM_SYSCHAR, L'с'), true, false},
      {"Alt+П", key(WM_SYSCHAR, L'п'), false, true},
  };
  std::atomic<bool> started{false}, give_up{false};
  std::size_t step = 0;
  int ticks = 0;
  bool pressed = false;
  std::vector<std::string> failures;
  Ticker ticker(20, [&] {
    if (++ticks > 3000) give_up = true;  // a guard: the steps never came to their end
    if (!started) return give_up.load();
    const Step& s = steps[step];
    if (!::IsWindowVisible(dialog)) return give_up.load();
    if (!pressed) {
      if (::GetFocus() != minimise) failures.push_back(std::string(s.what) + ": the focus is not on Свернуть");
      if (LOWORD(::SendMessageW(dialog, DM_GETDEFID, 0, 0)) != IDC_BITBTN2)
        failures.push_back(std::string(s.what) + ": Свернуть is not the default button");
      s.press();  // posted: handled before the next tick
      pressed = true;
      return false;
    }
    // Abort ends the run, maybe before this tick: its effect is checked once run() returned.
    if (s.aborts) return give_up.load();
    if ((::IsIconic(dialog) != FALSE) != s.minimises) failures.push_back(std::string(s.what) + ": minimised wrongly");
    if (bar.abort_asked() != s.aborts) failures.push_back(std::string(s.what) + ": abort wrongly");
    if (::IsIconic(dialog)) ::ShowWindow(dialog, SW_RESTORE);
    pressed = false;
    if (++step < std::size(steps)) return give_up.load();
    give_up = !bar.abort_asked();  // the operation ends on Abort, or here when none came
    return true;
  });
  RunRequest request;
  request.code = OperationCode::PackFromWindow;
  request.program_folder = desk.program;
  const Outcome outcome = bar.run(request, 100, [&](Operation& op) {
    started = true;
    const ULONGLONG deadline = ::GetTickCount64() + 120000;  // a guard only
    while (!op.poll() && !give_up && ::GetTickCount64() < deadline) ::Sleep(2);
    return op.abort ? Outcome::Aborted : Outcome::Done;
  });
  EXPECT_FALSE(give_up) << "stopped at step " << step;
  // The last step, Alt+П, ended the run.
  EXPECT_EQ(step, std::size(steps) - 1);
  EXPECT_TRUE(pressed);
  EXPECT_TRUE(bar.abort_asked());
  EXPECT_FALSE(::IsIconic(dialog));  // Alt+П minimised nothing
  EXPECT_EQ(failures, std::vector<std::string>{});
  EXPECT_EQ(outcome, Outcome::Aborted);
  EXPECT_FALSE(::IsWindowVisible(dialog));
  EXPECT_FALSE(desk.journal_left());
}

// A name longer than its label keeps its beginning and its end around an ellipsis and fits the
// label; a short one is shown whole.
TEST(Windows, ProgressLabelsShortenLongNamesInTheMiddle) {
  NEED_DISPLAY();
  Desk desk;
  TBar& bar = desk.app->bar();
  const auto width_of = [](HWND label, const std::string& text) {
    const std::wstring wide = codepage::widen(text);
    HDC dc = ::GetDC(label);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(label, WM_GETFONT, 0, 0)));
    SIZE size{};
    ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(label, dc);
    return size.cx;
  };
  std::string long_name = "Начало_длинного_имени";
  for (int i = 0; i < 12; ++i) long_name += "_часть" + std::to_string(i);
  long_name += "_конец.txt";
  const std::string long_caption = "Упаковка: " + desk.in_d(std::string(60, 'x') + "\\архив.kzv");
  struct Case {
    int label;
    std::string text;
    bool shortened;
  };
  const Case cases[] = {
      {IDC_LABEL1, "a.txt", false},
      {IDC_LABEL1, long_name, true},
      {IDC_LABEL2, "Упаковка: a.kzv", false},
      {IDC_LABEL2, long_caption, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    RunRequest request;
    request.code = OperationCode::PackFromWindow;
    request.program_folder = desk.program;
    EXPECT_EQ(bar.run(request, 1,
                      [&](Operation& op) {
                        if (c.label == IDC_LABEL1) op.ui.set_item(c.text); else op.ui.set_caption(c.text);
                        return Outcome::Done;
                      }),
              Outcome::Done);
    HWND label = bar.item(c.label);
    const std::string shown = text_of(label);
    RECT r;
    ::GetClientRect(label, &r);
    EXPECT_LE(width_of(label, shown), r.right) << shown;
    if (!c.shortened) {
      EXPECT_EQ(shown, c.text);
      continue;
    }
    const std::size_t mark = shown.find("\u2026");
    ASSERT_NE(mark, std::string::npos) << shown;
    const std::string head = shown.substr(0, mark), tail = shown.substr(mark + 3);
    EXPECT_GE(head.size(), 8u) << shown;
    EXPECT_GE(tail.size(), 8u) << shown;
    EXPECT_EQ(c.text.compare(0, head.size(), head), 0) << shown;
    EXPECT_EQ(c.text.compare(c.text.size() - tail.size(), tail.size(), tail), 0) << shown;
    EXPECT_LT(shown.size(), c.text.size());
  }
}

TEST(Windows, FailuresEndWithTheMessageAndWriteNothing) {
  NEED_DISPLAY();
  Desk desk;
  desk.app->close();
  {
    requests::DirectDialog direct(desk.prompts);
    PackOptions options;
    options.archive_name = "p";
    options.password = "тайна";
    options.program_folder = desk.program;
    ASSERT_EQ(requests::pack({desk.d, {"a.txt", "sub dir"}}, options, OperationCode::PackRequest, "", direct),
              Outcome::Done);
    std::string bytes = test::read_file(desk.dir.native() / "d" / "p.kzv");
    bytes[60] ^= 1;
    test::write_file(desk.dir.native() / "d" / "bad.kzv", bytes);
  }
  const auto before = desk.tree();
  struct Case {
    const char* what;
    std::string args;
    std::optional<std::string> answer;
    std::string message;
  };
  const Case cases[] = {
      {"wrong password", desk.in_d("p.kzv") + "*<", "тайнА", std::string(msg::kWrongPassword)},
      {"damaged", desk.in_d("bad.kzv") + "*>", std::nullopt, std::string(msg::kChecksumError)},
      {"no form", desk.in_d("a.txt") + "*", std::nullopt, "Непонятный запрос в командной строке: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    desk.prompts = RecordingUi{};
    desk.prompts.answers.push_back(c.answer);
    desk.app = std::make_unique<Application>(AppOptions{fs::own_executable_path(), desk.program, &desk.prompts, {}});
    auto r = desk.app->start({c.args});
    EXPECT_FALSE(r.keep_running);
    EXPECT_EQ(r.outcome, c.what == std::string("no form") ? Outcome::Failed : Outcome::EndProgram);
    ASSERT_EQ(desk.prompts.messages.size(), 1u);
    EXPECT_TRUE(desk.prompts.messages[0].starts_with(c.message)) << desk.prompts.messages[0];
    EXPECT_EQ(desk.tree(), before);
    EXPECT_FALSE(desk.journal_left());
    EXPECT_FALSE(::IsWindowVisible(desk.app->main().hwnd()));
    desk.app->close();
  }
}

TEST(Windows, SelfExtractingRunsInTheWindows) {
  NEED_DISPLAY();
  struct Case {
    const char* what;
    std::string volume_kb;  // "" single volume
    std::string started_as;
  };
  for (const Case& c : {Case{"single", "", "sfx.exe"}, Case{"multi-volume, renamed", "40", "setup.exe"}}) {
    SCOPED_TRACE(c.what);
    TempDir place;
    Desk maker;
    maker.app->close();
    // The stub: a copy of this very program (it ends in no volume tail).
    std::filesystem::copy_file(*fs::to_native(fs::own_executable_path()),
                               maker.dir.native() / "program" / "Tarvik.sfx");
    requests::DirectDialog direct(maker.prompts);
    PackOptions options;
    options.archive_name = "sfx";
    options.password = "пароль";
    options.self_extracting = true;
    options.multi_volume = !c.volume_kb.empty();
    options.volume_size_kb = c.volume_kb;
    options.program_folder = maker.program;
    ASSERT_EQ(requests::pack({maker.d, {"a.txt", "b b.txt", "sub dir"}}, options, OperationCode::PackRequest, "", direct),
              Outcome::Done);
    // Into a folder of their own: the first volume under its new name, the later ones after it.
    const std::string base = c.started_as.substr(0, c.started_as.size() - 4);
    for (const auto& e : fs::list_directory(maker.d)) {
      if (!e.name.starts_with("sfx.")) continue;
      const std::string to = e.name.ends_with(".exe") ? c.started_as : base + e.name.substr(3);
      fs::rename_replace(maker.in_d(e.name), place.win(to));
    }
    const std::string exe = place.win(c.started_as);
    Desk run(exe);
    run.prompts.answers.push_back("пароль");
    auto r = run.app->start({"ignored*<"});
    EXPECT_TRUE(r.self_extracting);
    EXPECT_EQ(r.outcome, Outcome::Done);
    EXPECT_EQ(run.prompts.questions, std::vector<std::string>{"Введите пароль"});
    // One word at the end: where the three files went.
    EXPECT_EQ(run.prompts.messages, std::vector<std::string>{msg::files_unpacked(3, place.win())});
    EXPECT_FALSE(::IsWindowVisible(run.app->main().hwnd()));
    auto got = snapshot(place.native());
    const auto want = maker.tree();
    for (const char* name : {"a.txt", "b b.txt", "sub dir/c.txt"}) EXPECT_EQ(got[name], want.at(name)) << name;
  }
}

TEST(Windows, BarScalesBigSizes) {
  EXPECT_EQ(bar_step(0, 0, kBarRange), 0);
  EXPECT_EQ(bar_step(5, 10, kBarRange), kBarRange / 2);
  const std::uint64_t five_gib = 5ull << 30;
  EXPECT_EQ(bar_step(five_gib / 5, five_gib, kBarRange), kBarRange / 5);
  EXPECT_EQ(bar_step(five_gib * 2, five_gib, kBarRange), kBarRange);
  EXPECT_EQ(bar_step(~0ull - 1, ~0ull, kBarRange), kBarRange - 1);
}

// ---- Tarvik.exe as a program ----

namespace {

// Starts `command` (a whole command line) and waits for its end; the exit status.
int run_command(const std::wstring& command, DWORD timeout_ms = 120000) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring line = command;
  // Wine under heavy load has been seen to refuse a process start now and then: once more,
  // a moment later, before the test gives up on it.
  bool started = false;
  for (int attempt = 0; attempt < 2 && !started; ++attempt) {
    if (attempt > 0) ::Sleep(500);
    started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    if (!started) std::cerr << "CreateProcessW failed, error " << ::GetLastError() << "\n";
  }
  if (!started) return -1;
  if (!pi.hProcess) return 0;  // a Unix program under Wine: no handle to wait on
  if (::WaitForSingleObject(pi.hProcess, timeout_ms) != WAIT_OBJECT_0) ::TerminateProcess(pi.hProcess, 99);
  DWORD code = 0;
  ::GetExitCodeProcess(pi.hProcess, &code);
  ::CloseHandle(pi.hProcess);
  ::CloseHandle(pi.hThread);
  return static_cast<int>(code);
}

std::wstring in_quotes(const std::string& utf8) { return L"\"" + codepage::widen(utf8) + L"\""; }

int run_tarvik(const std::string& program, const std::string& request) {
  return run_command(in_quotes(program) + L" " + in_quotes(request));
}

// Maps drive `letter` to the folder (a Windows path of the prefix) with cmake/wine-drive, and waits
// until the drive shows a file made in the folder beforehand; false when that never happens.
bool map_drive(char letter, const TempDir& folder) {
  test::write_file(folder.native() / "mapped", "");
  run_command(in_quotes(TARVIK_WINE_DRIVE) + L" " + wchar_t(letter) + L" " + in_quotes(folder.win()));
  const std::string probe = std::string(1, letter) + ":\\mapped";
  for (int i = 0; i < 200; ++i) {
    if (fs::exists(probe)) return true;
    ::Sleep(100);
  }
  return false;
}

std::string gui_program() {
  std::string path = TARVIK_GUI;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

}  // namespace

// Explorer's Properties of Tarvik.exe show the version About shows ("Версия 1.02").
TEST(Program, CarriesItsVersionBlock) {
  const std::wstring program = codepage::widen(gui_program());
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(program.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<unsigned char> block(size);
  ASSERT_TRUE(::GetFileVersionInfoW(program.c_str(), 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(2, 1));
  EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(2, 1));
  auto text = [&](const wchar_t* name) {
    wchar_t* value = nullptr;
    UINT chars = 0;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\041904B0\\") + name;
    if (!::VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &chars)) return std::string();
    return codepage::narrow(value);
  };
  EXPECT_EQ(text(L"ProductVersion"), "1.02");
  EXPECT_EQ(text(L"FileDescription"), "Архиватор Tarvik");
  EXPECT_EQ(text(L"OriginalFilename"), "Tarvik.exe");
}

// The manifest opts into paths past 260 characters.
TEST(Program, ManifestTakesLongPaths) {
  const std::wstring program = codepage::widen(gui_program());
  HMODULE image = ::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(image, nullptr);
  HRSRC found = ::FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  ASSERT_NE(found, nullptr);
  const auto* bytes = static_cast<const char*>(::LockResource(::LoadResource(image, found)));
  const std::string manifest(bytes, ::SizeofResource(image, found));
  ::FreeLibrary(image);
  EXPECT_NE(manifest.find("<ws2:longPathAware>true</ws2:longPathAware>"), std::string::npos);
  EXPECT_NE(manifest.find("http://schemas.microsoft.com/SMI/2016/WindowsSettings"), std::string::npos);
}

TEST(Program, RequestsOnAMappedDrive) {
  NEED_DISPLAY();
  TempDir root;
  if (!map_drive('r', root)) GTEST_SKIP() << "R: could not be mapped with cmake/wine-drive";
  const std::string d = "R:\\d";
  test::write_file(root.native() / "d" / "a.txt", "первый файл");
  test::write_file(root.native() / "d" / "b.txt", test::noise(90000, 5));
  const auto before = snapshot(root.native() / "d");

  ASSERT_EQ(run_tarvik(gui_program(), d + "\\a.txt*" + d + "\\b.txt*<"), 0);
  auto archive = test::read_archive(d + "\\a.kzv");
  ASSERT_EQ(archive.records.size(), 2u);
  EXPECT_EQ(archive.records[0].path, "R:\\d\\a.txt");

  ASSERT_EQ(run_tarvik(gui_program(), d + "\\a.kzv*<"), 0);
  auto tree = snapshot(root.native() / "d");
  EXPECT_EQ(tree["a/a.txt"], before.at("a.txt"));
  EXPECT_EQ(tree["a/b.txt"], before.at("b.txt"));

  std::filesystem::remove(root.native() / "d" / "a.txt");
  std::filesystem::remove(root.native() / "d" / "b.txt");
  ASSERT_EQ(run_tarvik(gui_program(), d + "\\a.kzv*>"), 0);
  tree = snapshot(root.native() / "d");
  EXPECT_EQ(tree["a.txt"], before.at("a.txt"));
  EXPECT_EQ(tree["b.txt"], before.at("b.txt"));

  // A drive root: R:\arh.kzv*< makes R:\arh.
  std::filesystem::copy_file(root.native() / "d" / "a.kzv", root.native() / "arh.kzv");
  ASSERT_EQ(run_tarvik(gui_program(), "R:\\arh.kzv*<"), 0);
  EXPECT_EQ(test::read_file(root.native() / "arh" / "b.txt"), before.at("b.txt"));
  run_command(in_quotes(TARVIK_WINE_DRIVE) + L" r");
}

TEST(Program, SelfExtractingArchiveAsksForItsPasswordInTheInputBox) {
  NEED_DISPLAY();
  // Plain, and encrypted (the key from the password typed, the data decrypted).
  for (const bool encrypt : {false, true}) {
    SCOPED_TRACE(encrypt ? "encrypted" : "plain");
    Desk maker;
    maker.app->close();
    requests::DirectDialog direct(maker.prompts);
    PackOptions options;
    options.archive_name = "sfx";
    options.password = "пароль";
    options.encrypt = encrypt;
    options.self_extracting = true;
    options.multi_volume = true;
    options.volume_size_kb = "30";
    options.program_folder = std::string(format::folder_part(gui_program()));  // Tarvik.sfx
    ASSERT_EQ(requests::pack({maker.d, {"a.txt", "b b.txt", "sub dir"}}, options, OperationCode::PackRequest, "", direct),
              Outcome::Done);
    TempDir place;
    for (const auto& e : fs::list_directory(maker.d)) {
      if (!e.name.starts_with("sfx.")) continue;
      fs::rename_replace(maker.in_d(e.name), place.win(e.name.ends_with(".exe") ? "setup.exe" : "setup" + e.name.substr(3)));
    }
    // Answers the input box as a user would: types the password and presses OK; then reads
    // the message that ends the run and presses its OK.
    std::atomic<bool> done{false};
    std::wstring prompt, last_word;
    std::thread user([&] {
      bool answered = false;
      for (int i = 0; i < 1200 && !done; ++i) {
        HWND box = answered ? nullptr : ::FindWindowW(nullptr, L"Введите пароль");
        if (box) {
          wchar_t text[512] = {};
          ::GetDlgItemTextW(box, IDC_INPUT_PROMPT, text, 512);
          prompt = text;
          ::SetDlgItemTextW(box, IDC_INPUT_EDIT, L"пароль");
          ::SendMessageW(box, WM_COMMAND, IDOK, 0);
          answered = true;
        }
        HWND message = answered ? ::FindWindowW(L"#32770", L"Tarvik") : nullptr;
        if (message) {
          wchar_t text[1024] = {};
          ::GetDlgItemTextW(message, 0xFFFF, text, 1024);  // the text of a message box
          last_word = text;
          ::PostMessageW(message, WM_COMMAND, IDOK, 0);
          done = true;
        }
        ::Sleep(100);
      }
    });
    const int status = run_command(in_quotes(place.win("setup.exe")) + L" ignored*<");
    done = true;
    user.join();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(codepage::narrow(last_word), msg::files_unpacked(3, place.win()));
    // The box names the archive it asks for.
    EXPECT_EQ(codepage::narrow(prompt).starts_with(msg::password_prompt("")), true) << codepage::narrow(prompt);
    EXPECT_TRUE(codepage::narrow(prompt).ends_with("\\setup.exe")) << codepage::narrow(prompt);
    auto got = snapshot(place.native());
    const auto want = maker.tree();
    for (const char* name : {"a.txt", "b b.txt", "sub dir/c.txt"}) EXPECT_EQ(got[name], want.at(name)) << name;
  }
}

// ---- Tarvik.exe killed mid-run, and the next start ----

namespace {

// A program started with TARVIK_HOLD_AT naming an item: it is held when that item begins and
// sets the event "Local\TarvikHeld.<its process id>" (console.h).
struct HeldRun {
  PROCESS_INFORMATION pi{};
  HANDLE held = nullptr;

  HeldRun(const std::wstring& command, const std::string& hold_at) {
    test::ScopedEnv env("TARVIK_HOLD_AT", hold_at);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring line = command;
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      std::cerr << "CreateProcessW failed, error " << ::GetLastError() << "\n";
      return;
    }
    const std::wstring name = L"Local\\TarvikHeld." + std::to_wstring(pi.dwProcessId);
    held = ::CreateEventW(nullptr, TRUE, FALSE, name.c_str());
  }
  ~HeldRun() {
    if (pi.hProcess) {
      ::TerminateProcess(pi.hProcess, 99);
      ::WaitForSingleObject(pi.hProcess, 30000);
      ::CloseHandle(pi.hProcess);
      ::CloseHandle(pi.hThread);
    }
    if (held) ::CloseHandle(held);
  }
  // True once the run is held; false when it ended first (or the guard ran out).
  bool wait_held(DWORD guard_ms = 120000) {
    if (!pi.hProcess || !held) return false;
    HANDLE both[2] = {held, pi.hProcess};
    return ::WaitForMultipleObjects(2, both, FALSE, guard_ms) == WAIT_OBJECT_0;
  }
  // Ends the process as the task manager does; its exit status.
  int kill() {
    ::TerminateProcess(pi.hProcess, 9);
    return wait_end();
  }
  int wait_end(DWORD guard_ms = 120000) {
    if (::WaitForSingleObject(pi.hProcess, guard_ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(pi.hProcess, &code);
    return static_cast<int>(code);
  }
};

// The visible top-level windows of process `pid`.
struct WindowsOf {
  DWORD pid;
  std::vector<HWND> windows;
};

BOOL CALLBACK collect_window(HWND hwnd, LPARAM param) {
  auto& found = *reinterpret_cast<WindowsOf*>(param);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(hwnd, &owner);
  if (owner == found.pid && ::IsWindowVisible(hwnd)) found.windows.push_back(hwnd);
  return TRUE;
}

std::vector<HWND> windows_of(DWORD pid) {
  WindowsOf found{pid, {}};
  ::EnumWindows(collect_window, reinterpret_cast<LPARAM>(&found));
  return found.windows;
}

// Tarvik.exe started with no request: the texts of the message boxes it shows (each answered
// with OK), its other windows closed as they appear; its exit status.
int start_without_request(std::vector<std::string>& messages) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring line = in_quotes(gui_program());
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return -1;
  const auto guard = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (::WaitForSingleObject(pi.hProcess, 50) == WAIT_TIMEOUT) {
    if (std::chrono::steady_clock::now() > guard) {
      ::TerminateProcess(pi.hProcess, 99);
      break;
    }
    for (HWND w : windows_of(pi.dwProcessId)) {
      wchar_t cls[64] = {};
      ::GetClassNameW(w, cls, 64);
      HWND text = ::GetDlgItem(w, 0xFFFF);  // a message box's text
      if (std::wstring(cls) == L"#32770" && text) {
        messages.push_back(window_text(text));
        ::SendMessageW(w, WM_COMMAND, IDOK, 0);
      } else if (messages.empty()) {
        continue;  // the main window waits until the recovery has been told
      } else {
        ::PostMessageW(w, WM_CLOSE, 0, 0);
      }
    }
  }
  DWORD code = 0;
  ::GetExitCodeProcess(pi.hProcess, &code);
  ::CloseHandle(pi.hProcess);
  ::CloseHandle(pi.hThread);
  return static_cast<int>(code);
}

bool journal_in(const std::string& folder) {
  for (const auto& e : fs::list_directory(folder))
    if (format::is_journal_file_name(e.name)) return true;
  return false;
}

std::string program_folder() { return std::string(format::folder_part(gui_program())); }

}  // namespace

// Killed mid-unpack over the user's older files, then mid-pack over the volumes of an older
// archive: the next start, with no request, rolls the dead run back and says so in one sentence;
// the folder is byte for byte as it was.
TEST(Program, KilledRunIsRolledBackByTheNextStart) {
  NEED_DISPLAY();
  ASSERT_FALSE(journal_in(program_folder())) << "a journal of another run waits in the program folder";
  TempDir dir;
  const std::string w = dir.win("w");
  const std::vector<std::string> names = {"n1.bin", "n2.bin", "n3.bin"};
  for (std::size_t i = 0; i < names.size(); ++i)
    test::write_file(dir.native() / "w" / names[i], test::noise(400000, 10 + static_cast<unsigned>(i)));
  ASSERT_EQ(run_tarvik(gui_program(), w + "\\n1.bin*" + w + "\\n2.bin*" + w + "\\n3.bin*<"), 0);
  // The user's own, older files of the same names.
  for (std::size_t i = 0; i < names.size(); ++i)
    test::write_file(dir.native() / "w" / names[i], test::noise(300000, 20 + static_cast<unsigned>(i)));

  struct Case {
    const char* what;
    std::function<void()> prepare;
    std::function<std::unique_ptr<HeldRun>()> start;
  };
  const std::vector<Case> cases = {
      {"unpack here over older files", [] {},
       [&] {
         return std::make_unique<HeldRun>(in_quotes(gui_program()) + L" " + in_quotes(w + "\\n1.kzv*>"),
                                          "n3.bin");
       }},
      {"pack over the volumes of an older archive",
       // Older volumes old.001.kzv ... of two of the files (tarvikc.exe packs the items of the
       // current folder).
       [&] { EXPECT_EQ(run_command(in_quotes(TARVIK_CLI) + L" pack -n old -v 64 n1.bin n2.bin"), 0); },
       // The main window at w with the files selected, volumes of 64 KB named "old", and
       // "Упаковать".
       [&] {
         auto run = std::make_unique<HeldRun>(
             in_quotes(gui_program()) + L" " +
                 in_quotes(w + "\\n1.bin*" + w + "\\n2.bin*" + w + "\\n3.bin*>"),
             "n2.bin");
         HWND main = nullptr;
         for (int i = 0; i < 1200 && !main; ++i) {
           // Ready once its list shows the three files selected.
           for (HWND h : windows_of(run->pi.dwProcessId))
             if (HWND list = ::GetDlgItem(h, IDC_SHELLLISTVIEW1);
                 list && ::SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) == 3)
               main = h;
           if (!main && ::WaitForSingleObject(run->pi.hProcess, 100) != WAIT_TIMEOUT) break;
         }
         if (!main) return run;
         ::SendMessageW(::GetDlgItem(main, IDC_EDIT1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"old"));
         ::SendMessageW(::GetDlgItem(main, IDC_CHECKBOX2), BM_SETCHECK, BST_CHECKED, 0);
         ::SendMessageW(::GetDlgItem(main, IDC_MASKEDIT2), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"64"));
         ::PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDC_MAIN_BITBTN5, BN_CLICKED),
                        reinterpret_cast<LPARAM>(::GetDlgItem(main, IDC_MAIN_BITBTN5)));
         return run;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::set_current_directory(w);
    c.prepare();
    const test::Tree before = snapshot(dir.native() / "w");
    const std::unique_ptr<HeldRun> run = c.start();
    if (!run->wait_held()) {
      std::string shown;  // what the program shows instead, if anything
      for (HWND h : windows_of(run->pi.dwProcessId))
        shown += window_text(h) + " | " + window_text(::GetDlgItem(h, 0xFFFF)) + "\n";
      FAIL() << "the run did not reach its hold point; its windows:\n" << shown;
    }
    EXPECT_EQ(run->kill(), 9);
    EXPECT_NE(snapshot(dir.native() / "w"), before) << "killed before it changed anything";
    EXPECT_TRUE(journal_in(program_folder()));

    std::vector<std::string> messages;
    start_without_request(messages);
    ASSERT_EQ(messages.size(), 1u) << ::testing::PrintToString(messages);
    EXPECT_TRUE(messages[0].starts_with("Найден журнал прерванной операции ")) << messages[0];
    EXPECT_TRUE(messages[0].ends_with("а заменённые ею файлы возвращены.")) << messages[0];
    EXPECT_EQ(snapshot(dir.native() / "w"), before);
    EXPECT_FALSE(journal_in(program_folder()));
  }
  fs::set_current_directory(program_folder());
}
