// Files on Linux: a descriptor and our own position, read and written with pread/pwrite.
#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
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
  }
  return O_RDONLY;
}

}  // namespace

File::File(const std::string& path, Mode mode) : path_(path) {
  const std::string native = posix::native_or_throw(path);
  int fd;
  do {
    // O_NONBLOCK keeps a pipe without a writer from hanging here (pread then refuses it).
    fd = ::open(native.c_str(), open_flags(mode) | O_CLOEXEC | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) throw OsError(errno, path);
  // A folder opens for reading here, but not on Windows: refuse it the same way.
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int code = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd);
    throw OsError(code, path);
  }
  fd_ = fd;
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
