// The journal reader: a journal file of any bytes read backwards entry by entry. (The
// rollback that follows deletes what the entries name, so it is not run on fuzzed names.)
#include <cstdint>
#include <fstream>

#include "fuzz_support.h"
#include "ops/journal.h"
#include "platform/fs.h"

using namespace tarvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Scratch scratch;
  const std::string path = scratch.program + "\\Tarvik_file.tmp";
  std::ofstream(*fs::to_native(path), std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  const auto entries = read_journal_backwards(path);
  // Each entry takes at least its tag, "<", ">" and the 3-byte length; a path ends at ">".
  if (entries.size() > size / 6) fuzz::finding("more entries than the journal holds");
  for (const auto& entry : entries) {
    if (entry.path.find('>') != std::string::npos) fuzz::finding("a path runs past its \">\"");
  }
  return 0;
}
