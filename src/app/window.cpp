#include "app/window.h"

#include <exception>

#include "app/resource.h"
#include "format/messages.h"
#include "platform/codepage.h"

namespace tarvik::app {

std::string load_string(UINT id) {
  const wchar_t* text = nullptr;
  const int n = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  return n > 0 ? codepage::narrow(std::wstring_view(text, static_cast<std::size_t>(n))) : "";
}

std::string window_text(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return codepage::narrow(text);
}

void set_window_text(HWND hwnd, std::string_view utf8) {
  ::SetWindowTextW(hwnd, codepage::widen(utf8).c_str());
}

bool click_accelerator(HWND parent, wchar_t letter) {
  const auto upper = [](wchar_t c) {
    wchar_t text[2] = {c, 0};
    ::CharUpperBuffW(text, 1);
    return text[0];
  };
  const wchar_t wanted = upper(letter);
  for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (!::IsWindowVisible(child) || !::IsWindowEnabled(child)) continue;
    if (!(::SendMessageW(child, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON)) continue;
    if ((::GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX) continue;
    const std::wstring caption = codepage::widen(window_text(child));
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
      if (caption[i] != L'&') continue;
      if (caption[i + 1] == L'&') {  // "&&" is an ampersand shown
        ++i;
        continue;
      }
      if (upper(caption[i + 1]) != wanted) break;
      ::SendMessageW(child, BM_CLICK, 0, 0);
      return true;
    }
  }
  return false;
}

void report_exception(HWND owner, const char* what) noexcept {
  try {
    ::MessageBoxW(owner, codepage::widen(what).c_str(), codepage::widen(load_string(IDS_APP_TITLE)).c_str(),
                  MB_OK | MB_ICONERROR);
  } catch (...) {
  }
}

Window::~Window() {
  if (hwnd_) {
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    ::DestroyWindow(hwnd_);
  }
}

void Window::create(const wchar_t* class_name, DWORD style, DWORD ex_style,
                    std::string_view caption, HWND owner) {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  if (!::GetClassInfoExW(instance, class_name, &wc)) {
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Window::procedure;
    wc.hInstance = instance;
    wc.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = class_name;
    ::RegisterClassExW(&wc);
  }
  ::CreateWindowExW(ex_style, class_name, codepage::widen(caption).c_str(), style, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, instance, this);
}

LRESULT Window::handle(UINT message, WPARAM wparam, LPARAM lparam) {
  return ::DefWindowProcW(hwnd_, message, wparam, lparam);
}

LRESULT CALLBACK Window::procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Window* self;
  if (message == WM_NCCREATE) {
    self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return ::DefWindowProcW(hwnd, message, wparam, lparam);
  try {
    const LRESULT result = self->handle(message, wparam, lparam);
    if (message == WM_NCDESTROY) self->hwnd_ = nullptr;
    return result;
  } catch (const std::exception& e) {
    report_exception(hwnd, e.what());
  } catch (...) {
    report_exception(hwnd, std::string(msg::kUnexpectedError).c_str());
  }
  return 0;
}

Dialog::~Dialog() {
  if (hwnd_) {
    ::SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
    ::DestroyWindow(hwnd_);
  }
}

void Dialog::create(int template_id, HWND owner) {
  ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(template_id), owner,
                       &Dialog::procedure, reinterpret_cast<LPARAM>(this));
}

INT_PTR Dialog::handle(UINT, WPARAM, LPARAM) { return FALSE; }

void Dialog::show_modal(HWND owner) {
  if (in_modal_) return;
  if (::IsIconic(hwnd_)) ::ShowWindow(hwnd_, SW_RESTORE);
  const bool disable = owner && ::IsWindowEnabled(owner);
  if (disable) ::EnableWindow(owner, FALSE);
  in_modal_ = true;
  modal_done_ = false;
  ::ShowWindow(hwnd_, SW_SHOW);
  ::SetForegroundWindow(hwnd_);
  bool quit = false;
  WPARAM quit_code = 0;
  MSG msg;
  while (!modal_done_ && ::IsWindow(hwnd_)) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      quit = true;
      quit_code = msg.wParam;
      break;
    }
    if (!::IsDialogMessageW(hwnd_, &msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  in_modal_ = false;
  // The owner first, so that it, not another program, becomes active when the dialog hides.
  if (disable) ::EnableWindow(owner, TRUE);
  if (hwnd_) ::ShowWindow(hwnd_, SW_HIDE);
  if (owner && ::IsWindowVisible(owner)) ::SetActiveWindow(owner);
  if (quit) ::PostQuitMessage(static_cast<int>(quit_code));
}

void Dialog::end_modal() {
  if (in_modal_)
    modal_done_ = true;
  else
    ::ShowWindow(hwnd_, SW_HIDE);
}

INT_PTR CALLBACK Dialog::procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Dialog* self;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lparam);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  }
  if (!self) return FALSE;
  try {
    const INT_PTR result = self->handle(message, wparam, lparam);
    if (message == WM_NCDESTROY) self->hwnd_ = nullptr;
    return result;
  } catch (const std::exception& e) {
    report_exception(hwnd, e.what());
  } catch (...) {
    report_exception(hwnd, std::string(msg::kUnexpectedError).c_str());
  }
  return TRUE;
}

}  // namespace tarvik::app
