#include "app/bar.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <string>
#include <utility>
#include <thread>

#include "app/resource.h"
#include "platform/codepage.h"
#include "platform/console.h"

namespace tarvik::app {

namespace {
constexpr UINT_PTR kTimer1 = 1;         // the one-shot closer
constexpr UINT kTimer1Interval = 10;    // milliseconds
constexpr UINT_PTR kRefreshTimer = 2;   // draws what the operation reported
constexpr UINT kRefreshInterval = 40;   // milliseconds
constexpr UINT kOperationDone = WM_APP + 1;
constexpr UINT kCallOnWindow = WM_APP + 2;
constexpr int kClientWidth = 286;       // pixels at 96 dots per inch
constexpr int kClientHeight = 84;

// `text` as it fits the label: whole when it does, otherwise its beginning and its end around
// an ellipsis, so a long name keeps its extension and what tells it from its neighbours.
std::wstring fitted_to(HWND label, const std::wstring& text) {
  RECT r;
  ::GetClientRect(label, &r);
  HDC dc = ::GetDC(label);
  if (!dc) return text;
  HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(label, WM_GETFONT, 0, 0)));
  const auto fits = [&](const std::wstring& s) {
    SIZE size{};
    ::GetTextExtentPoint32W(dc, s.c_str(), static_cast<int>(s.size()), &size);
    return size.cx <= r.right;
  };
  const auto shortened = [&](std::size_t kept) {
    const std::size_t head = kept / 2;
    return text.substr(0, head) + L"\u2026" + text.substr(text.size() - (kept - head));
  };
  std::wstring result = text;
  if (!fits(text)) {
    std::size_t low = 0, high = text.size() - 1;  // the most characters kept that still fit
    while (low < high) {
      const std::size_t mid = (low + high + 1) / 2;
      if (fits(shortened(mid))) low = mid; else high = mid - 1;
    }
    result = shortened(low);
  }
  ::SelectObject(dc, old);
  ::ReleaseDC(label, dc);
  return result;
}

void set_fitted_text(HWND label, std::string_view utf8) {
  ::SetWindowTextW(label, fitted_to(label, codepage::widen(utf8)).c_str());
}
}  // namespace

// The Ui of the operation, called from the worker thread.
class TBar::WorkerUi final : public Ui {
 public:
  explicit WorkerUi(TBar& bar) : bar_(bar) {}
  void show_message(std::string_view text) override {
    const std::string copy(text);
    bar_.on_window_thread([&] { bar_.prompts_.show_message(copy); });
  }
  std::optional<std::string> ask(std::string_view title, std::string_view prompt) override {
    std::optional<std::string> answer;
    const std::string t(title), p(prompt);
    bar_.on_window_thread([&] { answer = bar_.prompts_.ask(t, p); });
    return answer;
  }
  void set_caption(std::string_view text) override {
    std::lock_guard lock(bar_.mutex_);
    bar_.caption_ = text;
    bar_.texts_changed_ = true;
  }
  void set_item(std::string_view text) override {
    console::hold_point(text);  // a test hook: nothing without TARVIK_HOLD_AT
    std::lock_guard lock(bar_.mutex_);
    bar_.item_ = text;
    bar_.texts_changed_ = true;
  }
  void set_progress_max(std::uint64_t max) override { bar_.max_ = max; }
  void set_progress(std::uint64_t position) override { bar_.position_ = position; }
  void advance(std::uint64_t bytes) override { bar_.position_ += bytes; }
  bool pump() override { return bar_.abort_; }

 private:
  TBar& bar_;
};

TBar::TBar(HWND owner, Ui& prompts)
    : owner_(owner), prompts_(prompts), worker_ui_(std::make_unique<WorkerUi>(*this)) {
  create(IDD_BAR, owner);
}

TBar::~TBar() = default;

void TBar::preset_caption(std::string_view text) {
  std::lock_guard lock(mutex_);
  caption_ = text;
  texts_changed_ = true;
}

