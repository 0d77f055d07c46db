#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "format/crc.h"
#include "format/names.h"
#include "format/printable.h"
#include "platform/codepage.h"
#include "platform/fs.h"

namespace tarvik::fuzz {

namespace {

namespace stdfs = std::filesystem;

// The process's fuzz root: a folder on the memory file system, created on first use.
const stdfs::path& fuzz_root() {
  static const stdfs::path root = [] {
    stdfs::path base = stdfs::exists("/dev/shm") ? stdfs::path("/dev/shm") : stdfs::temp_directory_path();
    stdfs::path path = base / ("tarvik-fuzz-" + std::to_string(::getpid()));
    stdfs::remove_all(path);
    stdfs::create_directories(path);
    std::atexit([] { std::error_code ignored; stdfs::remove_all(fuzz_root(), ignored); });
    return path;
  }();
  return root;
}

std::string read_all(const stdfs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void make_writable(const stdfs::path& root) {
  std::error_code ignored;
  for (auto it = stdfs::recursive_directory_iterator(root, ignored);
       it != stdfs::recursive_directory_iterator(); it.increment(ignored)) {
    stdfs::permissions(it->path(), stdfs::perms::owner_all, stdfs::perm_options::add, ignored);
  }
}

}  // namespace

void finding(std::string_view what) {
  std::fprintf(stderr, "FINDING: %.*s\n", static_cast<int>(what.size()), what.data());
  std::abort();
}

Input split(const std::uint8_t* data, std::size_t size) {
  Input input;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  if (!rest.empty()) {
    input.control = static_cast<unsigned char>(rest[0]);
    rest.remove_prefix(1);
  }
  while (input.volumes.size() + 1 < kMaxVolumes) {
    const auto at = rest.find(kVolumeSeparator);
    if (at == std::string_view::npos) break;
    input.volumes.emplace_back(rest.substr(0, at));
    rest.remove_prefix(at + kVolumeSeparator.size());
  }
  input.volumes.emplace_back(rest);
  return input;
}

std::string join(unsigned char control, const std::vector<std::string>& volumes) {
  std::string out(1, static_cast<char>(control));
  for (std::size_t i = 0; i < volumes.size(); ++i) {
    if (i > 0) out += kVolumeSeparator;
    out += volumes[i];
  }
  return out;
}

void seal(std::string& volume) {
  if (volume.size() < 8) return;
  format::Crc32 crc;
  crc.update(std::string_view(volume).substr(0, volume.size() - 8));
  volume.replace(volume.size() - 8, 8, format::crc_text(crc.value()));
}

Scratch::Scratch() : native_(fuzz_root() / "run") {
  stdfs::remove_all(native_);
  for (const char* name : {"arch", "out", "program"}) stdfs::create_directories(native_ / name);
  arch = fs::from_native(native_ / "arch");
  out = fs::from_native(native_ / "out");
  program = fs::from_native(native_ / "program");
}

Scratch::~Scratch() {
  make_writable(native_);
  std::error_code ignored;
  stdfs::remove_all(native_, ignored);
}

std::string Scratch::write(const Input& input, const std::string& folder, bool self_extracting,
                           std::string_view name) {
  const bool multi = input.volumes.size() > 1;
  std::string first;
  for (std::size_t i = 0; i < input.volumes.size(); ++i) {
    std::string bytes = input.volumes[i];
    if (input.sealed()) seal(bytes);
    const std::string path = format::volume_file_name(
        folder, name, {multi, self_extracting}, static_cast<int>(i + 1));
    std::ofstream(*fs::to_native(path), std::ios::binary) << bytes;
    if (i == 0) first = path;
  }
  return first;
}

std::map<std::string, std::string> Scratch::tree() const {
  std::map<std::string, std::string> tree;
  std::error_code ignored;
  for (auto it = stdfs::recursive_directory_iterator(native_, ignored);
       it != stdfs::recursive_directory_iterator(); it.increment(ignored)) {
    const std::string name = stdfs::relative(it->path(), native_).generic_string();
    tree[name] = it->is_directory() ? "<dir>" : (it->is_symlink() ? "<link>" : read_all(it->path()));
  }
  return tree;
}

void Scratch::require_nothing_outside_out(
    const std::map<std::string, std::string>& arch_before) const {
  for (auto it = stdfs::directory_iterator(fuzz_root()); it != stdfs::directory_iterator(); ++it) {
    if (it->path() != native_) finding("written outside the target: " + it->path().string());
  }
  std::map<std::string, std::string> arch_now;
  for (const auto& [name, bytes] : tree()) {
    if (name == "arch" || name == "out" || name == "program") continue;
    if (name.starts_with("out/") || name.starts_with("program/")) continue;
    if (!name.starts_with("arch/")) finding("written outside the target: " + name);
    arch_now[name] = bytes;
  }
  if (arch_now != arch_before) finding("the archive's folder changed");
}

void FuzzUi::show_message(std::string_view text) {
  // Nothing in a message may steer a terminal: lines break with LF (the fixed texts with LF
  // CR), and everything else is printable.
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find('\n', start);
    const std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
    if (format::printable(line) != line) finding("a message holds a control character");
    if (end == std::string_view::npos) break;
    start = end + 1;
    if (start < text.size() && text[start] == '\r') ++start;
  }
}

void FuzzUi::set_caption(std::string_view text) {
  if (format::printable(text) != text) finding("a caption holds a control character");
}

void FuzzUi::set_item(std::string_view text) {
  if (format::printable(text) != text) finding("a progress item holds a control character");
}

}  // namespace tarvik::fuzz
