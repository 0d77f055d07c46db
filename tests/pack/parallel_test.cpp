// Packing on several workers: the archive does not depend on the number of threads, a big file
// compressed in blocks is one sound zlib stream that unpacks exactly, a file that cannot be read
// in the middle ends the run with its message and leaves nothing, and Abort at any point of a
// threaded run leaves nothing.
#include <gtest/gtest.h>

#include <zlib.h>

#include <filesystem>
#include <memory>

#include "archive_reader.h"
#include "format/messages.h"
#include "ops/runner.h"
#include "pack/deflate.h"
#include "pack/packer.h"
#include "pack/parallel_deflate.h"
#include "platform/fs.h"
#include "test_support.h"
#include "unpack/extract.h"

using namespace tarvik;
using tarvik::test::noise;
using tarvik::test::RecordingUi;
using tarvik::test::TempDir;

namespace {

// Text-like bytes that compress well and differ from block to block.
std::string text(std::size_t n, unsigned seed) {
  std::string s;
  s.reserve(n + 64);
  for (unsigned i = 0; s.size() < n; ++i)
    s += "строка " + std::to_string(i * seed % 9973) + " of some text\n";
  s.resize(n);
  return s;
}

struct Tree {
  TempDir dir;
  std::string work = dir.win("Work");
  std::string program = dir.win("program");
  std::string big = text(3 * kDeflateBlock / 2, 3) + noise(kDeflateBlock, 4) +
                    text(kDeflateBlock + 777, 5);  // 3.5 blocks and some

