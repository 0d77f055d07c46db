// TBar, the progress dialog: every long operation runs under it. Caption "Tarvik ", no close
// box; Label2 (the operation), Label1 (the file in hand), a smooth bar, "Прервать" (Abort)
// and "Свернуть" (Minimise). A text longer than its label is shortened in the middle, around
// an ellipsis, never cut at its end.
//
// The operation runs on a worker thread while the dialog runs its own message loop, so the
// dialog repaints and its buttons work however long one block of work takes. The worker talks
// to the dialog only through the Ui it is given: labels and bar are stored and drawn by a
// refresh timer; messages and questions are carried to the window's thread and answered
// there; pump() reports Abort. When the operation has returned, the one-shot Timer1 (10 ms)
// ends the dialog's loop and hides it; a minimised dialog is restored by the next run.
//
// Keys: "Свернуть" has the focus and is the default button, so Enter, Space and Esc minimise;
// "Прервать" is no tab stop and takes a click or Alt+П, never a key pressed by accident.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "app/window.h"
#include "requests/operations.h"

namespace tarvik::app {

// The bar's range in steps: positions in bytes are scaled to it (bar_step), so selections over
// 2 GiB move the bar as well as small ones.
inline constexpr int kBarRange = 10000;

class TBar final : public Dialog, public requests::ProgressDialog {
 public:
  // `prompts` shows the operation's messages and questions (on the window's thread).
  TBar(HWND owner, Ui& prompts);
  ~TBar() override;

  // Label2 as a caller presets it ("Упаковка", "Распаковка"); the runner replaces it.
  void preset_caption(std::string_view text);
  Outcome run(const RunRequest& request, std::uint64_t total,
              const std::function<Outcome(Operation&)>& operation) override;
  bool running() const { return running_; }
  // Abort was asked in the run under way (or the last one).
  bool abort_asked() const { return abort_; }

 protected:
  INT_PTR handle(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  class WorkerUi;
  void FormCreate();
  void BitBtn1Click();
  void BitBtn2Click();
  void Timer1Timer();
  void OperationDone();
  void refresh();
  // Runs `call` on the dialog's thread and waits for it.
  void on_window_thread(const std::function<void()>& call);

  HWND owner_;
  Ui& prompts_;
  std::unique_ptr<WorkerUi> worker_ui_;
  std::atomic<bool> abort_{false};
  std::atomic<bool> finished_{false};
  bool running_ = false;
  bool closed_ = false;
  Outcome outcome_ = Outcome::Done;

  std::mutex mutex_;  // guards the texts below
  std::string caption_, item_;
  bool texts_changed_ = false;
  std::atomic<std::uint64_t> position_{0}, max_{0};
  int shown_step_ = -1;
};

}  // namespace tarvik::app
