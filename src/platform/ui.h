// The seam through which operations talk to the user: messages, the one-line question, the
// progress dialog's two labels and bar, and pump() that serves pending work and reports Abort.
// All text is UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik {

class Ui {
 public:
  virtual ~Ui() = default;
  // A message box with one of the system's texts.
  virtual void show_message(std::string_view text) = 0;
  // A one-line input box; nullopt when cancelled.
  virtual std::optional<std::string> ask(std::string_view title, std::string_view prompt) = 0;
  // The progress dialog: Label2 (operation), Label1 (current item), the bar.
  virtual void set_caption(std::string_view text) = 0;
  virtual void set_item(std::string_view text) = 0;
  virtual void set_progress_max(std::uint64_t max) = 0;
  virtual void set_progress(std::uint64_t position) = 0;
  virtual void advance(std::uint64_t bytes) = 0;
  // Serves pending work (repaints, button presses); true once Abort was asked.
  virtual bool pump() = 0;
};

// The step of a bar of `range` steps that `position` of `max` bytes reaches: 64-bit byte counts
// scaled for a progress bar that holds 32-bit positions; 0 when max is 0, never past the end.
inline int bar_step(std::uint64_t position, std::uint64_t max, int range) {
  if (max == 0 || range <= 0) return 0;
  if (position >= max) return range;
  const auto step = static_cast<long double>(position) * range / static_cast<long double>(max);
  return step >= range ? range - 1 : static_cast<int>(step);
}

// A Ui that shows nothing and never aborts.
class SilentUi : public Ui {
 public:
  void show_message(std::string_view) override {}
  std::optional<std::string> ask(std::string_view, std::string_view) override { return std::nullopt; }
  void set_caption(std::string_view) override {}
  void set_item(std::string_view) override {}
  void set_progress_max(std::uint64_t) override {}
  void set_progress(std::uint64_t) override {}
  void advance(std::uint64_t) override {}
  bool pump() override { return false; }
};

// A Ui that hands everything on to another one: the base of a Ui that changes one part of it.
class ForwardingUi : public Ui {
 public:
  explicit ForwardingUi(Ui& inner) : inner_(inner) {}
  void show_message(std::string_view text) override { inner_.show_message(text); }
  std::optional<std::string> ask(std::string_view title, std::string_view prompt) override {
    return inner_.ask(title, prompt);
  }
  void set_caption(std::string_view text) override { inner_.set_caption(text); }
  void set_item(std::string_view text) override { inner_.set_item(text); }
  void set_progress_max(std::uint64_t max) override { inner_.set_progress_max(max); }
  void set_progress(std::uint64_t position) override { inner_.set_progress(position); }
  void advance(std::uint64_t bytes) override { inner_.advance(bytes); }
  bool pump() override { return inner_.pump(); }

 protected:
  Ui& inner() { return inner_; }

 private:
  Ui& inner_;
};

}  // namespace tarvik
