// Message boxes and the one-line input box: the part of the Ui seam that asks the user
// something. The windows call it through a Ui, so tests script it.
#pragma once

#include <windows.h>

#include "platform/ui.h"

namespace tarvik::app {

// show_message: a message box with the application title "Tarvik" and one OK button; ask:
// the input box with the title as its caption (the typed text is masked: it is only ever a
// password). The progress methods do nothing. Owned by `owner()` when it is visible.
class WindowPrompts final : public SilentUi {
 public:
  void set_owner(HWND owner) { owner_ = owner; }
  void show_message(std::string_view text) override;
  std::optional<std::string> ask(std::string_view title, std::string_view prompt) override;

 private:
  HWND owner_ = nullptr;
};

}  // namespace tarvik::app
