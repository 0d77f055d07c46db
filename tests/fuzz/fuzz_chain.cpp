// The walk over a chain of volumes held in memory (several, so that data run on into later
// volumes): every record handed on, every data chunk read, each way of checking later
// volumes' checksums.
#include <cstdint>

#include "fuzz_support.h"
#include "format/layout.h"
#include "unpack/walk.h"

using namespace tarvik;

namespace {

class ReadingVisitor final : public unpack::RecordVisitor {
 public:
  void folder(const unpack::Record&) override {}
  void file(const unpack::Record& record, unpack::EntryData& data) override {
    unsigned char buffer[format::kChunkSize];
    // The packed size of a plain entry; of an encrypted one, less the segments' tags.
    const std::uint64_t due = data.remaining();
    if (due > record.file.packed_size) fuzz::finding("more data due than the packed size");
    std::uint64_t read = 0;
    while (data.remaining() > 0) {
      const std::size_t n = data.read_chunk(buffer);
      if (n == 0 || n > format::kChunkSize) fuzz::finding("a chunk of a wrong size");
      read += n;
    }
    if (read != due) fuzz::finding("data read differ from the data due");
  }
  bool go_on_after_damage() const override { return true; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::Input input = fuzz::split(data, size);
  fuzz::Scratch scratch;
  unpack::WalkOptions options;
  options.first_volume = scratch.write(input, scratch.arch);
  const unpack::LaterChecksums ways[] = {unpack::LaterChecksums::Verify,
                                         unpack::LaterChecksums::WhenRead,
                                         unpack::LaterChecksums::Report,
                                         unpack::LaterChecksums::Skip};
  options.later_checksums = ways[input.choice() % 4];
  ReadingVisitor visitor;
  fuzz::FuzzUi ui;
  (void)unpack::walk_archive(options, visitor, ui);
  return 0;
}
