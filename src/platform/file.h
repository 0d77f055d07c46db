// Files on disk, named by Windows path text (UTF-8): move-only handles that close themselves.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/fs.h"
#include "platform/stream.h"

namespace tarvik {

class File final : public ByteSource, public ByteSink {
 public:
  enum class Mode {
    Read,        // existing file, read-only, others may read and write
    Create,      // created anew or truncated, read and write
    ReadWrite,   // existing file, read and write, positioned at 0
    // A new file only, read and write: fails (OsError, os_error_is_exists) when the name is
    // taken by anything, a link or a dangling link included; a link is never followed.
    CreateNew,
  };

  File() = default;
  // Opens `path`; throws OsError naming the path on failure.
  File(const std::string& path, Mode mode);
  ~File() override;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  using ByteSink::write;
  std::size_t read(void* buffer, std::size_t n) override;  // throws OsError
  void write(const void* data, std::size_t n) override;    // throws OsError (a full disk too)
  void seek(std::uint64_t offset) override;
  std::uint64_t tell() const override;
  std::uint64_t size() const override;

  // A rollback journal's file: created new (as CreateNew), marked as a journal, and locked
  // for as long as this handle lives, so that no other process opens it as its own or as one
  // whose owner is gone. throws OsError (os_error_is_exists when the name is taken).
  static File create_journal(const std::string& path);
  // An existing journal whose owner is gone, locked now for this handle; nullopt when its
  // owner still holds it, when the file is no journal (it lacks the mark: files that the
  // extraction writes never carry it) or when it has vanished. Never throws.
  static std::optional<File> open_abandoned_journal(const std::string& path);
  // True when `path` is a journal that a running operation holds (this process's included).
  static bool is_live_journal(const std::string& path);

  // Makes what was written reach the disk. throws OsError.
  void sync();
  // Sets the last-write time through the handle (after the last write: later writes may move
  // it again). throws OsError, also for a time that is not valid.
  void set_last_write_time(const fs::LocalTime& time);
  // Cuts the file to `size` bytes. throws OsError.
  void truncate(std::uint64_t size);
  // Deletes the file while it is still held (a journal: its lock lasts until the handle
  // closes); the name is removed only when it still names this file. Never throws.
  void remove() noexcept;
  // Gives the held file a new name that nothing has yet (its lock goes with it). throws
  // OsError (os_error_is_exists when the name is taken).
  void rename(const std::string& new_path);

  bool is_open() const;
  const std::string& path() const { return path_; }
  // Closes now; a failed close (data not written) throws OsError.
  void close();

 private:
  std::string path_;
  std::uint64_t pos_ = 0;
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

// Test seam for a full disk: after `bytes` more bytes have been written through File objects,
// every write fails as a full disk would. nullopt lifts the limit.
void set_write_budget(std::optional<std::uint64_t> bytes);

}  // namespace tarvik
