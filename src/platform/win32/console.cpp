#include "platform/console.h"

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "platform/codepage.h"

namespace tarvik::console {

namespace {
std::atomic<bool> g_interrupted{false};

// Set when main returns (atexit), so that a closing console waits for the rollback.
HANDLE g_finished = nullptr;
// Windows ends the process some 5 seconds after a close event whatever the handler does.
constexpr DWORD kCloseGraceMs = 4500;

void signal_finished() {
  if (g_finished != nullptr) ::SetEvent(g_finished);
}

BOOL WINAPI on_control(DWORD type) {
  g_interrupted = true;
  if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) return TRUE;
  // Closing the console, logging off, shutting down: the process ends when this returns, so
  // the run is given the time to roll back first.
  if (g_finished != nullptr) ::WaitForSingleObject(g_finished, kCloseGraceMs);
  return TRUE;
}

bool is_console(HANDLE h) {
  DWORD mode;
  return h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
}

void write_to(DWORD which, std::string_view utf8) {
  HANDLE h = GetStdHandle(which);
  if (h == INVALID_HANDLE_VALUE || h == nullptr) return;
  if (is_console(h)) {
    std::wstring wide = codepage::widen(utf8);
    DWORD written;
    WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  // Redirected output is UTF-8.
  DWORD written;
  WriteFile(h, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}
}  // namespace

std::vector<std::string> arguments(int, char**) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(codepage::narrow(wide[i]));
  LocalFree(wide);
  return args;
}

void write_out(std::string_view utf8) { write_to(STD_OUTPUT_HANDLE, utf8); }
void write_err(std::string_view utf8) { write_to(STD_ERROR_HANDLE, utf8); }
bool stderr_is_terminal() { return is_console(GetStdHandle(STD_ERROR_HANDLE)); }

int terminal_width() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
    return info.srWindow.Right - info.srWindow.Left + 1;
  return 80;
}

std::optional<std::string> read_line(std::string_view prompt, bool hidden) {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  if (is_console(in)) {
    write_err(prompt);
    DWORD mode = 0;
    GetConsoleMode(in, &mode);
    if (hidden) SetConsoleMode(in, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    std::wstring line;
    wchar_t c;
    DWORD n;
    bool any = false;
    while (ReadConsoleW(in, &c, 1, &n, nullptr) && n == 1) {
      any = true;
      if (c == L'\n') break;
      if (c != L'\r') line += c;
    }
    SetConsoleMode(in, mode);
    if (hidden) write_err("\n");
    if (!any || g_interrupted) return std::nullopt;
    return codepage::narrow(line);
  }
  std::string line;
  char c;
  DWORD n;
  bool any = false;
  while (ReadFile(in, &c, 1, &n, nullptr) && n == 1) {
    any = true;
    if (c == '\n') break;
    line += c;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (!any) return std::nullopt;
  return line;
}

void catch_interrupt() {
  if (g_finished == nullptr) {
    g_finished = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atexit(signal_finished);
  }
  SetConsoleCtrlHandler(on_control, TRUE);
}
bool interrupted() { return g_interrupted; }

bool native_paths() { return false; }

// Windows has no SIGSTOP: the thread that reaches the point sets the event
// "Local\TarvikHeld.<process id>" and waits there until the console asks to stop (Ctrl-C, the
// console closed), for ever otherwise: the test ends the process or closes its console.
void hold_point(std::string_view item) {
  static const std::string hold_at = [] {
    wchar_t value[512];
    const DWORD n = ::GetEnvironmentVariableW(L"TARVIK_HOLD_AT", value, 512);
    return n > 0 && n < 512 ? codepage::narrow(std::wstring(value, n)) : std::string();
  }();
  if (hold_at.empty() || item != hold_at) return;
  const std::wstring name = L"Local\\TarvikHeld." + std::to_wstring(::GetCurrentProcessId());
  if (HANDLE held = ::CreateEventW(nullptr, TRUE, FALSE, name.c_str())) ::SetEvent(held);
  while (!g_interrupted) ::Sleep(10);
}

std::string absolute_path(const std::string& argument) {
  std::wstring wide = codepage::widen(argument);
  DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  std::wstring full(n, L'\0');
  n = GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
  full.resize(n);
  for (auto& ch : full)
    if (ch == L'/') ch = L'\\';
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  return codepage::narrow(full);
}

}  // namespace tarvik::console
