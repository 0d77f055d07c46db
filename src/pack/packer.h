// The packing driver: turns the selection of the shown folder into a new archive.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "format/encryption.h"
#include "ops/operation.h"
#include "pack/level.h"

namespace tarvik {

// The seam the main window's file list fills: the shown folder and its selected entries.
struct Selection {
  std::string shown_folder;        // Windows path text, no trailing "\" unless a drive root
  std::vector<std::string> items;  // names of the selected entries, in list order
};

// The packing options as the main window holds them.
struct PackOptions {
  std::string archive_name = "arhiv";  // Edit1
  std::string password;                // MaskEdit1; blank for none
  // Encrypt every file's data with a key made from the password (which may then be longer
  // than 12 characters); the archive is of the encrypted kind (format/encryption.h).
  bool encrypt = false;
  // The password typed a second time, where the front end asks for it (encryption only): a
  // mistyped encryption password would lose the data for good.
  std::optional<std::string> password_repeat;
  // PBKDF2 rounds of the key: the front ends keep the default; fewer only where speed matters
  // more than the password (the fuzzers' seed archives).
  std::uint32_t key_iterations = format::kKeyIterations;
  bool multi_volume = false;           // CheckBox2
  std::string volume_size_kb;          // MaskEdit2 (text; blank when not given)
  bool self_extracting = false;        // CheckBox1
  std::string program_folder;          // where "Tarvik.sfx" lies
  unsigned threads = 0;                // compressing workers; 0: the machine's cores
  int level = kDefaultLevel;           // compression level, kMinLevel to kMaxLevel (pack/level.h)
};

// Packs the selection. Validation failures show their message and write nothing; a failure
// after the first volume exists shows its message, sets the abort flag so that the runner
// rolls everything back, and returns Failed.
Outcome UpakAll(const Selection& selection, const PackOptions& options, Operation& op);

// Total size in bytes of the selected files and of all files below the selected folders.
std::uint64_t SumSize(const Selection& selection);

}  // namespace tarvik
