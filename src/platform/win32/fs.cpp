// The file system on Windows: the W API over paths widened from UTF-8, attribute words as the
// system keeps them, local times through FileTimeToLocalFileTime.
#include "platform/fs.h"

#include <windows.h>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/win32/native.h"

namespace tarvik::fs {
namespace {

using codepage::narrow;
using codepage::widen;
using codepage::widen_path;

constexpr std::size_t kMaxNameUnits = 255;  // a name in NTFS and FAT32, in UTF-16 units

[[noreturn]] void throw_last_error(const std::string& win_path) {
  throw OsError(static_cast<int>(::GetLastError()), win_path);
}

DWORD attributes_of(const std::string& win_path) {
  return ::GetFileAttributesW(widen_path(win_path).c_str());
}

WIN32_FILE_ATTRIBUTE_DATA attribute_data_or_throw(const std::string& win_path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(widen_path(win_path).c_str(), GetFileExInfoStandard, &data)) {
    throw_last_error(win_path);
  }
  return data;
}

// Closes a handle on the way out.
struct HandleCloser {
  HANDLE handle;
  ~HandleCloser() { ::CloseHandle(handle); }
};

// The attribute bits SetFileAttributesW accepts.
constexpr DWORD kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                            FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Size of the file a symbolic link points to; 0 when it cannot be reached.
std::uint64_t linked_file_size(const std::wstring& path) {
  HANDLE handle = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  const HandleCloser closer{handle};
  LARGE_INTEGER size{};
  return ::GetFileSizeEx(handle, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

}  // namespace

std::optional<std::filesystem::path> to_native(std::string_view win_path) {
  return std::filesystem::path(widen(win_path));
}

std::string from_native(const std::filesystem::path& native) { return narrow(native.native()); }

std::string current_directory() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (n == 0) throw_last_error(".");
    if (n < buffer.size()) {
      buffer.resize(n);
      return narrow(buffer);
    }
    buffer.resize(n);
  }
}

void set_current_directory(const std::string& win_path) {
  if (!::SetCurrentDirectoryW(widen(win_path).c_str())) throw_last_error(win_path);
}

bool name_fits(std::string_view name) { return widen(name).size() <= kMaxNameUnits; }

bool names_ignore_case() { return true; }

bool exists(const std::string& win_path) {
  return attributes_of(win_path) != INVALID_FILE_ATTRIBUTES;
}

