// The About dialog TAbout ("О программе") and the Help dialog TFmHelp ("Помощь"), created once
// at start, hidden, and shown modally from the main window's menu.
//
// TAbout: a framed panel with the product name "Tarvik" in bold, "Версия 1.02", the credit
// line with the year, "Сайт программы:" and the address of the web page as a link, which the
// shell opens with its "open" verb (Label7Click); "Закрыть" closes it.
// TFmHelp: the group "Краткое описание" around a read-only scrolling text (the resource
// IDR_HELP_TEXT, help.txt beside this file); "Закрыть" closes it.
#pragma once

#include <functional>
#include <string>

#include "app/window.h"

namespace tarvik::app {

class TAbout final : public Dialog {
 public:
  explicit TAbout(HWND owner);
  ~TAbout() override;
  // How the link is opened; the shell's "open" verb unless a test says otherwise.
  void set_opener(std::function<void(const std::string& address)> opener) { opener_ = std::move(opener); }
  std::string site_address() const;

 protected:
  INT_PTR handle(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void FormCreate();
  void Label7Click();
  void BitBtn1Click() { end_modal(); }
  HFONT bold_font_ = nullptr, link_font_ = nullptr;
  std::function<void(const std::string&)> opener_;
};

class TFmHelp final : public Dialog {
 public:
  explicit TFmHelp(HWND owner);

  // The help text as the program carries it (UTF-8, lines ended by "\n").
  static std::string text();

 protected:
  INT_PTR handle(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void FormCreate();
  void BitBtn1Click() { end_modal(); }
};

}  // namespace tarvik::app
