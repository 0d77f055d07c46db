// Files on Windows: a handle and our own position, read and written at explicit offsets.
#include "platform/file.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/win32/native.h"
#include "platform/write_budget.h"

namespace tarvik {
namespace {

// The largest piece one ReadFile or WriteFile call moves.
constexpr std::size_t kChunk = 1u << 30;

HANDLE as_handle(void* handle) { return static_cast<HANDLE>(handle); }

// A journal is hidden and system at once; the extraction never gives a file of a journal's
// name both (see format::is_journal_file_name), so a file an archive brought never passes
// for a journal.
constexpr DWORD kJournalMark = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr DWORD kJournalAccess = GENERIC_READ | GENERIC_WRITE | DELETE;

bool is_journal_attributes(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & kJournalMark) == kJournalMark &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

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
    case Mode::CreateNew:
      disposition = CREATE_NEW;
      break;
  }
  // A new file never goes through a link: an existing link is a taken name.
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | (mode == Mode::CreateNew ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  HANDLE handle = ::CreateFileW(codepage::widen_path(path).c_str(), access, share, nullptr, disposition,
                                flags, nullptr);
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

File File::create_journal(const std::string& path) {
  // No sharing at all: the lock is the open handle itself.
  HANDLE handle = ::CreateFileW(codepage::widen_path(path).c_str(), kJournalAccess, 0, nullptr,
                                CREATE_NEW, kJournalMark | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw OsError(static_cast<int>(::GetLastError()), path);
  File file;
  file.handle_ = handle;
  file.path_ = path;
  return file;
}

std::optional<File> File::open_abandoned_journal(const std::string& path) {
  HANDLE handle = ::CreateFileW(codepage::widen_path(path).c_str(), kJournalAccess, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;  // held by its owner, or gone
  File file;
  file.handle_ = handle;
  file.path_ = path;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info) || !is_journal_attributes(info.dwFileAttributes))
    return std::nullopt;
  return file;
}

bool File::is_live_journal(const std::string& path) {
  const std::wstring wide = codepage::widen_path(path);
  if (!is_journal_attributes(::GetFileAttributesW(wide.c_str()))) return false;
  HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    ::CloseHandle(handle);
    return false;
  }
  return ::GetLastError() == ERROR_SHARING_VIOLATION;
}

void File::sync() {
  if (handle_ == nullptr) throw OsError(ERROR_INVALID_HANDLE, path_);
  if (!::FlushFileBuffers(as_handle(handle_)))
    throw OsError(static_cast<int>(::GetLastError()), path_);
}

void File::set_last_write_time(const fs::LocalTime& time) {
  if (handle_ == nullptr) throw OsError(ERROR_INVALID_HANDLE, path_);
  const FILETIME utc = win32::file_time_or_throw(time, path_);
  if (!::SetFileTime(as_handle(handle_), nullptr, nullptr, &utc))
    throw OsError(static_cast<int>(::GetLastError()), path_);
}

void File::truncate(std::uint64_t size) {
  if (handle_ == nullptr) throw OsError(ERROR_INVALID_HANDLE, path_);
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  if (!::SetFileInformationByHandle(as_handle(handle_), FileEndOfFileInfo, &end, sizeof end))
    throw OsError(static_cast<int>(::GetLastError()), path_);
}

void File::remove() noexcept {
  if (handle_ == nullptr) return;
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  ::SetFileInformationByHandle(as_handle(handle_), FileDispositionInfo, &disposition,
                               sizeof disposition);
}

void File::rename(const std::string& new_path) {
  if (handle_ == nullptr) throw OsError(ERROR_INVALID_HANDLE, path_);
  const std::wstring wide = codepage::widen_path(new_path);
  std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + (wide.size() + 1) * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(wide.size() * sizeof(wchar_t));
  std::copy(wide.begin(), wide.end(), info->FileName);
  if (!::SetFileInformationByHandle(as_handle(handle_), FileRenameInfo, info,
                                    static_cast<DWORD>(buffer.size())))
    throw OsError(static_cast<int>(::GetLastError()), new_path);
  path_ = new_path;
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
