// The program's entries in the Windows registry, which tie it into the shell:
//   rows 1-5  HKEY_CLASSES_ROOT ".kzv" and the type "Tarvik": icon, open and edit commands;
//   row 6     HKEY_LOCAL_MACHINE "software\KZV", value "Application" = "<P>\Tarvik.exe";
//   rows 7-14 the context-menu handler KZVContextMenu.dll: its class registration under both
//             roots, its approval, and its attachment to all files, folders and directories.
// P is the folder of the running executable (its path without the last "\" and file name);
// every path written names the program "Tarvik.exe", whatever the running file is called.
// The handler is registered in the folder recorded in "Application", not in the running
// program's folder.
//
// Decisions where the registry alone would leave the user stuck:
// - RegistryStartup never stops the program: when the registry cannot be written (a user
//   without administrator rights) it reports false and leaves no marker behind that would
//   keep the next start from trying again (".kzv" and "software\KZV" are removed again when
//   their group could not be written whole).
// - RegistryReg with no usable "Application" (after "Очистка регистрации") records the running
//   program there first and registers the handler in its folder, so the next start finds the
//   program where the handler looks for it.
// - The menu commands report a registry that cannot be changed with a message naming the key
//   and the reason instead of their success text; what was written before the failure stays.
#pragma once

#include <string>
#include <string_view>

#include "platform/registry.h"
#include "platform/ui.h"

namespace tarvik::shell {

// The folder part of an executable path: "C:\Prog\Tarvik.exe" gives "C:\Prog", "C:\Tarvik.exe"
// gives "C:"; "" when there is no "\".
std::string program_folder(std::string_view executable);

// The start-up registration, for every start in ordinary mode (never for a self-extracting
// archive): writes rows 1-5 unless ".KZV" exists (when it does, an open or edit command of an
// earlier version, with the program's path unquoted, gets the quotes), and row 6 and then rows 7-14 unless
// "software\KZV" exists. `own_executable` is the full path of the running program. Never
// throws; false when the registry could not be written (nothing is shown).
bool RegistryStartup(registry::Registry& registry, std::string_view own_executable) noexcept;

// Writes rows 7-14 for the folder recorded in "Application" (see above for a missing one).
// throws RegistryError; the rows written before the failing one stay.
void RegistryReg(registry::Registry& registry, std::string_view own_executable);

// Removes rows 7-14. Missing keys and values are passed over; parent keys that were missing
// are created empty. throws RegistryError.
void UnRegistryReg(registry::Registry& registry);

// Removes every entry: UnRegistryReg, then rows 1-5 with the type's keys, then
// "software\KZV". throws RegistryError.
void remove_registration(registry::Registry& registry);

// The commands of the main window's menu "Настройки". Each does its work and shows its message
// through `ui`: the success text, or the failure (key and reason) instead. true on success.
//   "Установка меню проводника"   install_explorer_menu  RegistryReg
//   "Очистка меню проводника "    clear_explorer_menu    UnRegistryReg
//   "Очистка регистрации"         clear_registration     remove_registration
bool install_explorer_menu(registry::Registry& registry, Ui& ui, std::string_view own_executable);
bool clear_explorer_menu(registry::Registry& registry, Ui& ui);
bool clear_registration(registry::Registry& registry, Ui& ui);

}  // namespace tarvik::shell
