// Helpers of the tests that open real windows (the program's and the context menu's), under
// Wine with a (virtual) X display.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <utility>

namespace tarvik::test {

// Under Wine the windows need an X display; scripts/test starts a virtual one.
inline bool no_display() {
  const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return wine && ::GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) == 0;
}
#define NEED_DISPLAY()              \
  if (::tarvik::test::no_display()) \
  GTEST_SKIP() << "no display: run through scripts/test, which starts Xvfb"

// The dots per inch the window is drawn at.
inline int dpi_of(HWND hwnd) {
  HDC dc = ::GetDC(hwnd);
  const int dpi = dc ? ::GetDeviceCaps(dc, LOGPIXELSX) : 96;
  if (dc) ::ReleaseDC(hwnd, dc);
  return dpi;
}

// Calls `tick` every `ms` milliseconds from whatever message loop the window thread runs (a
// modal dialog's, the progress dialog's) until it returns true. A tick that opens a loop of its
// own is not entered again meanwhile.
class Ticker {
 public:
  Ticker(UINT ms, std::function<bool()> tick) : tick_(std::move(tick)) {
    current() = this;
    id_ = ::SetTimer(nullptr, 0, ms, &Ticker::proc);
  }
  Ticker(const Ticker&) = delete;
  Ticker& operator=(const Ticker&) = delete;
  ~Ticker() {
    ::KillTimer(nullptr, id_);
    current() = nullptr;
  }
  bool done() const { return done_; }

 private:
  static Ticker*& current() {
    static Ticker* t = nullptr;
    return t;
  }
  static void CALLBACK proc(HWND, UINT, UINT_PTR id, DWORD) {
    Ticker* t = current();
    if (!t || t->done_ || id != t->id_ || t->busy_) return;
    t->busy_ = true;
    t->done_ = t->tick_();
    t->busy_ = false;
  }
  std::function<bool()> tick_;
  UINT_PTR id_ = 0;
  bool done_ = false;
  bool busy_ = false;
};

}  // namespace tarvik::test
