// The file system as the archiver sees it: Windows paths (UTF-8 text, "\" separators, a drive
// letter), attribute words and local last-write times. On Linux the root "/" is the drive
// "Z:\" (the convention Wine uses), so /home/u/Work is Z:\home\u\Work.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::fs {

// Windows attribute bits that the archive keeps.
inline constexpr std::uint32_t kReadOnly = 1;
inline constexpr std::uint32_t kHidden = 2;
inline constexpr std::uint32_t kSystem = 4;
inline constexpr std::uint32_t kDirectory = 16;
inline constexpr std::uint32_t kArchive = 32;

// Windows path text to the native path; nullopt when it names nothing this system can reach
// (on Linux: a drive other than Z:).
std::optional<std::filesystem::path> to_native(std::string_view win_path);
// Native path to Windows path text (absolute native paths give absolute Windows paths).
std::string from_native(const std::filesystem::path& native);

std::string current_directory();
void set_current_directory(const std::string& win_path);  // throws OsError

bool exists(const std::string& win_path);  // file or folder
// True when one file name (a single component, UTF-8) is short enough for this system: at most
// 255 UTF-16 units on Windows, 255 bytes on Linux.
bool name_fits(std::string_view name);
// True where the file system takes "A.txt" and "a.txt" for one name (Windows).
bool names_ignore_case();
bool is_directory(const std::string& win_path);
bool is_file(const std::string& win_path);
// A name taken by anything, a link (even one that leads nowhere) included; links not followed.
bool name_taken(const std::string& win_path);
// A symbolic link, junction or other reparse point (not followed).
bool is_link(const std::string& win_path);
// What has the name, with one question to the system; links are not followed (a link to a
// folder is a Link). A name that cannot be reached is Free, as for name_taken.
enum class NameKind { Free, File, Folder, Link };
NameKind name_kind(const std::string& win_path);
std::uint64_t file_size(const std::string& win_path);  // throws OsError

// Creates one folder level; throws OsError.
void create_directory(const std::string& win_path);
// Remove an empty folder / a file; false when it failed (missing, not empty, denied).
bool remove_directory(const std::string& win_path) noexcept;
bool remove_file(const std::string& win_path) noexcept;
// Renames, replacing an existing target (even a read-only one); throws OsError.
void rename_replace(const std::string& from, const std::string& to);
// Renames only when nothing has the name `to` (a dangling link included), in one step where
// the system can: false, with nothing changed, when it is taken. throws OsError otherwise.
bool rename_new(const std::string& from, const std::string& to);

struct DirEntry {
  std::string name;  // without folder
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;  // for files
  bool is_directory = false;
  // A folder reached through a symbolic link or junction: never descended into.
  bool is_linked_directory = false;
};
// Every entry of the folder but "." and "..", hidden and system ones included, in the order
// the file system returns them. A link to a file is reported as the file it points to.
std::vector<DirEntry> list_directory(const std::string& win_path);  // throws OsError

// Attribute word of a file or folder (on Linux derived: 16 folder, 32 file, 1 when the owner
// cannot write, 2 for dot-names). throws OsError.
std::uint32_t attributes(const std::string& win_path);
// Applies the word as far as the system can (on Linux: read-only only). throws OsError.
void set_attributes(const std::string& win_path, std::uint32_t attributes);
// As set_attributes, for a file this program has just created (File::Mode::CreateNew) and not
// changed since: nothing is asked of the system when the file has the word already (a new file
// has the archive bit alone on Windows, and its owner may write it on Linux).
void set_new_file_attributes(const std::string& win_path, std::uint32_t attributes);

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  friend bool operator==(const LocalTime&, const LocalTime&) = default;
};
// A real calendar time in the range Windows file times can hold (years 1601..30827).
bool is_valid_local_time(const LocalTime& time);
LocalTime last_write_time(const std::string& win_path);  // throws OsError
// Works on read-only files and on folders too; throws OsError, also for a time that is not
// valid.
void set_last_write_time(const std::string& win_path, const LocalTime& time);

// Marks a file executable (self-extracting archives on Linux); nothing to do on Windows.
void mark_executable(const std::string& win_path) noexcept;

// The local time now.
LocalTime local_now();

// Full Windows path of the running executable.
std::string own_executable_path();

// The user's own folder for the program's state: %LOCALAPPDATA%\Tarvik on Windows,
// $XDG_STATE_HOME/tarvik or ~/.local/state/tarvik on Linux; nullopt when the environment
// names none. The folder need not exist.
std::optional<std::string> per_user_folder();

// The user's private folder in the system's temporary folder, made when missing: on Linux
// "tarvik-<uid>" in $TMPDIR (else /tmp), mode 0700; on Windows "Tarvik" in the user's own
// temporary folder. nullopt when it cannot be made, or when what has that name is not a
// folder of this user's alone (another user's, a link, open to others).
std::optional<std::string> private_temp_folder();

}  // namespace tarvik::fs
