#include "unpack/inflate.h"

#include <zlib.h>

#include <array>
#include <new>

#include "format/layout.h"

namespace tarvik::unpack {

namespace {

constexpr std::size_t kInflateBlock = 4096;

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

std::uint64_t InflateFile(EntryData& data, std::uint64_t expected_size, ByteSink* out,
                          const InflateHooks& hooks) {
  Inflater z;
  std::array<unsigned char, format::kChunkSize> in{};
  std::array<unsigned char, kInflateBlock> block{};
  std::uint64_t produced = 0;
  int ret = Z_OK;
  while (ret != Z_STREAM_END) {
    if (z->avail_in == 0) {
      if (data.remaining() == 0) throw EntryDamaged{"сжатые данные обрываются раньше конца потока"};
      if (hooks.before_read) hooks.before_read();
      z->next_in = in.data();
      z->avail_in = static_cast<uInt>(data.read_chunk(in.data()));
    }
    do {
      z->next_out = block.data();
      z->avail_out = static_cast<uInt>(block.size());
      ret = inflate(z.get(), Z_NO_FLUSH);
      if (ret == Z_NEED_DICT || ret == Z_DATA_ERROR || ret == Z_STREAM_ERROR)
        throw EntryDamaged{"ошибка распаковки сжатых данных"};
      if (ret == Z_MEM_ERROR) throw std::bad_alloc();
      const std::size_t have = block.size() - z->avail_out;
      if (have > 0) {
        if (have > expected_size - produced)
          throw EntryDamaged{"распакованных данных больше, чем указано в записи"};
        produced += have;
        if (out) out->write(block.data(), have);
        if (hooks.after_block) hooks.after_block();
      }
    } while (z->avail_out == 0 && ret != Z_STREAM_END);
  }
  if (z->avail_in != 0 || data.remaining() != 0)
    throw EntryDamaged{"поток сжатых данных кончается раньше записи"};
  if (produced != expected_size)
    throw EntryDamaged{"распакованных данных меньше, чем указано в записи"};
  return produced;
}

}  // namespace tarvik::unpack