  Tree() {
    fs::create_directory(work);
    fs::create_directory(program);
    put("a.txt", text(1000, 1));
    put("sub\\b.bin", noise(5000, 2));
    put("sub\\deeper\\c.txt", text(kDeflateBlock, 6));  // exactly one block
    put("big.bin", big);
    put("z.txt", "");
  }
  void put(const std::string& relative, const std::string& bytes) {
    const std::string path = format::join_path(work, relative);
    test::write_file(*fs::to_native(path), bytes);
    fs::set_last_write_time(path, {2025, 3, 4, 5, 6, 7});
  }
  Outcome pack(PackOptions options, RecordingUi& ui,
               std::vector<std::string> items = {"a.txt", "sub", "big.bin", "z.txt"}) {
    options.program_folder = program;
    Selection selection{work, std::move(items)};
    return run_operation({OperationCode::PackFromWindow, program, ""}, ui,
                         [&](Operation& op) { return UpakAll(selection, options, op); });
  }
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::recursive_directory_iterator(dir.native()))
      names.push_back(std::filesystem::relative(e.path(), dir.native()).generic_string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

PackOptions options(const std::string& name, unsigned threads, const std::string& kb = "",
                    int level = kDefaultLevel) {
  PackOptions o;
  o.archive_name = name;
  o.threads = threads;
  o.level = level;
  if (!kb.empty()) {
    o.multi_volume = true;
    o.volume_size_kb = kb;
  }
  return o;
}

}  // namespace

TEST(Threads, TheArchiveIsTheSameForOneTwoAndEightThreads) {
  struct Case {
    std::string kb;
    int level;
  };
  for (const Case& c : {Case{"", kDefaultLevel}, Case{"100", kDefaultLevel}, Case{"", kMinLevel},
                        Case{"", kMaxLevel}}) {
    const std::string& kb = c.kb;
    SCOPED_TRACE("volume size " + kb + ", level " + std::to_string(c.level));
    Tree t;
    std::vector<std::vector<std::string>> archives;
    for (unsigned threads : {1u, 2u, 8u}) {
      const std::string name = "t" + std::to_string(threads);
      RecordingUi ui;
      ASSERT_EQ(t.pack(options(name, threads, kb, c.level), ui), Outcome::Done)
          << testing::PrintToString(ui.messages);
      const auto read = test::read_archive(format::volume_file_name(
          t.work, name, {!kb.empty(), false}, 1));
      std::vector<std::string> volumes;
      for (const auto& v : read.volume_files) volumes.push_back(test::native_read(v));
      archives.push_back(volumes);
    }
    EXPECT_GT(archives[0].size(), kb.empty() ? 0u : 2u);
    for (std::size_t i = 1; i < archives.size(); ++i) {
      ASSERT_EQ(archives[i].size(), archives[0].size());
      for (std::size_t v = 0; v < archives[0].size(); ++v) {
        // Volume 001's password record carries a random filler: compare around it.
        const std::size_t tail = v == 0 ? format::tail_length(true, false) : 0;
        const std::string& a = archives[0][v];
        const std::string& b = archives[i][v];
        ASSERT_EQ(a.size(), b.size());
        EXPECT_TRUE(a.substr(0, a.size() - tail) == b.substr(0, b.size() - tail))
            << "volume " << v + 1;
      }
    }
  }
}

TEST(Threads, BigFileInBlocksAcrossVolumesIsOneSoundStreamAndUnpacksExactly) {
  Tree t;
  RecordingUi ui;
  ASSERT_EQ(t.pack(options("big", 2, "100"), ui, {"big.bin", "a.txt"}), Outcome::Done);
  const std::string first = format::volume_file_name(t.work, "big", {true, false}, 1);
  const auto archive = test::read_archive(first);
  ASSERT_EQ(archive.records.size(), 2u);
  EXPECT_GT(archive.volume_files.size(), 3u);  // the big file's data span several volumes

  const auto& big = archive.records[0];
  EXPECT_EQ(big.size, t.big.size());
  ASSERT_GE(big.packed.size(), 6u);
  EXPECT_EQ(big.packed.substr(0, 2), "\x78\x9C");
  const uLong adler =
      adler32(1, reinterpret_cast<const Bytef*>(t.big.data()), static_cast<uInt>(t.big.size()));
  const std::string trailer = big.packed.substr(big.packed.size() - 4);
  EXPECT_EQ(trailer, std::string({static_cast<char>(adler >> 24), static_cast<char>(adler >> 16),
                                  static_cast<char>(adler >> 8), static_cast<char>(adler)}));
  EXPECT_EQ(test::unzlib(big.packed), t.big);  // one stream, nothing after it
  EXPECT_LT(big.packed.size(), t.big.size() / 2);  // the dictionaries keep it compressed
  // One block: libdeflate's stream in one call, which zlib's inflate reads.
  EXPECT_EQ(archive.records[1].packed, test::libdeflate_zlib_of(text(1000, 1)));
  EXPECT_EQ(test::unzlib(archive.records[1].packed), text(1000, 1));

  const std::string out = t.dir.win("out");
  fs::create_directory(out);
  RecordingUi unpack_ui;
  ASSERT_EQ(run_operation({OperationCode::UnpackFromWindow, t.program, ""}, unpack_ui,
                          [&](Operation& op) { return Raspakovka({first, out}, op); }),
            Outcome::Done)
      << testing::PrintToString(unpack_ui.messages);
  EXPECT_EQ(test::read_file(*fs::to_native(out + "\\big.bin")), t.big);
  EXPECT_EQ(test::read_file(*fs::to_native(out + "\\a.txt")), text(1000, 1));
}

// Every level makes zlib streams with the level in their header, that zlib's inflate reads and
// unpacking restores; a higher level packs text smaller.
TEST(Threads, EveryLevelMakesSoundStreamsThatUnpackExactly) {
  struct Case {
    int level;
    const char* header;
  };
  const std::vector<Case> cases = {
      {1, "\x78\x01"}, {4, "\x78\x5E"}, {6, "\x78\x9C"}, {9, "\x78\xDA"}, {12, "\x78\xDA"}};
  Tree t;
  const std::vector<std::pair<std::string, std::string>> contents = {
      {"a.txt", text(1000, 1)},
      {"b.bin", noise(5000, 2)},
      {"c.txt", text(kDeflateBlock, 6)},
      {"big.bin", t.big},
      {"z.txt", ""}};
  std::uint64_t previous_size = UINT64_MAX;
  for (const Case& c : cases) {
    SCOPED_TRACE("level " + std::to_string(c.level));
    const std::string name = "l" + std::to_string(c.level);
    RecordingUi ui;
    ASSERT_EQ(t.pack(options(name, 2, "", c.level), ui), Outcome::Done)
        << testing::PrintToString(ui.messages);
    const std::string archive_path = t.work + "\\" + name + ".kzv";
    const auto archive = test::read_archive(archive_path);
    std::uint64_t packed = 0;
    for (const auto& record : archive.records) {
      if (record.tag != 'F') continue;
      SCOPED_TRACE(record.path);
      const auto base = record.path.substr(record.path.rfind('\\') + 1);
      const auto it = std::find_if(contents.begin(), contents.end(),
                                   [&](const auto& p) { return p.first == base; });
      ASSERT_NE(it, contents.end());
      EXPECT_EQ(record.packed.substr(0, 2), c.header);
      const auto inflated = test::unzlib(record.packed);
      ASSERT_TRUE(inflated.has_value());
      EXPECT_EQ(inflated->size(), it->second.size());
      EXPECT_TRUE(*inflated == it->second);
      if (base == "c.txt") packed = record.packed.size();
    }
    EXPECT_LE(packed, previous_size);  // a whole block of text: smaller or equal as levels rise
    previous_size = packed;

    const std::string out = t.dir.win("out" + std::to_string(c.level));
    fs::create_directory(out);
    RecordingUi unpack_ui;
    ASSERT_EQ(run_operation({OperationCode::UnpackFromWindow, t.program, ""}, unpack_ui,
                            [&](Operation& op) { return Raspakovka({archive_path, out}, op); }),
              Outcome::Done)
        << testing::PrintToString(unpack_ui.messages);
    EXPECT_TRUE(test::read_file(*fs::to_native(out + "\\big.bin")) == t.big);
    EXPECT_TRUE(test::read_file(*fs::to_native(out + "\\sub\\deeper\\c.txt")) ==
                text(kDeflateBlock, 6));
  }
}

#ifndef _WIN32
// A file that lists and stats as a file but cannot be read (as root, permissions do not stop a
// read; /proc/self/mem refuses one at offset 0).
TEST(Threads, AFileThatCannotBeReadInTheMiddleEndsTheRunAndLeavesNothing) {
  for (unsigned threads : {1u, 2u, 8u}) {
    SCOPED_TRACE(threads);
    Tree t;
    std::filesystem::create_symlink("/proc/self/mem", *fs::to_native(t.work + "\\sub\\m.bin"));
    const auto before = t.files();
    RecordingUi ui;
    EXPECT_EQ(t.pack(options("arhiv", threads, "10"), ui), Outcome::Failed);
    ASSERT_EQ(ui.messages.size(), 1u) << testing::PrintToString(ui.messages);
    EXPECT_TRUE(ui.messages[0].starts_with(msg::cannot_read(t.work + "\\sub\\m.bin", "")))
        << ui.messages[0];
    EXPECT_TRUE(ui.messages[0].ends_with(msg::kFailedRunUndone));
    EXPECT_EQ(t.files(), before);
  }
}
#endif

TEST(Threads, AbortAtEveryPointOfAThreadedRunLeavesNothing) {
  const std::vector<std::string> items = {"a.txt", "sub", "two.bin", "z.txt"};
  const auto tree = [] {
    auto t = std::make_unique<Tree>();
    t->put("two.bin", text(kDeflateBlock + 5000, 7));
    return t;
  };
  std::uint64_t pumps = 0;
  {
    auto t = tree();
    RecordingUi ui;
    ASSERT_EQ(t->pack(options("arhiv", 2, "20"), ui, items), Outcome::Done);
    pumps = ui.pumps;
  }
  ASSERT_GT(pumps, 10u);
  for (std::uint64_t n = 1; n <= pumps; ++n) {
    SCOPED_TRACE(n);
    auto t = tree();
    const auto before = t->files();
    RecordingUi ui;
    ui.abort_after_pumps = n;
    const Outcome outcome = t->pack(options("arhiv", 2, "20"), ui, items);
    if (outcome == Outcome::Done) {
      // Waiting on the workers may pump more often in one run than in another: a run that
      // ended before its n-th pump is whole.
      EXPECT_LT(ui.pumps, n);
      continue;
    }
    EXPECT_EQ(outcome, Outcome::Aborted);
    EXPECT_EQ(t->files(), before);
    EXPECT_TRUE(ui.messages.empty());
  }
}

// At the levels above 9 the workers share a few large compressors; a deflater dropped while
// most of them wait for one (a run aborted or failed) ends without compressing what nobody
// will take, and what was taken is sound.
TEST(Threads, ADeflaterDroppedWhileWorkersWaitForCompressorsEnds) {
  TempDir dir;
  std::vector<std::string> paths;
  for (unsigned i = 0; i < 40; ++i) {
    paths.push_back(dir.win("f" + std::to_string(i) + ".txt"));
    test::write_file(*fs::to_native(paths.back()), text(100 * 1024, i + 1));
  }
  for (int level : {kDefaultLevel, kMaxLevel}) {
    SCOPED_TRACE(level);
    SpillBuffer out(nullptr, dir.win("x.kzv"), 1 << 20);
    {
      ParallelDeflater deflater(8, level);
      for (const auto& path : paths) deflater.submit(path, 100 * 1024);
      const auto size = deflater.take(out, [] { return false; });
      ASSERT_EQ(size, std::optional<std::uint64_t>(100 * 1024));
    }  // dropped with 39 files queued
    std::string stream;
    out.for_each_chunk(1024, [&](const char* p, std::size_t n) {
      stream.append(p, n);
      return true;
    });
    const auto inflated = test::unzlib(stream);
    ASSERT_TRUE(inflated.has_value());
    EXPECT_TRUE(*inflated == text(100 * 1024, 1));
  }
}

// The compressed bytes of a big file come back in chunks: the memory part, then the spill file
// read back in large blocks, cut into the same chunks as one chunk at a time would give; a sink
// that says stop is not called again.
TEST(SpillBuffer, HandsBackEveryByteInTheSameChunks) {
  TempDir dir;
  const std::size_t memory_limit = 1000;
  const std::string data = noise(700 * 1024 + 333, 9);
  SpillBuffer buffer(nullptr, dir.win("arh.kzv"), memory_limit);
  for (int round = 0; round < 2; ++round) {  // cleared and used again, as for the next file
    buffer.clear();
    for (std::size_t at = 0; at < data.size(); at += 4097)
      buffer.append(data.data() + at, std::min<std::size_t>(4097, data.size() - at));
    ASSERT_EQ(buffer.size(), data.size());
    std::string back;
    std::vector<std::size_t> sizes;
    EXPECT_TRUE(buffer.for_each_chunk(1024, [&](const char* p, std::size_t n) {
      back.append(p, n);
      sizes.push_back(n);
      return true;
    }));
    EXPECT_EQ(back, data);
    ASSERT_GT(sizes.size(), 2u);
    EXPECT_EQ(sizes[0], memory_limit);
    for (std::size_t i = 1; i + 1 < sizes.size(); ++i) ASSERT_EQ(sizes[i], 1024u) << i;
    EXPECT_EQ(sizes.back(), (data.size() - memory_limit) % 1024);

    std::size_t calls = 0;
    EXPECT_FALSE(buffer.for_each_chunk(1024, [&](const char*, std::size_t) { return ++calls < 300; }));
    EXPECT_EQ(calls, 300u);
  }
}
