// The archive browser TViewArhiv ("Содержимое архива"), created once at start, hidden, and kept
// for the run.
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

}  // namespace tarvik::app
