// The windows that later work fills: the archive browser TViewArhiv ("Содержимое архива"),
// and the About and Help dialogs TAbout ("О программе") and TFmHelp ("Помощь"). Each is
// created once at start, hidden, and kept for the run.
#pragma once

#include <string>

#include "app/window.h"

namespace tarvik::app {

class TViewArhiv final : public Window {
 public:
  explicit TViewArhiv(HWND owner);
  // Shows the archive at `archive` (a full path) in the browser, modally: asks its password,
  // lists its top level; returns when the browser is closed.
  void show_archive(const std::string& archive);
};

class TAbout final : public Dialog {
 public:
  explicit TAbout(HWND owner);

 protected:
  INT_PTR handle(UINT message, WPARAM wparam, LPARAM lparam) override;
};

class TFmHelp final : public Dialog {
 public:
  explicit TFmHelp(HWND owner);

 protected:
  INT_PTR handle(UINT message, WPARAM wparam, LPARAM lparam) override;
};

}  // namespace tarvik::app
