#include "test_support.h"

#include <zlib.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "platform/fs.h"

namespace tarvik::test {

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = base / ("tarvik-test-" + std::to_string(rd()) + "-" + std::to_string(counter++));
    std::error_code ec;
    if (std::filesystem::create_directory(candidate, ec)) {
      native_ = std::filesystem::canonical(candidate);
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(native_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(native_, ec);
}

std::string TempDir::win() const { return fs::from_native(native_); }

std::string TempDir::win(const std::string& relative) const {
  std::string base = win();
  if (base.empty() || base.back() != '\\') base += '\\';
  return base + relative;
}

void write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string noise(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(gen());
  return s;
}

std::string zlib_of(std::string_view data) {
  uLongf n = compressBound(static_cast<uLong>(data.size()));
  std::string out(n, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(data.data()),
            static_cast<uLong>(data.size()), Z_DEFAULT_COMPRESSION);
  out.resize(n);
  return out;
}

std::optional<std::string> unzlib(std::string_view stream) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return std::nullopt;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
  z.avail_in = static_cast<uInt>(stream.size());
  std::string out;
  char block[65536];
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(block);
    z.avail_out = sizeof block;
    rc = inflate(&z, Z_NO_FLUSH);
    out.append(block, sizeof block - z.avail_out);
    if (rc == Z_BUF_ERROR) break;
  }
  const bool whole = rc == Z_STREAM_END && z.avail_in == 0;
  inflateEnd(&z);
  if (!whole) return std::nullopt;
  return out;
}

}  // namespace tarvik::test
