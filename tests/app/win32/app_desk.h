// The ground of every in-process test of the windows: a temporary folder, a program folder
// for the journal, the message boxes and the password box scripted, and the application with
// its five windows; closed at the end, the current folder given back.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "app/application.h"
#include "format/names.h"
#include "platform/fs.h"
#include "test_support.h"

namespace tarvik::test {

struct AppDesk {
  TempDir dir;
  std::string program = dir.win("program");
  RecordingUi prompts;
  std::unique_ptr<app::Application> app;

  AppDesk() { fs::create_directory(program); }
  AppDesk(const AppDesk&) = delete;
  AppDesk& operator=(const AppDesk&) = delete;
  ~AppDesk() {
    if (app) app->close();
    app.reset();
    fs::set_current_directory(std::string(format::folder_part(fs::own_executable_path())));
  }

  // Creates the application with `options` (the running test program when they name no
  // executable), this desk's program folder and prompts.
  void open(app::AppOptions options = {}) {
    // A closed window of an earlier test posted the end of the program: not ours.
    MSG quit;
    while (::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    if (options.own_executable.empty()) options.own_executable = fs::own_executable_path();
    options.program_folder = program;
    options.prompts = &prompts;
    app = std::make_unique<app::Application>(options);
  }

  // A journal of any run left in the program folder.
  bool journal_left() const {
    for (const auto& e : fs::list_directory(program))
      if (format::is_journal_file_name(e.name)) return true;
    return false;
  }
};

}  // namespace tarvik::test
