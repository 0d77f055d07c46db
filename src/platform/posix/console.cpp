#include "platform/console.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "platform/fs.h"

namespace tarvik::console {

namespace {
std::atomic<bool> g_interrupted{false};

void on_interrupt(int) { g_interrupted = true; }

void write_all(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
}
}  // namespace

std::vector<std::string> arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void write_out(std::string_view utf8) { write_all(STDOUT_FILENO, utf8); }
void write_err(std::string_view utf8) { write_all(STDERR_FILENO, utf8); }
bool stderr_is_terminal() { return ::isatty(STDERR_FILENO) == 1; }

int terminal_width() {
  winsize ws{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return 80;
}

std::optional<std::string> read_line(std::string_view prompt, bool hidden) {
  bool terminal = ::isatty(STDIN_FILENO) == 1;
  if (terminal) write_err(prompt);
  termios saved{};
  bool echo_off = terminal && hidden && ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (echo_off) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  std::string line;
  bool got_any = false;
  for (;;) {
    char c;
    ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n < 0 && errno == EINTR && !g_interrupted) continue;
    if (n <= 0) break;
    got_any = true;
    if (c == '\n') break;
    line += c;
  }
  if (echo_off) {
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    write_err("\n");
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (g_interrupted || !got_any) return std::nullopt;
  return line;
}

// Ctrl-C, a termination request and the loss of the terminal all end a run the same way:
// as Abort, rolled back.
void catch_interrupt() {
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a pending read returns
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
  // With the terminal gone, writing to it must not end the process before it rolls back.
  ::signal(SIGPIPE, SIG_IGN);
}

bool interrupted() { return g_interrupted; }

bool native_paths() { return true; }

void hold_point(std::string_view item) {
  static const char* const hold_at = std::getenv("TARVIK_HOLD_AT");
  if (hold_at != nullptr && *hold_at != '\0' && item == hold_at) ::raise(SIGSTOP);
}

std::string absolute_path(const std::string& argument) {
  std::filesystem::path p = std::filesystem::absolute(argument).lexically_normal();
  std::string text = p.string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return fs::from_native(text);
}

}  // namespace tarvik::console
