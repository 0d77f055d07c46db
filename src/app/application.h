// The program Tarvik.exe: its five windows, created once in this order and kept for the run
// (TMain, TViewArhiv, TBar, TAbout, TFmHelp), the start-up dispatch, and the message loop.
// Message boxes and the input box go through a Ui, so tests can script them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/bar.h"
#include "app/browser_window.h"
#include "app/info_dialogs.h"
#include "app/main_window.h"
#include "app/prompts.h"
#include "requests/dispatch.h"

namespace tarvik::app {

struct AppOptions {
  std::string own_executable;  // the running file (a self-extracting archive or not)
  std::string program_folder;  // the journal's folder
  Ui* prompts = nullptr;       // message boxes and the input box; none: the real ones
  std::function<void()> register_program;  // the start-up registration; none in tests
  registry::Registry* registry = nullptr;  // of the menu's commands; none: the system's
};

// Exit status of the program: 0 done (or the main window closed by the user), 1 failed,
// 3 aborted.
int exit_status(Outcome outcome);

class Application {
 public:
  explicit Application(AppOptions options);
  ~Application();

  // The start-up dispatch for `args`; the main window is shown in the modes that show it.
  requests::StartResult start(const std::vector<std::string>& args);
  // The message loop until the main window closes.
  void run_loop();
  // What the loop does with a message before it is dispatched: Tab, the arrow keys and the
  // Alt accelerators of the main window's controls. true when it was taken.
  bool take_key(MSG& msg);
  // Closes the main window (the program ends with the loop).
  void close();

  TMain& main() { return *main_; }
  TViewArhiv& view() { return *view_; }
  TBar& bar() { return *bar_; }
  TAbout& about() { return *about_; }
  TFmHelp& help() { return *help_; }

 private:
  AppOptions options_;
  WindowPrompts window_prompts_;
  Ui& prompts_;
  std::unique_ptr<TMain> main_;
  std::unique_ptr<TViewArhiv> view_;
  std::unique_ptr<TBar> bar_;
  std::unique_ptr<TAbout> about_;
  std::unique_ptr<TFmHelp> help_;
};

// The whole program: the windows, the dispatch of the command line, the loop; the exit status.
int run_program(const std::vector<std::string>& args);

}  // namespace tarvik::app
