// Files on Linux: a descriptor and our own position, read and written with pread/pwrite.
#include "platform/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/error.h"
#include "platform/posix/native.h"
#include "platform/write_budget.h"

namespace tarvik {
namespace {

int open_flags(File::Mode mode) {
  switch (mode) {
    case File::Mode::Read:
      return O_RDONLY;
    case File::Mode::Create:
      return O_RDWR | O_CREAT | O_TRUNC;
    case File::Mode::ReadWrite:
      return O_RDWR;
    case File::Mode::CreateNew:
      return O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
  }
  return O_RDONLY;
}

// A journal carries the sticky bit: the extraction never gives it to a file it writes, so a
// file an archive brought can never pass for a journal.
constexpr mode_t kJournalMode = S_ISVTX | S_IRUSR | S_IWUSR;

bool is_journal_mode(const struct stat& st) {
  return S_ISREG(st.st_mode) && (st.st_mode & S_ISVTX) != 0;
}

// True when `native` still names the file open as `fd`.
bool names_same_file(int fd, const std::string& native) {
  struct stat held {}, named {};
  return ::fstat(fd, &held) == 0 && ::lstat(native.c_str(), &named) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino && held.st_nlink > 0;
}

int lock(int fd, int how) {
  int rc;
  do {
    rc = ::flock(fd, how);
  } while (rc != 0 && errno == EINTR);
  return rc;
}

}  // namespace

File::File(const std::string& path, Mode mode) : path_(path) {
  const std::string native = posix::native_or_throw(path);
  int fd;
  do {
    // O_NONBLOCK keeps a pipe without a writer from hanging here (pread then refuses it).
    fd = ::open(native.c_str(), open_flags(mode) | O_CLOEXEC | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) throw OsError(mode == Mode::CreateNew && errno == ELOOP ? EEXIST : errno, path);
  fd_ = fd;
  // A folder opens for reading here, but not on Windows: refuse it the same way. (A file made
  // new is no folder.)
  if (mode == Mode::CreateNew) return;
  fd_ = -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int code = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd);
    throw OsError(code, path);
  }
  fd_ = fd;
}

File File::create_journal(const std::string& path) {
  File file(path, Mode::CreateNew);
  // Recovery in another process may hold the unmarked file for a moment: wait for it.
  if (lock(file.fd_, LOCK_EX) != 0 || ::fchmod(file.fd_, kJournalMode) != 0) {
    const int code = errno;
    file.remove();
    throw OsError(code, path);
  }
  return file;
}

std::optional<File> File::open_abandoned_journal(const std::string& path) {
  const auto native = fs::to_native(path);
  if (!native) return std::nullopt;
  const int fd = ::open(native->c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  File file;
  file.fd_ = fd;
  file.path_ = path;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !is_journal_mode(st) || lock(fd, LOCK_EX | LOCK_NB) != 0)
    return std::nullopt;
  // Another recovery may have finished with it and deleted it before the lock was ours.
  if (!names_same_file(fd, native->string())) return std::nullopt;
  return file;
}

bool File::is_live_journal(const std::string& path) {
  const auto native = fs::to_native(path);
  if (!native) return false;
  const int fd = ::open(native->c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  const bool live = ::fstat(fd, &st) == 0 && is_journal_mode(st) &&
                    lock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return live;
}

void File::sync() {
  if (fd_ < 0) throw OsError(EBADF, path_);
  if (::fsync(fd_) != 0) throw OsError(errno, path_);
}

void File::set_last_write_time(const fs::LocalTime& time) {
  if (fd_ < 0) throw OsError(EBADF, path_);
  const struct timespec times[2] = {{0, UTIME_OMIT}, {posix::stamp_or_throw(time, path_), 0}};
  if (::futimens(fd_, times) != 0) throw OsError(errno, path_);
}

void File::truncate(std::uint64_t size) {
  if (fd_ < 0) throw OsError(EBADF, path_);
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) throw OsError(errno, path_);
}

void File::remove() noexcept {
  if (fd_ < 0) return;
  const auto native = fs::to_native(path_);
  if (native && names_same_file(fd_, native->string())) ::unlink(native->c_str());
}

void File::rename(const std::string& new_path) {
  if (fd_ < 0) throw OsError(EBADF, path_);
  const std::string from = posix::native_or_throw(path_);
  const std::string to = posix::native_or_throw(new_path);
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0)
    throw OsError(errno, new_path);
  path_ = new_path;
}

File::~File() {
  if (fd_ >= 0) ::close(fd_);
}

File::File(File&& other) noexcept
    : path_(std::move(other.path_)), pos_(other.pos_), fd_(std::exchange(other.fd_, -1)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    path_ = std::move(other.path_);
    pos_ = other.pos_;
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

bool File::is_open() const { return fd_ >= 0; }

std::size_t File::read(void* buffer, std::size_t n) {
  if (fd_ < 0) throw OsError(EBADF, path_);
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < n) {
    const ssize_t got = ::pread(fd_, out + done, n - done, static_cast<off_t>(pos_));
    if (got < 0) {
      if (errno == EINTR) continue;
      throw OsError(errno, path_);
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
    pos_ += static_cast<std::uint64_t>(got);
  }
  return done;
}

void File::write(const void* data, std::size_t n) {
  if (fd_ < 0) throw OsError(EBADF, path_);
  const std::size_t allowed = detail::take_write_budget(n);
  const auto* in = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < allowed) {
    const ssize_t put = ::pwrite(fd_, in + done, allowed - done, static_cast<off_t>(pos_));
    if (put < 0) {
      if (errno == EINTR) continue;
      throw OsError(errno, path_);
    }
    if (put == 0) throw OsError(ENOSPC, path_);
    done += static_cast<std::size_t>(put);
    pos_ += static_cast<std::uint64_t>(put);
  }
  if (allowed < n) throw OsError(ENOSPC, path_);
}

void File::seek(std::uint64_t offset) { pos_ = offset; }

std::uint64_t File::tell() const { return pos_; }

std::uint64_t File::size() const {
  struct stat st {};
  if (fd_ < 0) throw OsError(EBADF, path_);
  if (::fstat(fd_, &st) != 0) throw OsError(errno, path_);
  return static_cast<std::uint64_t>(st.st_size);
}

void File::close() {
  if (fd_ < 0) return;
  // The descriptor is gone whatever close says; EINTR does not mean the data was lost.
  if (::close(std::exchange(fd_, -1)) != 0 && errno != EINTR) throw OsError(errno, path_);
}

}  // namespace tarvik
