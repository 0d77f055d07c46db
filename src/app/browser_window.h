// TViewArhiv, the archive browser "Содержимое архива": client area 640 x 486, a fixed border,
// the system menu and the minimise button only, centred on the screen. "Файл архива:" with the
// read-only Edit1 (the archive's file name), "уровень:" with the read-only Edit3 (the level),
// BitBtn1 "назад" (up); ListView1, the report list of the level's rows with the columns
// "Название", "Тип", "Создан", "Полный, байтов", "Сжат, байтов" and the folder and file images
// of ImageList1; BitBtn3 "Извлечь" and BitBtn2 "Возврат" on a lowered panel; StatusBar1.
//
// The list is virtual: it holds no row of its own, only their count, and asks for the texts
// of the rows it draws, which the browser model (browse/browser.h) keeps once. An archive of
// 100,000 entries therefore costs the listing walk and nothing per row in the control.
//
// Created once at start, hidden; show_archive shows it modally over the main window.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "app/window.h"
#include "browse/browser.h"
#include "platform/ui.h"

namespace tarvik::app {

class TBar;

class TViewArhiv final : public Window {
 public:
  // `prompts` shows messages and the password box; `end_program` closes the main window (a
  // refused password, a missing volume of an archive an Explorer request opened: the program
  // ends).
  TViewArhiv(HWND owner, Ui& prompts, std::function<void()> end_program);
  // Who opened the archive, which decides where a failed check leads: the user's own "Обзор
  // архива" back to the main window as it was; a browse request from the Explorer to the end
  // of the program.
  enum class Opened { ByUser, ByRequest };
  ~TViewArhiv() override;
  // The progress dialog the extraction runs under; set once, after it exists.
  void set_progress_dialog(TBar& bar) { bar_ = &bar; }

  // Obzor: shows the archive at `archive` (a full path of volume 001) in the browser, modally:
  // asks its password (a request has asked it already), lists its top level; returns when the
  // browser is closed. Its rows are extracted without asking again.
  void show_archive(const std::string& archive, Opened how = Opened::ByUser);
  // The first half of show_archive: the password and the top level, then the browser shown
  // over its disabled owner. False when it is not shown (the message has been shown; the
  // program may be ending).
  bool open(const std::string& archive, Opened how = Opened::ByUser);
  bool shown() const { return shown_; }

  HWND item(int id) const { return ::GetDlgItem(hwnd(), id); }
  HWND list() const { return list_; }
  HIMAGELIST images() const { return images_; }
  const browse::Browser& browser() const { return browser_; }

 protected:
  LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void FormCreate();
  void FormActivate();  // the list shows the level's rows
  void FormPaint();
  void ListView1DblClick();
  void ListView1GetDispInfo(NMLVDISPINFOW& info);
  LRESULT ListView1FindItem(const NMLVFINDITEMW& find);
  void BitBtn1Click();
  void BitBtn2Click();
  void BitBtn3Click();

  void create_images(int size);
  int column_width(int column, const std::wstring& title, int dpi) const;
  void layout();
  std::vector<std::size_t> selected_rows() const;
  // After a listing: the rows, the level; a failed check closes the browser.
  void listed(Outcome outcome);
  void hide();
  // A failed check: the browser closes; the program ends when a request opened it.
  void after_failed_check();
  void run_modal();

  Ui& prompts_;
  std::function<void()> end_program_;
  TBar* bar_ = nullptr;
  browse::Browser browser_;
  Opened opened_ = Opened::ByUser;
  HWND list_ = nullptr, status_ = nullptr;
  HFONT font_ = nullptr;
  HIMAGELIST images_ = nullptr;
  RECT panel_{};  // the lowered panel, in client pixels
  bool shown_ = false;
  bool owner_disabled_ = false;
};

}  // namespace tarvik::app
