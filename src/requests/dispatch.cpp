#include "requests/dispatch.h"

#include <exception>

#include "format/fields.h"
#include "format/messages.h"
#include "format/names.h"
#include "ops/checks.h"
#include "ops/runner.h"
#include "platform/error.h"
#include "unpack/extract.h"

namespace tarvik::requests {

namespace {

StartResult ended(Form form, Outcome outcome) {
  StartResult r;
  r.form = form;
  r.outcome = outcome;
  return r;
}

StartResult going_on(Form form) {
  StartResult r;
  r.form = form;
  r.keep_running = true;
  return r;
}

// Pack and select requests: the first item's folder, the name field, the items selected.
// false when an item names no entry of that folder: the user has seen which, and nothing was
// selected.
bool show_items(const RequestLine& line, MainWindow& window, Ui& ui) {
  const std::string folder(format::folder_part(line.first_item));
  window.open_folder(folder);
  const ItemWalk walk = select_items(folder, window.entry_names(), line.items);
  if (!walk.unmatched.empty()) {
    ui.show_message(msg::request_item_not_in_folder(walk.unmatched.front(), folder));
    return false;
  }
  window.set_archive_name(name_without_extension(line.first_item));
  for (std::size_t index : walk.selected) window.select(index);
  return true;
}

StartResult browse(const RequestLine& line, StartUp& s) {
  const std::string& archive = line.first_argument;
  s.window.show();
  s.window.open_folder(std::string(format::folder_part(archive)));
  const auto names = s.window.entry_names();
  const std::string_view wanted = format::file_name_part(archive);
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] == wanted) {
      s.window.select(i);
      break;
    }
  if (!check_before_extract(archive, s.ui)) return ended(Form::Browse, Outcome::EndProgram);
  s.window.browse(archive);
  return going_on(Form::Browse);
}

StartResult unpack_request(const RequestLine& line, StartUp& s) {
  const bool to_folder = line.form == Form::UnpackToFolder;
  const std::string& archive = line.first_item;
  const std::string folder(format::folder_part(archive));
  s.window.open_folder(folder);
  // Only for the eye of a user who opens the window later: the archive itself is opened by path.
  for (std::size_t index : select_items(folder, s.window.entry_names(), line.items).selected)
    s.window.select(index);
  UnpackJob job;
  job.archive = archive;
  job.target_folder = to_folder ? unpack_folder(archive) : std::string(format::folder_part(archive));
  job.target = to_folder ? Target::NewFolder : Target::Existing;
  job.code = to_folder ? OperationCode::UnpackToFolderRequest : OperationCode::UnpackHereRequest;
  job.program_folder = s.program_folder;
  return ended(line.form, unpack(job, s.dialog, s.ui));
}

StartResult carry_out(const RequestLine& line, StartUp& s) {
  switch (line.form) {
    case Form::Interactive:
      s.window.show();
      return going_on(line.form);
    case Form::Browse:
      return browse(line, s);
    case Form::Pack: {
      if (!show_items(line, s.window, s.ui)) return ended(line.form, Outcome::Failed);
      PackOptions options = s.window.pack_options();
      options.program_folder = s.program_folder;
      return ended(line.form, pack(s.window.selection(), options, OperationCode::PackRequest, "",
                                   s.dialog));
    }
    case Form::Select:
      if (!show_items(line, s.window, s.ui)) return ended(line.form, Outcome::Failed);
      s.window.show();
      return going_on(line.form);
    case Form::UnpackToFolder:
    case Form::UnpackHere:
      return unpack_request(line, s);
    case Form::Unrecognised:
      break;
  }
  s.ui.show_message(msg::unrecognised_request(format::trim(line.text)));
  return ended(line.form, Outcome::Failed);
}

}  // namespace

StartResult start(const std::vector<std::string>& args, StartUp& s) {
  recover_at_start(s.program_folder, s.ui);
  // A self-extracting archive reads no request from its command line; one whose end was cut
  // off or changed says so instead of opening an empty main window.
  if (const auto outcome = run_if_self_extracting(s.own_executable, s.program_folder, s.dialog,
                                                  s.ui)) {
    StartResult r = ended(Form::Interactive, *outcome);
    r.self_extracting = true;
    return r;
  }
  const RequestLine line = parse_request(args);
  if (s.register_program) {
    try {
      s.register_program();
    } catch (const std::exception&) {
      // The shell entries are a convenience: a request runs without them.
    }
  }
  try {
    return carry_out(line, s);
  } catch (const OsError& e) {
    s.ui.show_message(msg::cannot_open(e.path(), e.reason()));
  } catch (const std::exception& e) {
    s.ui.show_message(e.what());
  }
  return ended(line.form, Outcome::Failed);
}

}  // namespace tarvik::requests
