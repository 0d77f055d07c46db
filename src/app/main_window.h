// TMain, the main window "Архиватор Tarvik": the folder box ShellComboBox1 (drives and the
// current path), the file list ShellListView1 (the folder's entries, folders first, with
// multi-selection), and the archive name field Edit1. Closing it ends the program. The
// commands of its buttons and options come with the main window's own work; the start-up
// dispatch fills it through the MainWindow seam.
#pragma once

#include <string>
#include <vector>

#include "app/dialogs.h"
#include "app/window.h"
#include "platform/fs.h"
#include "requests/dispatch.h"

namespace tarvik::app {

class TMain final : public Window, public requests::MainWindow {
 public:
  TMain();
  // The browser Obzor shows archives in; set once, after both windows exist.
  void set_browser(TViewArhiv& view) { view_ = &view; }

  // requests::MainWindow
  void show() override;
  void open_folder(const std::string& folder) override;
  std::vector<std::string> entry_names() override;
  void select(std::size_t index) override;
  void set_archive_name(const std::string& name) override;
  Selection selection() override;
  PackOptions pack_options() override;
  void browse(const std::string& archive) override;

  const std::string& folder() const { return folder_; }
  HWND combo() const { return combo_; }
  HWND list() const { return list_; }
  HWND edit1() const { return edit1_; }

 protected:
  LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void FormCreate();
  void FormResize();
  void ShellComboBox1Change();
  void ShellListView1DblClick(int index);
  void fill_drives();

  HWND combo_ = nullptr, list_ = nullptr, edit1_ = nullptr, edit1_label_ = nullptr;
  HFONT font_ = nullptr;
  TViewArhiv* view_ = nullptr;
  std::string folder_;
  std::vector<fs::DirEntry> entries_;  // in list order
};

}  // namespace tarvik::app
