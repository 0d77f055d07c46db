// The program's registry entries: written at start-up when missing, rewritten and removed by the
// menu commands. Each step opens its own key and closes it when the step ends, also when it
// fails.
#include "registration/registration.h"

#include "format/messages.h"
#include "registration/names.h"

namespace tarvik::shell {

using registry::Open;
using registry::Registry;
using registry::RegistryError;
using registry::Root;

namespace {

std::string join(std::initializer_list<std::string_view> parts) {
  std::string s;
  for (auto p : parts) s += p;
  return s;
}

// Opens `path` under `root`, creating it, and writes its value `name`.
void write_value(Registry& registry, Root root, std::string_view path, std::string_view name,
                 std::string_view data) {
  registry.open(root, path, Open::Create)->write(name, data);
}

std::string open_command(std::string_view program) {
  return join({std::string_view(&kCommandQuote, 1), program, std::string_view(&kCommandQuote, 1),
               kCommandTail});
}

// Rows 1-5: the file type, for the program at `program` ("<P>\Tarvik.exe").
void write_file_type(Registry& registry, const std::string& program) {
  const auto command = open_command(program);
  write_value(registry, Root::ClassesRoot, kExtensionKey, "", kTypeKey);
  write_value(registry, Root::ClassesRoot, kTypeKey, "", msg::kTypeDescription);
  write_value(registry, Root::ClassesRoot, kIconKey, "", program + std::string(kIconTail));
  write_value(registry, Root::ClassesRoot, kOpenCommandKey, "", command);
  write_value(registry, Root::ClassesRoot, kEditCommandKey, "", command);
}

// "<folder>\Tarvik.exe" for the running program.
std::string recorded_program(std::string_view own_executable) {
  return join({program_folder(own_executable), "\\", kProgramFile});
}

// Deletes a key that a failed group of steps had created; errors are passed over (the
// registry refused already).
void take_back(Registry& registry, Root root, std::string_view path) noexcept {
  try {
    registry.delete_tree(root, path);
  } catch (...) {
  }
}

template <class Work>
bool run_command(Ui& ui, std::string_view done, Work&& work) {
  try {
    work();
  } catch (const RegistryError& error) {
    ui.show_message(msg::registry_not_changed(error.path(), error.reason(),
                                              os_error_is_access_denied(error.code())));
    return false;
  }
  ui.show_message(done);
  return true;
}

// The open and edit commands as an earlier version wrote them, with the program's path
// unquoted, are quoted; the path they name is kept. Any other command is the user's choice.
void quote_old_commands(Registry& registry) {
  const std::string old_tail = join({"\\", kProgramFile, kCommandTail});
  for (auto path : {kOpenCommandKey, kEditCommandKey}) {
    auto key = registry.open(Root::ClassesRoot, path, Open::Existing);
    if (!key) continue;
    const std::string command = key->read("");
    if (command.empty() || command.front() == kCommandQuote || !command.ends_with(old_tail))
      continue;
    key->write("", open_command(std::string_view(command).substr(
                       0, command.size() - kCommandTail.size())));
  }
}

}  // namespace

std::string program_folder(std::string_view executable) {
  const auto cut = executable.rfind('\\');
  if (cut == std::string_view::npos) return {};
  return std::string(executable.substr(0, cut));
}

bool RegistryStartup(Registry& registry, std::string_view own_executable) noexcept {
  bool written = true;
  try {
    const auto program = recorded_program(own_executable);
    if (!registry.exists(Root::ClassesRoot, kExtensionProbe)) {
      try {
        write_file_type(registry, program);
      } catch (...) {
        take_back(registry, Root::ClassesRoot, kExtensionKey);
        written = false;
      }
    } else {
      try {
        quote_old_commands(registry);
      } catch (...) {
        written = false;
      }
    }
    if (!registry.exists(Root::LocalMachine, kSettingsKey)) {
      try {
        write_value(registry, Root::LocalMachine, kSettingsKey, kApplicationValue, program);
        RegistryReg(registry, own_executable);
      } catch (...) {
        take_back(registry, Root::LocalMachine, kSettingsKey);
        written = false;
      }
    }
  } catch (...) {
    return false;
  }
  return written;
}

void RegistryReg(Registry& registry, std::string_view own_executable) {
  std::string folder;
  {
    auto settings = registry.open(Root::LocalMachine, kSettingsKey, Open::Create);
    folder = program_folder(settings->read(kApplicationValue));
    if (folder.empty()) {
      folder = program_folder(own_executable);
      settings->write(kApplicationValue, recorded_program(own_executable));
    }
  }
  const auto server = join({folder, "\\", kHandlerFile});
  for (auto [root, clsid_key] : {std::pair{Root::ClassesRoot, kClassesClsidKey},
                                 std::pair{Root::LocalMachine, kMachineClsidKey}}) {
    auto key = registry.open(root, join({clsid_key, "\\", kHandlerClsid, "\\", kInprocServerKey}),
                             Open::Create);
    key->write("", server);
    key->write(kThreadingModelValue, kThreadingModel);
  }
  write_value(registry, Root::LocalMachine, kApprovedKey, kHandlerClsid, kHandlerDescription);
  for (auto kind : kHandlerKinds) {
    write_value(registry, Root::ClassesRoot,
                join({kind, "\\", kContextMenuHandlersKey, "\\", kHandlerName}), "", kHandlerClsid);
  }
}

void UnRegistryReg(Registry& registry) {
  registry.open(Root::ClassesRoot, kClassesClsidKey, Open::Create)->delete_tree(kHandlerClsid);
  registry.open(Root::LocalMachine, kMachineClsidKey, Open::Create)->delete_tree(kHandlerClsid);
  registry.open(Root::LocalMachine, kApprovedKey, Open::Create)->delete_value(kHandlerClsid);
  for (auto kind : kHandlerKinds) {
    registry.open(Root::ClassesRoot, join({kind, "\\", kContextMenuHandlersKey}), Open::Create)
        ->delete_tree(kHandlerName);
  }
}

void remove_registration(Registry& registry) {
  UnRegistryReg(registry);
  // The type's keys go even when ".kzv" is missing: a start-up that could not finish may have
  // left some of them.
  for (auto path : {kExtensionKey, kIconKey, kOpenCommandKey, kEditCommandKey, kOpenKey, kEditKey,
                    kShellKey, kTypeKey}) {
    registry.delete_tree(Root::ClassesRoot, path);
  }
  registry.delete_tree(Root::LocalMachine, kSettingsKey);
}

bool install_explorer_menu(Registry& registry, Ui& ui, std::string_view own_executable) {
  return run_command(ui, msg::kExplorerMenuInstalled,
                     [&] { RegistryReg(registry, own_executable); });
}

bool clear_explorer_menu(Registry& registry, Ui& ui) {
  return run_command(ui, msg::kExplorerMenuCleared, [&] { UnRegistryReg(registry); });
}

bool clear_registration(Registry& registry, Ui& ui) {
  return run_command(ui, msg::kRegistrationRemoved, [&] { remove_registration(registry); });
}

}  // namespace tarvik::shell
