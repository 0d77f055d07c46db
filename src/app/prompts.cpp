#include "app/prompts.h"

#include <string>

#include "app/resource.h"
#include "app/window.h"
#include "format/messages.h"
#include "platform/codepage.h"

namespace tarvik::app {

namespace {
struct InputState {
  std::string title, prompt, answer;
};

INT_PTR CALLBACK input_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<InputState*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      ::SetWindowLongPtrW(hwnd, DWLP_USER, lparam);
      state = reinterpret_cast<InputState*>(lparam);
      set_window_text(hwnd, state->title);
      set_window_text(::GetDlgItem(hwnd, IDC_INPUT_PROMPT), state->prompt);
      ::SetForegroundWindow(hwnd);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK && state) {
        state->answer = window_text(::GetDlgItem(hwnd, IDC_INPUT_EDIT));
        ::EndDialog(hwnd, IDOK);
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        ::EndDialog(hwnd, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

HWND visible_or_null(HWND hwnd) { return hwnd && ::IsWindowVisible(hwnd) ? hwnd : nullptr; }

// The icon that says what the text is.

UINT icon_of(std::string_view text) {
  switch (msg::kind_of(text)) {
    case msg::MessageKind::Information: return MB_ICONINFORMATION;
    case msg::MessageKind::Warning: return MB_ICONWARNING;
    case msg::MessageKind::Error: break;
  }
  return MB_ICONERROR;
}
}  // namespace

void WindowPrompts::show_message(std::string_view text) {
  ::MessageBoxW(visible_or_null(owner_), codepage::widen(text).c_str(),
                codepage::widen(load_string(IDS_APP_TITLE)).c_str(),
                MB_OK | icon_of(text) | (visible_or_null(owner_) ? 0 : MB_SETFOREGROUND));
}

std::optional<std::string> WindowPrompts::ask(std::string_view title, std::string_view prompt) {
  InputState state{std::string(title), std::string(prompt), {}};
  const INT_PTR result =
      ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_INPUT),
                        visible_or_null(owner_), &input_procedure, reinterpret_cast<LPARAM>(&state));
  if (result != IDOK) return std::nullopt;
  return state.answer;
}

}  // namespace tarvik::app
