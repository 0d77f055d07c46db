// Archives built byte by byte for the extraction tests: the records, the splitting rule and
// the tails as the packer writes them, with knobs to damage any field. Also a snapshot of a
// folder tree to tell "exactly as before".
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "format/crc.h"
#include "format/layout.h"
#include "format/names.h"
#include "format/password.h"
#include "format/records.h"
#include "platform/codepage.h"
#include "platform/fs.h"
#include "test_support.h"

namespace tarvik::test {

// Archive bytes of a UTF-8 name.
inline std::string cp(std::string_view utf8) { return codepage::to_archive(utf8).value(); }

struct FixtureEntry {
  char tag = format::kFileTag;
  std::string relative;  // archive bytes, beginning with "\"
  std::string data;      // a file's contents
  std::uint32_t attributes = fs::kArchive;
  std::string time = "08.12.2026 14:05";
  // Damage: fields and data other than the truth.
  std::optional<std::uint64_t> stored_size;
  std::optional<std::uint64_t> stored_packed;
  std::optional<std::string> packed;  // in place of zlib_of(data)
  std::optional<std::string> raw;     // the whole record as given (fields and data)
};

inline FixtureEntry file(std::string relative, std::string data) {
  FixtureEntry e;
  e.relative = std::move(relative);
  e.data = std::move(data);
  return e;
}
inline FixtureEntry folder(std::string relative) {
  FixtureEntry e;
  e.tag = format::kFolderTag;
  e.relative = std::move(relative);
  e.attributes = fs::kDirectory;
  return e;
}

struct FixtureArchive {
  std::string source = "C:\\Work";  // archive bytes
  std::vector<FixtureEntry> entries;
  std::optional<std::uint64_t> limit;  // compressed bytes per volume; none: one volume
  std::string password;                // archive bytes; blank for none
  std::optional<std::string> stub;     // self-extracting
};

inline std::string stored_path(const FixtureArchive& a, const std::string& relative) {
  if (!a.source.empty() && a.source.back() == '\\') return a.source + relative.substr(1);
  return a.source + relative;
}

inline std::string sealed(std::string bytes) {
  format::Crc32 crc;
  crc.update(bytes);
  return bytes + format::crc_text(crc.value());
}

// The volumes of the archive, checksums included, split as the packer splits: chunks of 1024
// bytes, a chunk that would pass the limit opens the next volume.
inline std::vector<std::string> build_volumes(const FixtureArchive& a) {
  std::vector<std::string> volumes;
  std::string current = a.stub.value_or("") + format::header_bytes(a.source);
  std::uint64_t count = 0;
  auto close = [&](bool continued) {
    format::Tail tail;
    tail.first_volume = volumes.empty();
    if (tail.first_volume) {
      if (a.stub) tail.stub_size = a.stub->size();
      tail.password_record = format::password_record(a.password, "12:00:00", 'A', 'B');
    }
    tail.continued = continued;
    volumes.push_back(sealed(current + format::tail_bytes(tail)));
    current = std::string(1, format::kContinuationMarker);
  };
  for (const auto& e : a.entries) {
    if (e.raw) {
      current += *e.raw;
      continue;
    }
    const std::string path = stored_path(a, e.relative);
    if (e.tag != format::kFileTag) {
      current += std::string(1, e.tag) + format::folder_record(path, e.attributes).substr(1);
      continue;
    }
    const std::string packed = e.packed.value_or(zlib_of(e.data));
    current += format::file_record_head(path, e.attributes, e.time);
    current += format::size_fields(e.stored_size.value_or(e.data.size()),
                                   e.stored_packed.value_or(packed.size()));
    for (std::size_t at = 0; at < packed.size(); at += format::kChunkSize) {
      const std::string chunk = packed.substr(at, format::kChunkSize);
      if (a.limit && count + chunk.size() > *a.limit) {
        close(true);
        count = 0;
      }
      current += chunk;
      count += chunk.size();
    }
  }
  close(false);
  return volumes;
}

// File names of the volumes: N.kzv, N.exe, N.001.kzv ... as the packer names them.
inline std::vector<std::string> volume_names(const std::string& name, std::size_t count,
                                             bool self_extracting) {
  std::vector<std::string> names;
  for (std::size_t i = 1; i <= count; ++i) {
    names.push_back(
        format::volume_file_name("", name, {count > 1, self_extracting}, static_cast<int>(i)));
  }
  return names;
}

// Writes the volumes into the folder (Windows path); returns their paths.
inline std::vector<std::string> write_volumes(const std::string& folder,
                                              const std::vector<std::string>& names,
                                              const std::vector<std::string>& volumes) {
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < volumes.size(); ++i) {
    paths.push_back(format::join_path(folder, names.at(i)));
    write_file(*fs::to_native(paths.back()), volumes[i]);
  }
  return paths;
}

inline std::vector<std::string> write_archive(const std::string& folder, const std::string& name,
                                              const FixtureArchive& a) {
  const auto volumes = build_volumes(a);
  return write_volumes(folder, volume_names(name, volumes.size(), a.stub.has_value()), volumes);
}

// Every file and folder below a native folder: relative path -> contents ("<dir>" for a
// folder, "+ro" appended for a read-only file).
inline Tree snapshot(const std::filesystem::path& root) {
  Tree tree;
  if (!std::filesystem::exists(root)) return tree;
  for (auto& e : std::filesystem::recursive_directory_iterator(root)) {
    const std::string name = std::filesystem::relative(e.path(), root).generic_string();
    if (e.is_directory()) {
      tree[name] = "<dir>";
    } else {
      const bool read_only = (e.status().permissions() & std::filesystem::perms::owner_write) ==
                             std::filesystem::perms::none;
      tree[name] = read_file(e.path()) + (read_only ? "+ro" : "");
    }
  }
  return tree;
}

// Folders of an extraction test: "arch" holds the volumes, "out" is the target, "program"
// holds the journal.
struct Bench {
  TempDir dir;
  std::string arch = dir.win("arch");
  std::string out = dir.win("out");
  std::string program = dir.win("program");

  Bench() {
    fs::create_directory(arch);
    fs::create_directory(out);
    fs::create_directory(program);
  }
  std::vector<std::string> write(const std::string& name, const FixtureArchive& a) {
    return write_archive(arch, name, a);
  }
  std::filesystem::path native(const std::string& win) const { return *fs::to_native(win); }
  std::filesystem::path in_out(const std::string& relative) const {
    return native(format::join_path(out, relative));
  }
  Tree out_tree() const { return snapshot(native(out)); }
  Tree whole_tree() const { return snapshot(dir.native()); }
};

}  // namespace tarvik::test
