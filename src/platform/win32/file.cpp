// Files on Windows: a handle and our own position, read and written at explicit offsets.
#include "platform/file.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/write_budget.h"

namespace tarvik {
namespace {

// The largest piece one ReadFile or WriteFile call moves.
constexpr std::size_t kChunk = 1u << 30;

HANDLE as_handle(void* handle) { return static_cast<HANDLE>(handle); }

OVERLAPPED at_offset(std::uint64_t offset) {
  OVERLAPPED overlapped{};
  overlapped.Offset = static_cast<DWORD>(offset);
  overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return overlapped;
}

}  // namespace

File::File(const std::string& path, Mode mode) : path_(path) {
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD share = FILE_SHARE_READ;
  DWORD disposition = OPEN_EXISTING;
  switch (mode) {
    case Mode::Read:
      access = GENERIC_READ;
      share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
      break;
    case Mode::Create:
      disposition = OPEN_ALWAYS;
      break;
    case Mode::ReadWrite:
      break;
  }
  HANDLE handle = ::CreateFileW(codepage::widen(path).c_str(), access, share, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw OsError(static_cast<int>(::GetLastError()), path);
  // Truncated here rather than by CREATE_ALWAYS, which refuses a hidden or system file; the
  // file keeps its attributes, as it keeps its mode on Linux.
  if (mode == Mode::Create && !::SetEndOfFile(handle)) {
    const DWORD code = ::GetLastError();
    ::CloseHandle(handle);
    throw OsError(static_cast<int>(code), path);
  }
  handle_ = handle;
}

File::~File() {
  if (handle_ != nullptr) ::CloseHandle(as_handle(handle_));
}

File::File(File&& other) noexcept
    : path_(std::move(other.path_)),
      pos_(other.pos_),
      handle_(std::exchange(other.handle_, nullptr)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr) ::CloseHandle(as_handle(handle_));
    path_ = std::move(other.path_);
    pos_ = other.pos_;
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

bool File::is_open() const { return handle_ != nullptr; }

std::size_t File::read(void* buffer, std::size_t n) {
  if (handle_ == nullptr) throw OsError(ERROR_INVALID_HANDLE, path_);
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < n) {
    OVERLAPPED overlapped = at_offset(pos_);
    DWORD got = 0;
    const auto want = static_cast<DWORD>(std::min(n - done, kChunk));
    if (!::ReadFile(as_handle(handle_), out + done, want, &got, &overlapped)) {
      const DWORD code = ::GetLastError();
      if (code == ERROR_HANDLE_EOF) break;
      throw OsError(static_cast<int>(code), path_);
    }
    if (got == 0) break;
    done += got;
    pos_ += got;
  }
  return done;
}

void File::write(const void* data, std::size_t n) {
  if (handle_ == nullptr) throw OsError(ERROR_INVALID_HANDLE, path_);
  const std::size_t allowed = detail::take_write_budget(n);
  const auto* in = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < allowed) {
    OVERLAPPED overlapped = at_offset(pos_);
    DWORD put = 0;
    const auto want = static_cast<DWORD>(std::min(allowed - done, kChunk));
    if (!::WriteFile(as_handle(handle_), in + done, want, &put, &overlapped)) {
      throw OsError(static_cast<int>(::GetLastError()), path_);
    }
    if (put == 0) throw OsError(ERROR_DISK_FULL, path_);
    done += put;
    pos_ += put;
  }
  if (allowed < n) throw OsError(ERROR_DISK_FULL, path_);
}

void File::seek(std::uint64_t offset) { pos_ = offset; }

std::uint64_t File::tell() const { return pos_; }

std::uint64_t File::size() const {
  if (handle_ == nullptr) throw OsError(ERROR_INVALID_HANDLE, path_);
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(as_handle(handle_), &size)) {
    throw OsError(static_cast<int>(::GetLastError()), path_);
  }
  return static_cast<std::uint64_t>(size.QuadPart);
}

void File::close() {
  if (handle_ == nullptr) return;
  if (!::CloseHandle(as_handle(std::exchange(handle_, nullptr)))) {
    throw OsError(static_cast<int>(::GetLastError()), path_);
  }
}

}  // namespace tarvik
