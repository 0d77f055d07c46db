// The shape of every window of the program: a static window (or dialog) procedure forwards to
// a member of the object that owns the window, which handles one message per named handler.
// Nothing thrown crosses the procedure: an exception ends in a message box naming it.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tarvik::app {

// Text of the string table, UTF-8.
std::string load_string(UINT id);
std::string window_text(HWND hwnd);
void set_window_text(HWND hwnd, std::string_view utf8);
// Alt and a letter: clicks the visible, enabled button (or check box) of `parent` whose caption
// marks that letter with "&", case ignored as the user's locale has it. true when one was.
// (The dialog manager's own search compares only Latin letters without regard to case under
// some systems; ours takes Cyrillic as well.)
bool click_accelerator(HWND parent, wchar_t letter);
// The last-resort report of an exception that reached a window procedure.
void report_exception(HWND owner, const char* what) noexcept;

// A window of a registered class. Derived classes implement handle().
class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window();
  HWND hwnd() const { return hwnd_; }

 protected:
  // Registers `class_name` once (with the program's icon) and creates the window.
  void create(const wchar_t* class_name, DWORD style, DWORD ex_style, std::string_view caption,
              HWND owner);
  virtual LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);

 private:
  static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  HWND hwnd_ = nullptr;
};

// A modeless dialog made from a template of the resources, created once and kept.
class Dialog {
 public:
  Dialog() = default;
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;
  virtual ~Dialog();
  HWND hwnd() const { return hwnd_; }
  HWND item(int id) const { return ::GetDlgItem(hwnd_, id); }
  // Shows the dialog modally over `owner` (restored first if it was minimised) and returns when
  // end_modal() was called; the owner takes no input meanwhile. A WM_QUIT that arrives then is
  // posted again for the outer loop.
  void show_modal(HWND owner);
  bool shown_modally() const { return in_modal_; }

 protected:
  void create(int template_id, HWND owner);
  // Ends show_modal() (or hides the dialog when it was shown otherwise).
  void end_modal();
  // Returns TRUE when the message was handled (the dialog procedure's contract).
  virtual INT_PTR handle(UINT message, WPARAM wparam, LPARAM lparam);

 private:
  static INT_PTR CALLBACK procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  HWND hwnd_ = nullptr;
  bool in_modal_ = false;
  bool modal_done_ = false;
};

}  // namespace tarvik::app
