// The start-up dispatch: what the program does with its command line once its windows exist.
// It runs in exactly one mode: the self-extracting run (the own executable carries an
// archive; the command line is then ignored), the interactive main window, or one request of
// the request line (request_line.h), turned into the state a user would build by hand in the
// main window and carried out by the same operations, under the progress dialog.
//
//   mode              main window       program
//   self-extracting   hidden            ends after the run
//   interactive       shown             goes on
//   browse            shown at the archive's folder, the archive selected, then the browser
//   pack              hidden            ends after the packing
//   select            shown, the items selected, the archive name field filled
//   unpack to folder  hidden            ends after the extraction
//   unpack here       hidden            ends after the extraction
//
// Where a request cannot be carried out (it matches no form, its folder or archive cannot be
// opened, a check fails, the journal cannot be made) the user has seen a message naming the
// file and the reason, and the program ends: no invisible process is left behind.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "pack/packer.h"
#include "platform/ui.h"
#include "requests/operations.h"
#include "requests/request_line.h"

namespace tarvik::requests {

// The main window as the start-up sees it.
class MainWindow {
 public:
  virtual ~MainWindow() = default;
  virtual void show() = 0;
  // The folder box, the current directory and the file list's root. throws OsError when the
  // folder cannot be listed.
  virtual void open_folder(const std::string& folder) = 0;
  // The file names of the file list, in list order.
  virtual std::vector<std::string> entry_names() = 0;
  virtual void select(std::size_t index) = 0;
  // Edit1.
  virtual void set_archive_name(const std::string& name) = 0;
  // The shown folder and the selected entries; the packing options as the controls stand.
  virtual Selection selection() = 0;
  virtual PackOptions pack_options() = 0;
  // Obzor: the archive (verified) in the browser.
  virtual void browse(const std::string& archive) = 0;
};

struct StartUp {
  std::string own_executable;  // full path of the running file
  std::string program_folder;  // where the journal lives and Tarvik.sfx lies
  MainWindow& window;
  ProgressDialog& dialog;
  Ui& ui;                                 // message boxes and the one-line input box
  std::function<void()> register_program;  // RegistryStartup: the shell entries that are missing
};

struct StartResult {
  bool keep_running = false;  // the main window is shown and the program goes on
  Outcome outcome = Outcome::Done;  // of the request, when the program ends
  Form form = Form::Interactive;
  bool self_extracting = false;
};

StartResult start(const std::vector<std::string>& args, StartUp& s);

}  // namespace tarvik::requests
