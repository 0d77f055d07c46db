// Tarvik.exe: the Windows program.
#include <windows.h>
#include <shellapi.h>

#include <exception>
#include <string>
#include <vector>

#include "app/application.h"
#include "format/messages.h"
#include "platform/codepage.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::vector<std::string> args;
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  for (int i = 1; argv && i < argc; ++i) args.push_back(tarvik::codepage::narrow(argv[i]));
  if (argv) ::LocalFree(argv);
  try {
    return tarvik::app::run_program(args);
  } catch (const std::exception& e) {
    tarvik::app::report_exception(nullptr, e.what());
  } catch (...) {
    tarvik::app::report_exception(nullptr, std::string(tarvik::msg::kUnexpectedError).c_str());
  }
  return 1;
}
