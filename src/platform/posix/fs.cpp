// The file system on Linux: the root "/" is the drive "Z:\", attribute words are derived from
// the mode bits and the name, times are local wall times of the modification stamp.
#include "platform/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "platform/error.h"
#include "platform/posix/native.h"

namespace tarvik::fs {
namespace {

using posix::native_or_throw;

constexpr std::size_t kMaxNameBytes = 255;  // NAME_MAX of the usual file systems

bool is_separator(char c) { return c == '\\' || c == '/'; }
bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool is_dot_name(std::string_view name) {
  return !name.empty() && name[0] == '.' && name != "." && name != "..";
}

// The last name of a Windows path, trailing separators ignored ("" for a drive root).
std::string_view last_name(std::string_view win_path) {
  while (!win_path.empty() && is_separator(win_path.back())) win_path.remove_suffix(1);
  const auto cut = win_path.find_last_of("\\/:");
  return cut == std::string_view::npos ? win_path : win_path.substr(cut + 1);
}

std::uint32_t attributes_of(const struct stat& st, std::string_view name) {
  std::uint32_t word = S_ISDIR(st.st_mode) ? kDirectory : kArchive;
  if ((st.st_mode & S_IWUSR) == 0) word |= kReadOnly;
  if (is_dot_name(name)) word |= kHidden;
  return word;
}

// stat of a Windows path (links followed); false when it cannot be reached.
bool stat_path(const std::string& win_path, struct stat& st) {
  const auto native = to_native(win_path);
  return native && ::stat(native->c_str(), &st) == 0;
}

struct stat stat_or_throw(const std::string& win_path) {
  struct stat st {};
  if (::stat(native_or_throw(win_path).c_str(), &st) != 0) throw OsError(errno, win_path);
  return st;
}

[[noreturn]] void throw_errno(const std::string& win_path) { throw OsError(errno, win_path); }

}  // namespace

std::optional<std::filesystem::path> to_native(std::string_view win_path) {
  std::string_view rest = win_path;
  std::string native;
  if (rest.size() >= 2 && rest[1] == ':' && is_letter(rest[0])) {
    if (rest[0] != 'Z' && rest[0] != 'z') return std::nullopt;
    rest.remove_prefix(2);
    // "Z:name" is relative to the current folder of Z:, which is the current folder.
    if (rest.empty()) return std::filesystem::path(".");
  } else if (rest.size() >= 2 && is_separator(rest[0]) && is_separator(rest[1])) {
    return std::nullopt;  // a network share
  }
  native.reserve(rest.size());
  for (const char c : rest) native += c == '\\' ? '/' : c;
  return std::filesystem::path(std::move(native));
}

std::string from_native(const std::filesystem::path& native) {
  const std::string& text = native.native();
  const bool absolute = !text.empty() && text[0] == '/';
  std::string win = absolute ? "Z:" : "";
  for (const char c : text) {
    if (c != '/') {
      win += c;
    } else if (win.empty() || win.back() != '\\') {
      win += '\\';
    }
  }
  const std::size_t keep = absolute ? 3 : 1;  // "Z:\" stays
  while (win.size() > keep && win.back() == '\\') win.pop_back();
  return win;
}

std::string current_directory() {
  std::string buffer(PATH_MAX, '\0');
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) throw OsError(errno, ".");
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  return from_native(buffer);
}

void set_current_directory(const std::string& win_path) {
  if (::chdir(native_or_throw(win_path).c_str()) != 0) throw_errno(win_path);
}

bool name_fits(std::string_view name) { return name.size() <= kMaxNameBytes; }

bool names_ignore_case() { return false; }

bool exists(const std::string& win_path) {
  struct stat st {};
  return stat_path(win_path, st);
}

bool is_directory(const std::string& win_path) {
  struct stat st {};
  return stat_path(win_path, st) && S_ISDIR(st.st_mode);
}

bool is_file(const std::string& win_path) {
  struct stat st {};
  return stat_path(win_path, st) && !S_ISDIR(st.st_mode);
}

bool name_taken(const std::string& win_path) {
  const auto native = to_native(win_path);
  struct stat st {};
  return native && ::lstat(native->c_str(), &st) == 0;
}

