// TMain, the main window "Архиватор Tarvik" (client area 807 x 504 at 96 dots per inch, fixed
// border, minimise box only, centred): on the left "Назад", the folder box ShellComboBox1 and
// the file list ShellListView1 with the buttons "Упаковать", "Распаковать", "Обзор архива",
// "Обновить", "Выход" under it; on the right the group "Опции упаковки" with the archive name
// Edit1, "Самораскрывающийся", the password MaskEdit1 and "Многотомный" with the volume size
// MaskEdit2; the status bar; the menu "Настройки" (the Explorer menu and the registration),
// "Помощь", "О программе", "Выход". Closing it ends the program.
//
// The commands check the selection and start their operation under the progress dialog
// (requests/operations.h); the options keep what the user typed between operations; the file
// list is re-read after Pack and Unpack, and the status bar says what they did. The start-up dispatch fills the same controls through
// the MainWindow seam. Messages and questions go through the Ui given to attach().
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/browser_window.h"
#include "app/resource.h"
#include "app/shell_view.h"
#include "app/window.h"
#include "platform/registry.h"
#include "platform/ui.h"
#include "requests/dispatch.h"

namespace tarvik::app {

class TBar;
class TAbout;
class TFmHelp;

// What the commands work with besides the window itself.
struct MainParts {
  TBar* bar = nullptr;          // the progress dialog every operation runs under
  Ui* ui = nullptr;             // message boxes and the input box
  TAbout* about = nullptr;
  TFmHelp* help = nullptr;
  registry::Registry* registry = nullptr;  // the menu's registry commands
  std::string own_executable;   // the running program
  std::string program_folder;   // the journal's folder, where Tarvik.sfx lies
};

class TMain final : public Window, public requests::MainWindow {
 public:
  TMain();
  // The browser Obzor shows archives in; set once, after both windows exist.
  void set_browser(TViewArhiv& view) { view_ = &view; }
  // The other windows and services; set once, after they exist.
  void attach(const MainParts& parts) { parts_ = parts; }

  // requests::MainWindow
  void show() override;
  void open_folder(const std::string& folder) override;
  std::vector<std::string> entry_names() override;
  void select(std::size_t index) override;
  void set_archive_name(const std::string& name) override;
  Selection selection() override;
  PackOptions pack_options() override;
  // A browse request's archive: a failed check in the browser ends the program.
  void browse(const std::string& archive) override;

  // The shown folder: a Windows path, or "" for My Computer.
  const std::string& folder() const { return folder_; }
  // Shows My Computer (the drives) in the file list.
  void open_my_computer();
  // Re-reads the shown folder, keeping the selected names selected.
  void refresh();

  // The status bar's word about the last operation ("" before the first).
  std::string status_text() const;

  HWND combo() const { return box_.hwnd(); }
  HWND list() const { return list_.hwnd(); }
  HWND edit1() const { return control(IDC_EDIT1); }
  HWND control(int id) const { return ::GetDlgItem(hwnd(), id); }
  const std::vector<ShellEntry>& entries() const { return list_.entries(); }

 protected:
  LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void FormCreate();
  void command(int id, int code);
  LRESULT notify(const NMHDR& header);
  void BitBtn5Click();  // Pack
  void BitBtn1Click();  // Unpack
  void BitBtn4Click();  // Browse archive
  void BitBtn3Click();  // Refresh
  void BitBtn6Click();  // Exit
  void BitBtn2Click();  // Back
  void CheckBox2Click();
  // The password field or the encryption box changed: the box is enabled while a password is
  // typed, the repeat field while encryption is chosen.
  void encryption_choice_changed();
  bool encrypting();
  void ShellComboBox1Change();
  void ShellListView1Click();
  // The archive name proposed by the entry at `index` (its name without extension), as a click
  // or the arrow keys choose it.
  void propose_name(std::size_t index);
  void ShellListView1DblClick(int index);
  bool ShellListView1Edited(int index, const wchar_t* new_name);
  void N1Click();  // About
  void N7Click();  // Help
  void N5Click();  // install the Explorer menu
  void N6Click();  // clear the Explorer menu
  void N8Click();  // clear the registration
  void N2Click();  // Exit
  // Opens `folder` ("" My Computer); a folder that cannot be read is named in a message and
  // the list stays as it was. false then.
  bool go_to(const std::string& folder);
  // The first selected entry when it is a file (an archive to unpack or browse); otherwise
  // "Не выбран архив для распаковки!" has been shown.
  std::optional<std::size_t> chosen_archive();
  void show_in_browser(const std::string& archive, TViewArhiv::Opened how);
  void browse_entry(std::size_t index);  // the archive of the file list's row, by the user
  // The file list takes the focus, and is the control that gets it back on activation.
  void focus_list();
  void focus_list_if_lost();
  void show_message(std::string_view text);
  // Says in the status bar, across its whole width, what the last operation did.
  void say(std::string_view text);
  void say_packed(Outcome outcome, const PackOptions& options);
  void say_unpacked(Outcome outcome, const std::string& archive);
  HWND create_control(const wchar_t* type, int id, UINT caption, DWORD style, int x, int y, int w,
                      int h, DWORD ex_style = 0);

  HFONT font_ = nullptr;
  HIMAGELIST glyphs_ = nullptr;
  int dpi_ = 96;
  FolderBox box_;
  FileList list_;
  TViewArhiv* view_ = nullptr;
  HWND focus_ = nullptr;  // the control that had the focus when the window was deactivated
  MainParts parts_;
  std::string folder_;
  std::string volume_file_name_;  // VolumeFileName: the archive an earlier command handled
};

}  // namespace tarvik::app