bool is_directory(const std::string& win_path) {
  const DWORD word = attributes_of(win_path);
  return word != INVALID_FILE_ATTRIBUTES && (word & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool is_file(const std::string& win_path) {
  const DWORD word = attributes_of(win_path);
  return word != INVALID_FILE_ATTRIBUTES && (word & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool name_taken(const std::string& win_path) { return exists(win_path); }

bool is_link(const std::string& win_path) {
  const DWORD word = attributes_of(win_path);
  return word != INVALID_FILE_ATTRIBUTES && (word & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

NameKind name_kind(const std::string& win_path) {
  const DWORD word = attributes_of(win_path);
  if (word == INVALID_FILE_ATTRIBUTES) return NameKind::Free;
  if (word & FILE_ATTRIBUTE_REPARSE_POINT) return NameKind::Link;
  return (word & FILE_ATTRIBUTE_DIRECTORY) ? NameKind::Folder : NameKind::File;
}

std::uint64_t file_size(const std::string& win_path) {
  const auto data = attribute_data_or_throw(win_path);
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
  return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

void create_directory(const std::string& win_path) {
  if (!::CreateDirectoryW(widen_path(win_path).c_str(), nullptr)) throw_last_error(win_path);
}

bool remove_directory(const std::string& win_path) noexcept {
  return ::RemoveDirectoryW(widen_path(win_path).c_str()) != 0;
}

bool remove_file(const std::string& win_path) noexcept {
  return ::DeleteFileW(widen_path(win_path).c_str()) != 0;
}

// MoveFileExW refuses a read-only target: its read-only bit is cleared first and put back
// when the move fails.
void rename_replace(const std::string& from, const std::string& to) {
  const std::wstring wide_from = widen_path(from);
  const std::wstring wide_to = widen_path(to);
  const DWORD target = ::GetFileAttributesW(wide_to.c_str());
  const bool cleared =
      target != INVALID_FILE_ATTRIBUTES &&
      (target & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == FILE_ATTRIBUTE_READONLY &&
      ::SetFileAttributesW(wide_to.c_str(), target & ~FILE_ATTRIBUTE_READONLY);
  if (::MoveFileExW(wide_from.c_str(), wide_to.c_str(), MOVEFILE_REPLACE_EXISTING)) return;
  const auto code = static_cast<int>(::GetLastError());
  if (cleared) ::SetFileAttributesW(wide_to.c_str(), target & kSettable);
  const bool source_missing = ::GetFileAttributesW(wide_from.c_str()) == INVALID_FILE_ATTRIBUTES;
  throw OsError(code, source_missing ? from : to);
}

bool rename_new(const std::string& from, const std::string& to) {
  const std::wstring wide_from = widen_path(from);
  const std::wstring wide_to = widen_path(to);
  if (::MoveFileExW(wide_from.c_str(), wide_to.c_str(), 0)) return true;
  const DWORD code = ::GetLastError();
  if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS) return false;
  const bool source_missing = ::GetFileAttributesW(wide_from.c_str()) == INVALID_FILE_ATTRIBUTES;
  throw OsError(static_cast<int>(code), source_missing ? from : to);
}

std::vector<DirEntry> list_directory(const std::string& win_path) {
  std::wstring folder = widen_path(win_path);
  if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/' && folder.back() != L':') {
    folder += L'\\';
  }
  WIN32_FIND_DATAW data{};
  HANDLE find = ::FindFirstFileExW((folder + L'*').c_str(), FindExInfoBasic, &data,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  std::vector<DirEntry> entries;
  if (find == INVALID_HANDLE_VALUE) {
    // An empty drive root has not even "." and "..".
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND && is_directory(win_path)) return entries;
    throw OsError(static_cast<int>(code), win_path);
  }
  struct FindCloser {
    HANDLE handle;
    ~FindCloser() { ::FindClose(handle); }
  } closer{find};
  do {
    const std::wstring_view name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    DirEntry entry;
    entry.name = narrow(name);
    entry.attributes = data.dwFileAttributes;
    entry.is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool reparse = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entry.is_linked_directory = entry.is_directory && reparse;
    if (!entry.is_directory) {
      entry.size = reparse && data.dwReserved0 == IO_REPARSE_TAG_SYMLINK
                       ? linked_file_size(folder + data.cFileName)
                       : (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    }
    entries.push_back(std::move(entry));
  } while (::FindNextFileW(find, &data));
  if (::GetLastError() != ERROR_NO_MORE_FILES) throw_last_error(win_path);
  return entries;
}

std::uint32_t attributes(const std::string& win_path) {
  const DWORD word = attributes_of(win_path);
  if (word == INVALID_FILE_ATTRIBUTES) throw_last_error(win_path);
  return word;
}

// The bits the system cannot set this way (folder, link, compression) are left out.
void set_attributes(const std::string& win_path, std::uint32_t attributes) {
  const DWORD word = attributes & kSettable;
  if (!::SetFileAttributesW(widen_path(win_path).c_str(), word == 0 ? FILE_ATTRIBUTE_NORMAL : word)) {
    throw_last_error(win_path);
  }
}

// A file made with FILE_ATTRIBUTE_NORMAL has the archive bit alone.
void set_new_file_attributes(const std::string& win_path, std::uint32_t attributes) {
  if ((attributes & kSettable) == FILE_ATTRIBUTE_ARCHIVE) return;
  set_attributes(win_path, attributes);
}

LocalTime last_write_time(const std::string& win_path) {
  const auto data = attribute_data_or_throw(win_path);
  FILETIME local{};
  SYSTEMTIME st{};
  if (!::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
      !::FileTimeToSystemTime(&local, &st)) {
    throw_last_error(win_path);
  }
  return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

// FILE_WRITE_ATTRIBUTES is granted on read-only files; backup semantics open folders.
void set_last_write_time(const std::string& win_path, const LocalTime& time) {
  const FILETIME utc = win32::file_time_or_throw(time, win_path);
  HANDLE handle = ::CreateFileW(widen_path(win_path).c_str(), FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw_last_error(win_path);
  const HandleCloser closer{handle};
  if (!::SetFileTime(handle, nullptr, nullptr, &utc)) throw_last_error(win_path);
}

void mark_executable(const std::string&) noexcept {}

LocalTime local_now() {
  SYSTEMTIME t{};
  ::GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

std::optional<std::string> per_user_folder() {
  wchar_t buffer[32768];
  const DWORD n = ::GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, 32768);
  if (n == 0 || n >= 32768) return std::nullopt;
  std::wstring folder(buffer, n);
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return narrow(folder) + "\\Tarvik";
}

std::optional<std::string> private_temp_folder() {
  wchar_t buffer[MAX_PATH + 2];
  const DWORD n = ::GetTempPathW(MAX_PATH + 2, buffer);
  if (n == 0 || n > MAX_PATH + 1) return std::nullopt;
  std::wstring folder(buffer, n);
  if (folder.empty() || folder.back() != L'\\') folder += L'\\';
  folder += L"Tarvik";
  // The user's temporary folder is the user's own: a folder made in it inherits its rights.
  if (!::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
    return std::nullopt;
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return std::nullopt;
  return narrow(folder);
}

std::string own_executable_path() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) throw_last_error("");
    if (n < buffer.size()) {
      buffer.resize(n);
      return narrow(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace tarvik::fs