bool is_link(const std::string& win_path) {
  const auto native = to_native(win_path);
  struct stat st {};
  return native && ::lstat(native->c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

NameKind name_kind(const std::string& win_path) {
  const auto native = to_native(win_path);
  struct stat st {};
  if (!native || ::lstat(native->c_str(), &st) != 0) return NameKind::Free;
  if (S_ISLNK(st.st_mode)) return NameKind::Link;
  return S_ISDIR(st.st_mode) ? NameKind::Folder : NameKind::File;
}

std::uint64_t file_size(const std::string& win_path) {
  const struct stat st = stat_or_throw(win_path);
  return S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
}

void create_directory(const std::string& win_path) {
  if (::mkdir(native_or_throw(win_path).c_str(), 0777) != 0) throw_errno(win_path);
}

bool remove_directory(const std::string& win_path) noexcept {
  const auto native = to_native(win_path);
  return native && ::rmdir(native->c_str()) == 0;
}

bool remove_file(const std::string& win_path) noexcept {
  const auto native = to_native(win_path);
  return native && ::unlink(native->c_str()) == 0;
}

void rename_replace(const std::string& from, const std::string& to) {
  const std::string native_from = native_or_throw(from);
  const std::string native_to = native_or_throw(to);
  if (::rename(native_from.c_str(), native_to.c_str()) == 0) return;
  const int code = errno;
  struct stat st {};
  throw OsError(code, ::lstat(native_from.c_str(), &st) != 0 ? from : to);
}

bool rename_new(const std::string& from, const std::string& to) {
  const std::string native_from = native_or_throw(from);
  const std::string native_to = native_or_throw(to);
  if (::renameat2(AT_FDCWD, native_from.c_str(), AT_FDCWD, native_to.c_str(),
                  RENAME_NOREPLACE) == 0)
    return true;
  int code = errno;
  if (code == EEXIST) return false;
  struct stat st {};
  if (code == EINVAL || code == ENOSYS) {
    // A file system that cannot refuse a taken name in the rename itself: asked first.
    if (::lstat(native_to.c_str(), &st) == 0) return false;
    if (::rename(native_from.c_str(), native_to.c_str()) == 0) return true;
    code = errno;
  }
  throw OsError(code, ::lstat(native_from.c_str(), &st) != 0 ? from : to);
}

std::vector<DirEntry> list_directory(const std::string& win_path) {
  const std::string native = native_or_throw(win_path);
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(native.c_str()), &::closedir);
  if (!dir) throw_errno(win_path);
  std::vector<DirEntry> entries;
  for (;;) {
    errno = 0;
    const dirent* d = ::readdir(dir.get());
    if (d == nullptr) {
      if (errno != 0) throw_errno(win_path);
      break;
    }
    const std::string_view name = d->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (::fstatat(::dirfd(dir.get()), d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      continue;  // gone since it was listed
    }
    bool linked = false;
    if (S_ISLNK(st.st_mode)) {
      struct stat target {};
      if (::fstatat(::dirfd(dir.get()), d->d_name, &target, 0) == 0) {
        st = target;
        linked = true;
      } else {
        st.st_mode = S_IFREG | S_IWUSR;  // a dangling link: a file that will fail to open
        st.st_size = 0;
      }
    }
    DirEntry entry;
    entry.name = std::string(name);
    entry.attributes = attributes_of(st, name);
    entry.is_directory = S_ISDIR(st.st_mode);
    entry.is_linked_directory = linked && entry.is_directory;
    entry.size = entry.is_directory ? 0 : static_cast<std::uint64_t>(st.st_size);
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::uint32_t attributes(const std::string& win_path) {
  return attributes_of(stat_or_throw(win_path), last_name(win_path));
}

// Only read-only has a form here, and only for files: the read-only bit of a Windows folder
// does not stop anyone writing into it, so a folder keeps its permissions.
void set_attributes(const std::string& win_path, std::uint32_t attributes) {
  const struct stat st = stat_or_throw(win_path);
  if (S_ISDIR(st.st_mode)) return;
  mode_t mode = st.st_mode & 07777;
  if (attributes & kReadOnly) {
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  } else {
    mode |= S_IWUSR;
  }
  if (mode == (st.st_mode & 07777)) return;
  if (::chmod(native_or_throw(win_path).c_str(), mode) != 0) throw_errno(win_path);
}

// A new file is made with 0666 less the umask: its owner may write it unless the umask takes
// that away, which is read once (the process does not change its umask).
void set_new_file_attributes(const std::string& win_path, std::uint32_t attributes) {
  static const bool owner_writes = [] {
    std::FILE* status = std::fopen("/proc/self/status", "re");
    if (status == nullptr) return true;
    char line[256];
    unsigned mask = 022;
    while (std::fgets(line, sizeof line, status) != nullptr) {
      if (std::sscanf(line, "Umask: %o", &mask) == 1) break;
    }
    std::fclose(status);
    return (mask & S_IWUSR) == 0;
  }();
  if ((attributes & kReadOnly) == 0 && owner_writes) return;
  set_attributes(win_path, attributes);
}

LocalTime last_write_time(const std::string& win_path) {
  const struct stat st = stat_or_throw(win_path);
  std::tm tm{};
  if (::localtime_r(&st.st_mtim.tv_sec, &tm) == nullptr) throw OsError(EOVERFLOW, win_path);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

// Only the owner may set times; write permission is not needed, so read-only files work too.
void set_last_write_time(const std::string& win_path, const LocalTime& time) {
  const std::string native = native_or_throw(win_path);
  const struct timespec times[2] = {{0, UTIME_OMIT}, {posix::stamp_or_throw(time, win_path), 0}};
  if (::utimensat(AT_FDCWD, native.c_str(), times, 0) != 0) throw_errno(win_path);
}

void mark_executable(const std::string& win_path) noexcept {
  const auto native = to_native(win_path);
  if (!native) return;
  struct stat st {};
  if (::stat(native->c_str(), &st) == 0)
    ::chmod(native->c_str(), st.st_mode | S_IXUSR | S_IXGRP | S_IXOTH);
}

LocalTime local_now() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&now, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::optional<std::string> per_user_folder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return from_native(std::string(state) + "/tarvik");
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/')
    return from_native(std::string(home) + "/.local/state/tarvik");
  return std::nullopt;
}

std::optional<std::string> private_temp_folder() {
  const char* tmpdir = std::getenv("TMPDIR");
  const std::string base = tmpdir != nullptr && tmpdir[0] == '/' ? tmpdir : "/tmp";
  const std::string folder = base + "/tarvik-" + std::to_string(::getuid());
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return std::nullopt;
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
      (st.st_mode & 077) != 0)
    return std::nullopt;
  return from_native(folder);
}

std::string own_executable_path() {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) throw OsError(errno, "/proc/self/exe");
    if (static_cast<std::size_t>(length) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(length));
      return from_native(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace tarvik::fs
