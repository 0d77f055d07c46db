// Files on disk, named by Windows path text (UTF-8): move-only handles that close themselves.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/stream.h"

namespace tarvik {

class File final : public ByteSource, public ByteSink {
 public:
  enum class Mode {
    Read,        // existing file, read-only, others may read and write
    Create,      // created anew or truncated, read and write
    ReadWrite,   // existing file, read and write, positioned at 0
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
