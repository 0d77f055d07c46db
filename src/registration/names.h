// The names that the program and its Explorer context-menu handler (KZVContextMenu.dll) share:
// the handler's class identifier, the files, and the registry keys and values that tie them
// into the Windows shell. Plain ASCII text, so the handler can use it without the core.
#pragma once

#include <string_view>

namespace tarvik::shell {

// The class identifier of the context-menu handler, fixed for every version.
inline constexpr std::string_view kHandlerClsid = "{4B7D21C6-93E0-4F5A-A1D8-3C6E90B2F417}";
inline constexpr std::string_view kThreadingModel = "Apartment";
inline constexpr std::string_view kHandlerDescription = "TARVIK Context Menu Shell Extension";

// The files in the program's folder. The registry always names the program "Tarvik.exe",
// whatever the running file is called.
inline constexpr std::string_view kProgramFile = "Tarvik.exe";
inline constexpr std::string_view kHandlerFile = "KZVContextMenu.dll";

// Under HKEY_LOCAL_MACHINE: where the program is installed, as "<folder>\Tarvik.exe".
inline constexpr std::string_view kSettingsKey = "software\\KZV";
inline constexpr std::string_view kApplicationValue = "Application";

// Under HKEY_CLASSES_ROOT: the file type. ".KZV" is the same key as ".kzv" (key names do not
// distinguish case); the start-up tests for it under that spelling.
inline constexpr std::string_view kExtensionKey = ".kzv";
inline constexpr std::string_view kExtensionProbe = ".KZV";
inline constexpr std::string_view kTypeKey = "Tarvik";
inline constexpr std::string_view kIconKey = "Tarvik\\DefaultIcon";
inline constexpr std::string_view kShellKey = "Tarvik\\Shell";
inline constexpr std::string_view kOpenKey = "Tarvik\\Shell\\open";
inline constexpr std::string_view kEditKey = "Tarvik\\Shell\\edit";
inline constexpr std::string_view kOpenCommandKey = "Tarvik\\Shell\\open\\command";
inline constexpr std::string_view kEditCommandKey = "Tarvik\\Shell\\edit\\command";
// The open and edit commands: the program's path in double quotes (unquoted, a path with a
// blank would first run "C:\Program.exe"), then kCommandTail: two blanks and "%1" in double
// quotes. Earlier versions wrote the path unquoted; the start-up quotes such a command.
inline constexpr char kCommandQuote = '"';
inline constexpr std::string_view kCommandTail = "  \"%1\"";
// Appended to "<folder>\Tarvik.exe" for the icon: the first icon of the program.
inline constexpr std::string_view kIconTail = ",0";

// The handler's class registration: under HKEY_CLASSES_ROOT "CLSID\<id>\InprocServer32" and
// under HKEY_LOCAL_MACHINE "SOFTWARE\Classes\CLSID\<id>\InprocServer32".
inline constexpr std::string_view kClassesClsidKey = "CLSID";
inline constexpr std::string_view kMachineClsidKey = "SOFTWARE\\Classes\\CLSID";
inline constexpr std::string_view kInprocServerKey = "InprocServer32";
inline constexpr std::string_view kThreadingModelValue = "ThreadingModel";
// Under HKEY_LOCAL_MACHINE: the approved shell extensions, one value per class identifier.
inline constexpr std::string_view kApprovedKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
// Under HKEY_CLASSES_ROOT: the handler's attachment to all files, folders and directories,
// "<kind>\shellex\ContextMenuHandlers\Tarvik".
inline constexpr std::string_view kHandlerKinds[] = {"*", "Folder", "Directory"};
inline constexpr std::string_view kContextMenuHandlersKey = "shellex\\ContextMenuHandlers";
inline constexpr std::string_view kHandlerName = "Tarvik";

}  // namespace tarvik::shell
