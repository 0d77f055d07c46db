#include "test_support.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <iomanip>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "platform/codepage.h"
#include "platform/fs.h"

#ifdef _WIN32
#include <windows.h>
#endif

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

namespace {
std::optional<std::string> get_env(const std::string& name) {
#ifdef _WIN32
  const std::wstring wide = codepage::widen(name);
  const DWORD n = ::GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
  if (n == 0) return std::nullopt;
  std::wstring value(n, L'\0');
  value.resize(::GetEnvironmentVariableW(wide.c_str(), value.data(), n));
  return codepage::narrow(value);
#else
  const char* value = std::getenv(name.c_str());
  return value ? std::optional<std::string>(value) : std::nullopt;
#endif
}

void put_env(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
  ::SetEnvironmentVariableW(codepage::widen(name).c_str(),
                            value ? codepage::widen(*value).c_str() : nullptr);
#else
  if (value)
    ::setenv(name.c_str(), value->c_str(), 1);
  else
    ::unsetenv(name.c_str());
#endif
}
}  // namespace

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)), saved_(get_env(name_)) {
  put_env(name_, value);
}

ScopedEnv::~ScopedEnv() { put_env(name_, saved_); }

namespace {
void print_bytes(std::string_view bytes, std::ostream& os) {
  const bool short_text = bytes.size() <= 40 && std::all_of(bytes.begin(), bytes.end(), [](char c) {
                            return static_cast<unsigned char>(c) >= 0x20;
                          });
  if (short_text) {
    os << '"' << bytes << '"';
    return;
  }
  const auto crc = crc32(0, reinterpret_cast<const Bytef*>(bytes.data()),
                         static_cast<uInt>(bytes.size()));
  os << bytes.size() << " bytes, CRC " << std::hex << std::setw(8) << std::setfill('0') << crc
     << std::dec << std::setfill(' ');
}
}  // namespace

void PrintTo(const Tree& tree, std::ostream* os) {
  *os << tree.size() << " entries {";
  for (const auto& [name, bytes] : tree) {
    *os << "\n    " << name << ": ";
    print_bytes(bytes, *os);
  }
  *os << " }";
}

::testing::AssertionResult same_bytes(std::string_view actual, std::string_view expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  const auto differ = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
  return ::testing::AssertionFailure()
         << actual.size() << " bytes where " << expected.size()
         << " were expected; they first differ at offset " << (differ.first - actual.begin());
}

std::string zlib_of(std::string_view data) {
  uLongf n = compressBound(static_cast<uLong>(data.size()));
  std::string out(n, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(data.data()),
            static_cast<uLong>(data.size()), Z_DEFAULT_COMPRESSION);
  out.resize(n);
  return out;
}

std::string libdeflate_zlib_of(std::string_view data, int level) {
  libdeflate_compressor* c = libdeflate_alloc_compressor(level);
  std::string out(libdeflate_zlib_compress_bound(c, data.size()), '\0');
  out.resize(libdeflate_zlib_compress(c, data.data(), data.size(), out.data(), out.size()));
  libdeflate_free_compressor(c);
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
