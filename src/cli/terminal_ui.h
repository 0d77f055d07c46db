// The console's Ui: messages on stderr, the password question on the terminal without echo
// (or the answer given with -p), a progress bar with bytes and the current file name when
// stderr is a terminal, and Ctrl-C as Abort.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/ui.h"

namespace tarvik::cli {

class TerminalUi : public Ui {
 public:
  explicit TerminalUi(std::optional<std::string> password = std::nullopt);
  ~TerminalUi() override;

  void show_message(std::string_view text) override;
  std::optional<std::string> ask(std::string_view title, std::string_view prompt) override;
  void set_caption(std::string_view text) override;
  void set_item(std::string_view text) override;
  void set_progress_max(std::uint64_t max) override;
  void set_progress(std::uint64_t position) override;
  void advance(std::uint64_t bytes) override;
  bool pump() override;

  // Clears the progress line (before other output).
  void clear_line();

 private:
  void draw(bool force);

  std::optional<std::string> password_;
  bool bar_;
  std::string caption_, item_;
  std::uint64_t max_ = 0, position_ = 0;
  std::chrono::steady_clock::time_point last_draw_{};
  bool line_shown_ = false;
};

}  // namespace tarvik::cli