Outcome TBar::run(const RunRequest& request, std::uint64_t total,
                  const std::function<Outcome(Operation&)>& operation) {
  if (::IsIconic(hwnd())) ::ShowWindow(hwnd(), SW_RESTORE);
  abort_ = false;
  closed_ = false;
  running_ = true;
  position_ = 0;
  max_ = total;
  {
    std::lock_guard lock(mutex_);
    item_.clear();
    texts_changed_ = true;
  }
  refresh();
  const bool owner_enabled = owner_ && ::IsWindowVisible(owner_) && ::IsWindowEnabled(owner_);
  if (owner_enabled) ::EnableWindow(owner_, FALSE);
  ::ShowWindow(hwnd(), SW_SHOW);
  ::SetForegroundWindow(hwnd());
  // "Свернуть" has the focus and is the default: Enter, Space and Esc minimise; Abort takes a
  // click or Alt+П.
  ::SendMessageW(hwnd(), DM_SETDEFID, IDC_BITBTN2, 0);
  ::SendMessageW(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(IDC_BITBTN2)), TRUE);
  ::SetTimer(hwnd(), kRefreshTimer, kRefreshInterval, nullptr);

  const DWORD thread = ::GetCurrentThreadId();
  finished_ = false;
  std::thread worker([&] {
    Outcome outcome = Outcome::Failed;
    try {
      outcome = run_operation(request, *worker_ui_, operation);
    } catch (...) {
      // run_operation reports what it catches; nothing else may end the thread.
    }
    outcome_ = outcome;
    finished_ = true;
    // Should the dialog be gone, the loop below still wakes up and sees `finished_`.
    if (!::PostMessageW(hwnd(), kOperationDone, 0, 0)) ::PostThreadMessageW(thread, WM_NULL, 0, 0);
  });

  bool quit = false;
  WPARAM quit_code = 0;
  MSG msg;
  while (!closed_ && !(finished_ && !::IsWindow(hwnd()))) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {  // the program is ending: finish the operation first
      quit = true;
      quit_code = msg.wParam;
      continue;
    }
    // A letter typed without Alt is no accelerator here: the dialog takes no text, and a
    // stray key must not press "Прервать".
    const bool ours = msg.hwnd == hwnd() || ::IsChild(hwnd(), msg.hwnd);
    if (ours && msg.message == WM_CHAR) continue;
    if (ours && msg.message == WM_SYSCHAR && click_accelerator(hwnd(), static_cast<wchar_t>(msg.wParam))) continue;
    if (!::IsDialogMessageW(hwnd(), &msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  worker.join();
  ::KillTimer(hwnd(), kRefreshTimer);
  if (owner_enabled) ::EnableWindow(owner_, TRUE);
  ::ShowWindow(hwnd(), SW_HIDE);
  running_ = false;
  if (quit) ::PostQuitMessage(static_cast<int>(quit_code));
  return outcome_;
}

void TBar::on_window_thread(const std::function<void()>& call) {
  if (::GetWindowThreadProcessId(hwnd(), nullptr) == ::GetCurrentThreadId())
    call();
  else
    ::SendMessageW(hwnd(), kCallOnWindow, 0, reinterpret_cast<LPARAM>(&call));
}

INT_PTR TBar::handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      FormCreate();
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDC_BITBTN1) BitBtn1Click();
      // Esc minimises as "Свернуть" does; nothing closes the dialog.
      if (LOWORD(wparam) == IDC_BITBTN2 || LOWORD(wparam) == IDCANCEL) BitBtn2Click();
      return TRUE;
    case WM_CLOSE:
      return TRUE;  // the user cannot close it
    case WM_TIMER:
      if (wparam == kTimer1) Timer1Timer();
      if (wparam == kRefreshTimer) refresh();
      return TRUE;
    case kOperationDone:
      OperationDone();
      return TRUE;
    case kCallOnWindow:
      (*reinterpret_cast<const std::function<void()>*>(lparam))();
      return TRUE;
  }
  return FALSE;
}

// Each control keeps its place in the template's layout, scaled with the client area.
static BOOL CALLBACK scale_child(HWND child, LPARAM lparam) {
  const auto* f = reinterpret_cast<const std::pair<SIZE, SIZE>*>(lparam);
  RECT r;
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  const auto sx = [&](LONG v) { return ::MulDiv(v, f->second.cx, f->first.cx); };
  const auto sy = [&](LONG v) { return ::MulDiv(v, f->second.cy, f->first.cy); };
  ::MoveWindow(child, sx(r.left), sy(r.top), sx(r.right) - sx(r.left), sy(r.bottom) - sy(r.top), FALSE);
  return TRUE;
}

void TBar::FormCreate() {
  // Client area of 286 x 84 pixels (at 96 dots per inch), centred on the screen.
  HDC dc = ::GetDC(hwnd());
  const int dpi = dc ? ::GetDeviceCaps(dc, LOGPIXELSX) : 96;
  if (dc) ::ReleaseDC(hwnd(), dc);
  RECT client;
  ::GetClientRect(hwnd(), &client);
  const std::pair<SIZE, SIZE> factors{{std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1)},
                                      {::MulDiv(kClientWidth, dpi, 96), ::MulDiv(kClientHeight, dpi, 96)}};
  ::EnumChildWindows(hwnd(), &scale_child, reinterpret_cast<LPARAM>(&factors));
  RECT r{0, 0, factors.second.cx, factors.second.cy};
  ::AdjustWindowRectEx(&r, static_cast<DWORD>(::GetWindowLongW(hwnd(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongW(hwnd(), GWL_EXSTYLE)));
  const int w = r.right - r.left, h = r.bottom - r.top;
  ::SetWindowPos(hwnd(), nullptr, (::GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                 (::GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  ::SendMessageW(item(IDC_PROGRESSBAR1), PBM_SETRANGE32, 0, kBarRange);
}

void TBar::BitBtn1Click() { abort_ = true; }

void TBar::BitBtn2Click() { ::ShowWindow(hwnd(), SW_MINIMIZE); }

void TBar::Timer1Timer() {
  ::KillTimer(hwnd(), kTimer1);
  closed_ = true;
}

void TBar::OperationDone() {
  refresh();
  ::SetTimer(hwnd(), kTimer1, kTimer1Interval, nullptr);
}

void TBar::refresh() {
  std::string caption, item;
  bool changed;
  {
    std::lock_guard lock(mutex_);
    changed = texts_changed_;
    texts_changed_ = false;
    caption = caption_;
    item = item_;
  }
  if (changed) {
    set_fitted_text(this->item(IDC_LABEL2), caption);
    set_fitted_text(this->item(IDC_LABEL1), item);
  }
  const int step = bar_step(position_, max_, kBarRange);
  if (step != shown_step_) {
    ::SendMessageW(this->item(IDC_PROGRESSBAR1), PBM_SETPOS, static_cast<WPARAM>(step), 0);
    shown_step_ = step;
  }
}

}  // namespace tarvik::app
