#include "unpack/inflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <array>
#include <memory>
#include <vector>
#include <new>

#include "format/layout.h"
#include "format/messages.h"

namespace tarvik::unpack {

namespace {

constexpr std::size_t kInflateBlock = 4096;
// An entry at most this big packed and inflated is inflated whole.
constexpr std::size_t kWholePacked = 64 * 1024;
constexpr std::size_t kWholeSize = 256 * 1024;

// One z_stream, ended on every way out.
class Inflater {
 public:
  Inflater() {
    if (inflateInit(&stream_) != Z_OK) throw std::bad_alloc();
  }
  ~Inflater() { inflateEnd(&stream_); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  z_stream* operator->() { return &stream_; }
  z_stream* get() { return &stream_; }

 private:
  z_stream stream_{};
};

}  // namespace

WholeInflater::WholeInflater() : d_(libdeflate_alloc_decompressor()) {
  if (!d_) throw std::bad_alloc();
}

WholeInflater::~WholeInflater() { libdeflate_free_decompressor(d_); }

bool WholeInflater::inflate(const unsigned char* packed, std::size_t n, unsigned char* out,
                            std::size_t expected_size) {
  std::size_t used = 0;
  std::size_t produced = 0;
  // libdeflate checks the header and the Adler-32; the stream must fill the packed size and
  // give exactly the size of the record.
  const auto rc = libdeflate_zlib_decompress_ex(d_, packed, n, out, expected_size, &used,
                                                &produced);
  return rc == LIBDEFLATE_SUCCESS && used == n && produced == expected_size;
}

std::uint64_t inflate_entry(PackedSource& source, std::uint64_t expected_size, ByteSink* out,
                            const InflateHooks& hooks, unsigned char* block,
                            std::size_t block_size) {
  Inflater z;
  std::uint64_t produced = 0;
  int ret = Z_OK;
  while (ret != Z_STREAM_END) {
    if (z->avail_in == 0) {
      if (source.remaining() == 0)
        throw EntryDamaged{std::string(msg::kPackedDataBreaksOff)};
      if (hooks.before_read) hooks.before_read();
      const unsigned char* piece = nullptr;
      z->avail_in = static_cast<uInt>(source.next(piece));
      z->next_in = const_cast<unsigned char*>(piece);
    }
    do {
      z->next_out = block;
      z->avail_out = static_cast<uInt>(block_size);
      ret = inflate(z.get(), Z_NO_FLUSH);
      if (ret == Z_NEED_DICT || ret == Z_DATA_ERROR || ret == Z_STREAM_ERROR)
        throw EntryDamaged{std::string(msg::kInflateError)};
      if (ret == Z_MEM_ERROR) throw std::bad_alloc();
      const std::size_t have = block_size - z->avail_out;
      if (have > 0) {
        if (have > expected_size - produced)
          throw EntryDamaged{std::string(msg::kMoreDataThanRecord)};
        produced += have;
        if (out) out->write(block, have);
        if (hooks.after_block) hooks.after_block();
      }
    } while (z->avail_out == 0 && ret != Z_STREAM_END);
  }
  if (z->avail_in != 0 || source.remaining() != 0)
    throw EntryDamaged{std::string(msg::kStreamEndsBeforeRecord)};
  if (produced != expected_size)
    throw EntryDamaged{std::string(msg::kLessDataThanRecord)};
  return produced;
}

std::uint64_t InflateFile(EntryData& data, std::uint64_t expected_size, ByteSink* out,
                          const InflateHooks& hooks) {
  // The volume chain's data in chunks of at most 1024 bytes.
  class ChainSource final : public PackedSource {
   public:
    explicit ChainSource(EntryData& data) : data_(data) {}
    std::uint64_t remaining() const override { return data_.remaining(); }
    std::size_t next(const unsigned char*& piece) override {
      piece = in_.data();
      return data_.read_chunk(in_.data());
    }

   private:
    EntryData& data_;
    std::array<unsigned char, format::kChunkSize> in_{};
  };
  std::array<unsigned char, kInflateBlock> block{};
  if (data.remaining() <= kWholePacked && expected_size <= kWholeSize) {
    // Small enough to hold whole: read it all, inflate it in one call with libdeflate, write
    // it in one go (buffers of the thread's own, kept for its next entry).
    thread_local std::vector<unsigned char> packed;
    thread_local std::vector<unsigned char> inflated;
    thread_local std::unique_ptr<WholeInflater> whole;
    packed.resize(static_cast<std::size_t>(data.remaining()));
    for (std::size_t have = 0; have < packed.size();) {
      if (hooks.before_read) hooks.before_read();
      have += data.read(packed.data() + have, packed.size() - have);
    }
    inflated.resize(static_cast<std::size_t>(expected_size));
    if (!whole) whole = std::make_unique<WholeInflater>();
    if (whole->inflate(packed.data(), packed.size(), inflated.data(), inflated.size())) {
      if (out && !inflated.empty()) out->write(inflated.data(), inflated.size());
      if (hooks.after_block) hooks.after_block();
      return expected_size;
    }
    MemorySource again(packed.data(), packed.size());  // zlib names the fault
    return inflate_entry(again, expected_size, out, hooks, block.data(), block.size());
  }
  ChainSource source(data);
  return inflate_entry(source, expected_size, out, hooks, block.data(), block.size());
}

}  // namespace tarvik::unpack
