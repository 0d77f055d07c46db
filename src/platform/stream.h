// Byte streams: the abstract source and sink that the volume format reads and writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik {

// A readable, seekable run of bytes (a volume file, the own executable, a memory buffer).
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads n bytes; fewer only when the source ends first (0 at the end).
  virtual std::size_t read(void* buffer, std::size_t n) = 0;
  virtual void seek(std::uint64_t offset) = 0;
  virtual std::uint64_t tell() const = 0;
  virtual std::uint64_t size() const = 0;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Writes all n bytes or throws.
  virtual void write(const void* data, std::size_t n) = 0;
  void write(std::string_view bytes) { write(bytes.data(), bytes.size()); }
};

// The `n` bytes that begin `from_end` bytes before the end of `source`; nullopt when it is
// shorter.
std::optional<std::string> read_from_end(ByteSource& source, std::uint64_t from_end,
                                         std::size_t n);

// Reads another source through a buffer: a read that starts outside the buffer fills it with
// one read of the underlying source from there on (reads at least as long as the buffer go
// straight through), so small reads close together, such as the fields of one record, cost one
// read of the source. Seeking only moves the position. The underlying source must not be read
// or moved by others in between (reset() after it was).
class ReadAhead final : public ByteSource {
 public:
  explicit ReadAhead(ByteSource& source, std::size_t capacity = 16 * 1024);
  // The buffer is dropped; the position becomes the source's.
  void reset();
  std::size_t read(void* buffer, std::size_t n) override;
  void seek(std::uint64_t offset) override { pos_ = offset; }
  std::uint64_t tell() const override { return pos_; }
  std::uint64_t size() const override { return source_->size(); }

 private:
  ByteSource* source_;
  std::string buffer_;
  std::uint64_t start_ = 0;  // offset of buffer_[0]
  std::size_t have_ = 0;     // valid bytes in buffer_
  std::uint64_t pos_ = 0;
};

// A source over bytes held in memory (tests, small fixtures).
class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string bytes) : bytes_(std::move(bytes)) {}
  std::size_t read(void* buffer, std::size_t n) override;
  void seek(std::uint64_t offset) override { pos_ = offset; }
  std::uint64_t tell() const override { return pos_; }
  std::uint64_t size() const override { return bytes_.size(); }

 private:
  std::string bytes_;
  std::uint64_t pos_ = 0;
};

class MemorySink final : public ByteSink {
 public:
  using ByteSink::write;
  void write(const void* data, std::size_t n) override {
    bytes_.append(static_cast<const char*>(data), n);
  }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

}  // namespace tarvik
