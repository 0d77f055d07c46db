#include "platform/executable.h"

#include <algorithm>
#include <array>
#include <string>

namespace tarvik {

namespace {

constexpr std::uint64_t kMaxHeaders = 1 << 16;  // entries of one header table we look at

// Little-endian fields read at absolute offsets; nullopt past the end.
class Reader {
 public:
  explicit Reader(ByteSource& file) : file_(file), size_(file.size()) {}
  std::uint64_t size() const { return size_; }
  std::optional<std::uint64_t> le(std::uint64_t offset, std::size_t width) {
    if (offset > size_ || width > size_ - offset) return std::nullopt;
    std::array<unsigned char, 8> bytes{};
    file_.seek(offset);
    if (file_.read(bytes.data(), width) != width) return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;) value = (value << 8) | bytes[i];
    return value;
  }

 private:
  ByteSource& file_;
  std::uint64_t size_;
};

// offset + length, or nullopt when it overflows.
std::optional<std::uint64_t> end_of(std::uint64_t offset, std::uint64_t length) {
  if (offset > UINT64_MAX - length) return std::nullopt;
  return offset + length;
}

std::optional<std::uint64_t> elf_end(Reader& r) {
  const auto klass = r.le(4, 1);
  const auto data = r.le(5, 1);
  if (!klass || !data || (*klass != 1 && *klass != 2) || *data != 1) return std::nullopt;
  const bool wide = *klass == 2;
  const std::size_t word = wide ? 8 : 4;
  const auto phoff = r.le(wide ? 0x20 : 0x1C, word);
  const auto shoff = r.le(wide ? 0x28 : 0x20, word);
  const auto ehsize = r.le(wide ? 0x34 : 0x28, 2);
  const auto phentsize = r.le(wide ? 0x36 : 0x2A, 2);
  const auto phnum = r.le(wide ? 0x38 : 0x2C, 2);
  const auto shentsize = r.le(wide ? 0x3A : 0x2E, 2);
  const auto shnum = r.le(wide ? 0x3C : 0x30, 2);
  if (!phoff || !shoff || !ehsize || !phentsize || !phnum || !shentsize || !shnum)
    return std::nullopt;
  std::uint64_t end = *ehsize;
  const auto grow = [&](std::optional<std::uint64_t> e) {
    if (!e) return false;
    end = std::max(end, *e);
    return true;
  };
  if (!grow(end_of(*phoff, *phentsize * *phnum)) || !grow(end_of(*shoff, *shentsize * *shnum)))
    return std::nullopt;
  for (std::uint64_t i = 0; i < std::min<std::uint64_t>(*phnum, kMaxHeaders); ++i) {
    const std::uint64_t at = *phoff + i * *phentsize;
    const auto offset = r.le(at + (wide ? 0x08 : 0x04), word);
    const auto filesz = r.le(at + (wide ? 0x20 : 0x10), word);
    if (!offset || !filesz || !grow(end_of(*offset, *filesz))) return std::nullopt;
  }
  constexpr std::uint64_t kNoBits = 8;  // SHT_NOBITS: takes no room in the file
  for (std::uint64_t i = 0; i < std::min<std::uint64_t>(*shnum, kMaxHeaders); ++i) {
    const std::uint64_t at = *shoff + i * *shentsize;
    const auto type = r.le(at + 0x04, 4);
    const auto offset = r.le(at + (wide ? 0x18 : 0x10), word);
    const auto size = r.le(at + (wide ? 0x20 : 0x14), word);
    if (!type || !offset || !size) return std::nullopt;
    if (*type != kNoBits && !grow(end_of(*offset, *size))) return std::nullopt;
  }
  return end;
}

std::optional<std::uint64_t> pe_end(Reader& r) {
  const auto pe = r.le(0x3C, 4);
  if (!pe || r.le(*pe, 4) != 0x00004550) return std::nullopt;  // "PE\0\0"
  const std::uint64_t coff = *pe + 4;
  const auto sections = r.le(coff + 2, 2);
  const auto optional_size = r.le(coff + 16, 2);
  if (!sections || !optional_size) return std::nullopt;
  const std::uint64_t optional_at = coff + 20;
  const auto magic = r.le(optional_at, 2);
  if (!magic || (*magic != 0x10B && *magic != 0x20B)) return std::nullopt;
  const auto headers = r.le(optional_at + 60, 4);  // SizeOfHeaders
  if (!headers) return std::nullopt;
  std::uint64_t end = *headers;
  const std::uint64_t table = optional_at + *optional_size;
  for (std::uint64_t i = 0; i < *sections; ++i) {
    const std::uint64_t at = table + i * 40;
    const auto raw_size = r.le(at + 16, 4);
    const auto raw_at = r.le(at + 20, 4);
    if (!raw_size || !raw_at) return std::nullopt;
    if (*raw_size > 0) end = std::max(end, *raw_at + *raw_size);
  }
  // A COFF symbol table (left in by linkers that do not strip) and the string table after it,
  // whose first 4 bytes hold its size.
  const auto symbols_at = r.le(coff + 8, 4);
  const auto symbols = r.le(coff + 12, 4);
  if (symbols_at && symbols && *symbols_at > 0) {
    const std::uint64_t strings_at = *symbols_at + *symbols * 18;
    const auto strings = r.le(strings_at, 4);
    end = std::max(end, strings ? strings_at + *strings : strings_at);
  }
  // The signature (certificate table, data directory 4) lies after the sections, at a file
  // offset.
  const std::uint64_t directories = optional_at + (*magic == 0x20B ? 112 : 96);
  const auto count = r.le(directories - 4, 4);
  if (count && *count > 4) {
    const auto cert_at = r.le(directories + 4 * 8, 4);
    const auto cert_size = r.le(directories + 4 * 8 + 4, 4);
    if (cert_at && cert_size && *cert_size > 0) end = std::max(end, *cert_at + *cert_size);
  }
  return end;
}

}  // namespace

std::optional<std::uint64_t> executable_image_end(ByteSource& file) {
  Reader r(file);
  const auto magic = r.le(0, 4);
  if (!magic) return std::nullopt;
  if (*magic == 0x464C457F) return elf_end(r);        // "\x7F" "ELF"
  if ((*magic & 0xFFFF) == 0x5A4D) return pe_end(r);  // "MZ"
  return std::nullopt;
}

}  // namespace tarvik
