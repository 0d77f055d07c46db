#include "app/application.h"

#include <commctrl.h>

#include "format/names.h"
#include "platform/fs.h"
#include "platform/registry.h"
#include "registration/registration.h"

namespace tarvik::app {

int exit_status(Outcome outcome) {
  switch (outcome) {
    case Outcome::Done:
      return 0;
    case Outcome::Aborted:
      return 3;
    default:
      return 1;
  }
}

Application::Application(AppOptions options)
    : options_(std::move(options)), prompts_(options_.prompts ? *options_.prompts : window_prompts_) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  main_ = std::make_unique<TMain>();
  view_ = std::make_unique<TViewArhiv>(main_->hwnd(), prompts_, [this] { close(); });
  main_->set_browser(*view_);
  bar_ = std::make_unique<TBar>(main_->hwnd(), prompts_);
  view_->set_progress_dialog(*bar_);
  about_ = std::make_unique<TAbout>(main_->hwnd());
  help_ = std::make_unique<TFmHelp>(main_->hwnd());
  window_prompts_.set_owner(main_->hwnd());
  main_->attach({bar_.get(), &prompts_, about_.get(), help_.get(),
                 options_.registry ? options_.registry : &registry::system_registry(),
                 options_.own_executable, options_.program_folder});
}

Application::~Application() = default;

requests::StartResult Application::start(const std::vector<std::string>& args) {
  requests::StartUp s{options_.own_executable, options_.program_folder, *main_, *bar_, prompts_,
                      options_.register_program};
  return requests::start(args, s);
}

void Application::run_loop() {
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (take_key(msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

bool Application::take_key(MSG& msg) {
  // Tab and the arrow keys move between the main window's controls; Alt and a letter press
  // the button whose caption underlines it.
  HWND main = main_->hwnd();
  if (!main) return false;
  if (msg.message == WM_SYSCHAR && (msg.hwnd == main || ::IsChild(main, msg.hwnd)) &&
      click_accelerator(main, static_cast<wchar_t>(msg.wParam)))
    return true;
  return ::IsDialogMessageW(main, &msg);
}

void Application::close() {
  if (main_->hwnd()) ::DestroyWindow(main_->hwnd());
}

int run_program(const std::vector<std::string>& args) {
  AppOptions options;
  options.own_executable = fs::own_executable_path();
  options.program_folder = std::string(format::folder_part(options.own_executable));
  options.register_program = [own = options.own_executable] {
    shell::RegistryStartup(registry::system_registry(), own);
  };
  Application app(std::move(options));
  const requests::StartResult result = app.start(args);
  if (!result.keep_running) {
    app.close();
    return exit_status(result.outcome);
  }
  app.run_loop();
  return 0;
}

}  // namespace tarvik::app
