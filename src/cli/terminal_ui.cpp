#include "cli/terminal_ui.h"

#include <cstdio>

#include "format/messages.h"
#include "format/printable.h"
#include "platform/codepage.h"
#include "platform/console.h"

namespace tarvik::cli {

namespace {
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr int kBarWidth = 24;

// The last `width` code points of `s`.
std::string tail_code_points(std::string_view s, std::size_t width) {
  std::size_t total = codepage::code_points(s);
  if (total <= width) return std::string(s);
  std::size_t skip = total - width, seen = 0, i = 0;
  for (; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
      if (seen == skip) break;
      ++seen;
    }
  }
  return "…" + std::string(s.substr(i));
}

std::string megabytes(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}
}  // namespace

TerminalUi::TerminalUi(std::optional<std::string> password)
    : password_(std::move(password)), bar_(console::stderr_is_terminal()) {}

TerminalUi::~TerminalUi() { clear_line(); }

void TerminalUi::clear_line() {
  if (!line_shown_) return;
  console::write_err("\r\x1b[K");
  line_shown_ = false;
}

void TerminalUi::show_message(std::string_view text) {
  clear_line();
  // The system's texts break lines with LF CR (some with LF alone); a terminal wants LF alone.
  // Within the lines nothing may steer the terminal, whoever built the message.
  std::string shown;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find('\n', start);
    shown += format::printable(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) break;
    shown += '\n';
    start = end + 1;
    if (start < text.size() && text[start] == '\r') ++start;
  }
  console::write_err(shown + "\n");
}

std::optional<std::string> TerminalUi::ask(std::string_view title, std::string_view) {
  clear_line();
  if (password_) return password_;
  return console::read_line(std::string(title) + ": ", /*hidden=*/true);
}

void TerminalUi::set_caption(std::string_view text) {
  caption_ = format::printable(text);
  draw(false);
}
void TerminalUi::set_item(std::string_view text) {
  console::hold_point(text);
  item_ = format::printable(text);
  draw(false);
}
void TerminalUi::set_progress_max(std::uint64_t max) { max_ = max; }
void TerminalUi::set_progress(std::uint64_t position) { position_ = position; draw(false); }
void TerminalUi::advance(std::uint64_t bytes) { position_ += bytes; draw(false); }

bool TerminalUi::pump() {
  draw(false);
  return console::interrupted();
}

void TerminalUi::draw(bool force) {
  if (!bar_) return;
  auto now = std::chrono::steady_clock::now();
  if (!force && now - last_draw_ < kRedrawEvery) return;
  last_draw_ = now;
  std::uint64_t shown = max_ == 0 ? 0 : std::min(position_, max_);
  int filled = max_ == 0 ? 0 : static_cast<int>(shown * kBarWidth / max_);
  std::string line = "\r" + caption_ + " [" + std::string(filled, '#') +
                     std::string(kBarWidth - filled, '-') + "] " + megabytes(position_) + "/" +
                     megabytes(max_) + " " + std::string(msg::kMegabytes) + " ";
  int width = console::terminal_width() - 1;
  int room = width - static_cast<int>(codepage::code_points(line));
  if (room > 4) line += tail_code_points(item_, static_cast<std::size_t>(room));
  console::write_err(line + "\x1b[K");
  line_shown_ = true;
}

}  // namespace tarvik::cli
