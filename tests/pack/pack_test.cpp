// Packing: the bytes of the archive UpakAll writes, the splitting rule, the validation
// messages, and runs that end early (abort, full disk, unreadable files, 999 volumes) leaving
// nothing behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "archive_reader.h"
#include "format/messages.h"
#include "format/password.h"
#include "ops/journal.h"
#include "ops/runner.h"
#include "ops/checks.h"
#include "pack/packer.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "test_support.h"

using namespace std::string_literals;
using namespace tarvik;
using tarvik::test::RecordingUi;
using tarvik::test::TempDir;
using tarvik::test::noise;
using tarvik::test::zlib_of;

namespace {

// A failed run's one message ends with the sentence that it was undone.
std::string undone_sentence() { return "\n\n" + std::string(msg::kFailedRunUndone); }


// Files and folders of a packing run: a source folder and a program folder (journal, stub).
struct Fixture {
  TempDir dir;
  std::string work = dir.win("Work");
  std::string program = dir.win("program");

  Fixture() {
    fs::create_directory(work);
    fs::create_directory(program);
  }
  void put(const std::string& relative, const std::string& bytes) {
    test::write_file(*fs::to_native(format::join_path(work, relative)), bytes);
  }
  Outcome pack(std::vector<std::string> items, PackOptions options, RecordingUi& ui) {
    options.program_folder = program;
    Selection selection{work, std::move(items)};
    return run_operation({OperationCode::PackFromWindow, program, ""}, ui,
                         [&](Operation& op) { return UpakAll(selection, options, op); });
  }
  // Every file below the temporary folder, sorted.
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::recursive_directory_iterator(dir.native()))
      names.push_back(std::filesystem::relative(e.path(), dir.native()).generic_string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

PackOptions multi(const std::string& kb) {
  PackOptions o;
  o.multi_volume = true;
  o.volume_size_kb = kb;
  return o;
}

}  // namespace

TEST(Packing, WorkedExampleByteForByte) {
  Fixture fx;
  fx.put("a.txt", "hello");
  fs::set_last_write_time(fx.work + "\\a.txt", {2026, 12, 8, 14, 5, 9});
  fs::set_attributes(fx.work + "\\a.txt", fs::kArchive);
  RecordingUi ui;
  ASSERT_EQ(fx.pack({"a.txt"}, {}, ui), Outcome::Done) << testing::PrintToString(ui.messages);
  EXPECT_TRUE(ui.messages.empty());

  std::string folder = *codepage::to_archive(fx.work);
  std::string path = folder + "\\a.txt";
  std::string volume = test::native_read(fx.work + "\\arhiv.kzv");
  ASSERT_EQ(volume.size(), 151 + 2 * (folder.size() - 7));
  std::string len = std::to_string(folder.size());
  std::string expected = "KZV V1.0\0 "s + std::string(format::kNotice) + "001" +
                         format::fixed_field(len, 3) + folder + "F" +
                         format::fixed_field(std::to_string(path.size()), 3) + path + "32" +
                         "08.12.2026 14:05" + "1\0"s + "5" + "NA==" + "MTM=" + zlib_of("hello") +
                         "E" + "K*)";
  EXPECT_EQ(volume.substr(0, expected.size()), expected);
  std::string coded = volume.substr(expected.size(), 30);
  EXPECT_NE(format::kRandomAlphabet.find(coded[1]), std::string::npos);
  EXPECT_NE(format::kRandomAlphabet.find(coded[2]), std::string::npos);
  EXPECT_EQ(volume.substr(volume.size() - 11, 3), "D{A");
  // The checksum written while packing is the one computed from the file.
  EXPECT_EQ(volume.substr(volume.size() - 8),
            format::crc_text(FileCRC32_8(fx.work + "\\arhiv.kzv", ui)));
  // No journal is left in the program folder.
  EXPECT_FALSE(fs::exists(fx.program + "\\Tarvik_file.tmp"));
}

TEST(Packing, WalkOrderAttributesAndOwnArchiveSkipped) {
  Fixture fx;
  fx.put("top\\inner\\deep.txt", "deep");
  fx.put("top\\file.txt", "file");
  fx.put("top\\arhiv.kzv", "not the archive, but it has its name");
  fx.put("empty.bin", "");
  fs::create_directory(fx.work + "\\lonely");
  RecordingUi ui;
  ASSERT_EQ(fx.pack({"top", "empty.bin", "lonely"}, {}, ui), Outcome::Done);
  auto archive = test::read_archive(fx.work + "\\arhiv.kzv");
  std::vector<std::string> order;
  std::string prefix = *codepage::to_archive(fx.work);
  for (auto& r : archive.records) order.push_back(r.tag + r.path.substr(prefix.size()));
  // A top-level folder's record comes before its contents, a nested one's after them.
  std::vector<std::string> expected_prefix = {"G\\top"};
  ASSERT_GE(order.size(), 6u);
  EXPECT_EQ(order[0], "G\\top");
  auto pos = [&](const std::string& s) { return std::find(order.begin(), order.end(), s) - order.begin(); };
  EXPECT_LT(pos("F\\top\\inner\\deep.txt"), pos("G\\top\\inner"));
  EXPECT_EQ(pos("F\\top\\arhiv.kzv"), static_cast<long>(order.size()));  // skipped by name
  EXPECT_EQ(order[order.size() - 2], "F\\empty.bin");
  EXPECT_EQ(order.back(), "G\\lonely");
  for (auto& r : archive.records) {
    if (r.tag == 'G') {
      EXPECT_EQ(r.attributes & 16u, 16u);
    }
    if (r.path.ends_with("empty.bin")) {
      EXPECT_EQ(r.size, 0u);
      EXPECT_EQ(r.packed, zlib_of(""));
      EXPECT_EQ(r.packed.size(), 8u);
    }
  }
}

TEST(Packing, StreamsAreWholeZlibStreamsAlsoPastTheMemoryBound) {
  Fixture fx;
  std::string big = noise(3 * 1024 * 1024, 1) + std::string(3 * 1024 * 1024, 'z');
  fx.put("big.bin", big);
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i) + "\n";
  fx.put("text.txt", text);
  RecordingUi ui;
  ASSERT_EQ(fx.pack({"big.bin", "text.txt"}, {}, ui), Outcome::Done);
  auto archive = test::read_archive(fx.work + "\\arhiv.kzv");
  ASSERT_EQ(archive.records.size(), 2u);
  EXPECT_TRUE(test::unzlib(archive.records[0].packed) == big);  // compressed in blocks
  EXPECT_EQ(archive.records[0].size, big.size());
  EXPECT_EQ(archive.records[1].packed, test::libdeflate_zlib_of(text));  // one block: whole
  EXPECT_EQ(test::unzlib(archive.records[1].packed), text);
  // The spill file beside the archive is gone.
  EXPECT_EQ(fx.files(), (std::vector<std::string>{"Work", "Work/arhiv.kzv", "Work/big.bin",
                                                  "Work/text.txt", "program"}));
}

// The splitting rule: the count of compressed bytes runs across records and is compared before
// each chunk; a chunk that brings it exactly to the limit stays.
TEST(Splitting, LimitsAndEdges) {
  struct Case {
    std::string name;
    std::string kb;
    std::vector<std::size_t> sizes;  // random (incompressible) files, in order
    std::vector<std::uint64_t> data_per_volume;
  };
  // Random data of n bytes compresses to n + 11 bytes (stored blocks), so sizes are exact.
  std::vector<Case> cases = {
      // limit 0: the first volume has no data; every chunk opens a volume.
      {"zero", "0", {2037}, {0, 1024, 1024}},
      // limit 1: a full chunk fills a volume alone; the last short chunk too.
      {"one", "1", {2500}, {1024, 1024, 463}},
      // 2 KB: the second chunk brings the count exactly to 2048 and stays.
      {"exact", "2", {2037, 100}, {2048, 111}},
      // The count runs across records: 1500 + 600 > 2048 opens volume 2 with the first
      // chunk of the second file, right after its coded size field.
      {"across", "2", {1489, 589}, {1500, 600}},
      // Fits in one volume: a single file named .001.kzv ending in D{A.
      {"fits", "7", {100}, {111}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture fx;
    std::vector<std::string> items;
    for (std::size_t i = 0; i < c.sizes.size(); ++i) {
      std::string name = "f" + std::to_string(i) + ".bin";
      fx.put(name, noise(c.sizes[i], static_cast<unsigned>(i + 7)));
      items.push_back(name);
    }
    RecordingUi ui;
    ASSERT_EQ(fx.pack(items, multi(c.kb), ui), Outcome::Done);
    auto archive = test::read_archive(fx.work + "\\arhiv.001.kzv");
    EXPECT_EQ(archive.data_per_volume, c.data_per_volume);
    for (std::size_t v = 1; v < archive.volume_files.size(); ++v)
      EXPECT_EQ(archive.volume_files[v], fx.work + "\\arhiv.00" + std::to_string(v + 1) + ".kzv");
    // Only volume 001 carries the password record; later ones have the 12-byte tail.
    EXPECT_EQ(archive.password_record.substr(0, 3), "K*)");
  }
}

TEST(Splitting, SelfExtractingMultiVolumeCarriesStubAndPasswordInVolume001) {
  Fixture fx;
  std::string stub = "MZ" + noise(5000, 3);
  test::write_file(*fs::to_native(fx.program + "\\Tarvik.sfx"), stub);
  fx.put("data.bin", noise(3000, 4));
  PackOptions options = multi("1");
  options.self_extracting = true;
  options.password = " secret ";
  RecordingUi ui;
  ASSERT_EQ(fx.pack({"data.bin"}, options, ui), Outcome::Done);
  std::string first = fx.work + "\\arhiv.001.exe";
  auto archive = test::read_archive(first, /*self_extracting=*/true);
  EXPECT_EQ(archive.stub_size, stub.size());
  EXPECT_EQ(test::native_read(first).substr(0, stub.size()), stub);
  EXPECT_EQ(archive.password_record.substr(0, 3), "=<N");
  EXPECT_EQ(format::decode_text(format::field_text(archive.password_record.substr(3))), "secret");
  EXPECT_EQ(archive.volume_files[1], fx.work + "\\arhiv.002.kzv");
  EXPECT_EQ(archive.data_per_volume, (std::vector<std::uint64_t>{1024, 1024, 963}));
}

TEST(Validation, MessagesInOrderAndNothingWritten) {
  struct Case {
    std::string name;
    PackOptions options;
    std::vector<std::string> items;
    std::string message;
  };
  auto with = [](auto change) {
    PackOptions o;
    change(o);
    return o;
  };
  std::vector<Case> cases = {
      {"blank name", with([](PackOptions& o) { o.archive_name = "  "; }), {"a.txt"},
       std::string(msg::kNoArchiveName)},
      {"existing archive", with([](PackOptions& o) { o.archive_name = "old"; }), {"a.txt"},
       std::string(msg::kArchiveExists)},
      {"existing archive blocks multi-volume too",
       with([](PackOptions& o) {
         o.archive_name = "old";
         o.multi_volume = true;
       }),
       {"a.txt"}, std::string(msg::kArchiveExists)},
      {"no volume size", with([](PackOptions& o) { o.multi_volume = true; }), {"a.txt"},
       std::string(msg::kNoVolumeSize)},
      {"nothing selected", {}, {}, std::string(msg::kNothingSelected)},
      {"volume size not a number", multi("12x"), {"a.txt"}, msg::bad_volume_size("12x")},
      {"name leaves the folder", with([](PackOptions& o) { o.archive_name = "..\\up"; }),
       {"a.txt"}, msg::bad_archive_name("..\\up")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture fx;
    fx.put("a.txt", "a");
    fx.put("old.kzv", "x");
    auto before = fx.files();
    RecordingUi ui;
    EXPECT_EQ(fx.pack(c.items, c.options, ui), Outcome::Failed);
    EXPECT_EQ(ui.messages, std::vector<std::string>{c.message});
    EXPECT_EQ(fx.files(), before);
  }
}

TEST(Validation, ComputerLevelIsRefused) {
  RecordingUi ui;
  Operation op{ui};
  Selection selection{"Компьютер", {"C:"}};
  EXPECT_EQ(UpakAll(selection, {}, op), Outcome::Failed);
  EXPECT_EQ(ui.messages, std::vector<std::string>{std::string(msg::kOpenDrive)});
}

// Runs that end early leave no volume, no spill file and no journal.
TEST(EarlyEnd, AbortFullDiskUnreadableAndMissingStubLeaveNothing) {
  struct Case {
    std::string name;
    std::function<void(Fixture&, RecordingUi&, PackOptions&)> arrange;
    std::function<void(const Fixture&, const RecordingUi&)> check_message;
    Outcome outcome;
  };
  std::vector<Case> cases = {
      {"abort in a later volume",
       [](Fixture&, RecordingUi& ui, PackOptions& o) {
         o = multi("1");
         ui.abort_after_pumps = 6;
       },
       [](const Fixture&, const RecordingUi& ui) { EXPECT_TRUE(ui.messages.empty()); },
       Outcome::Aborted},
      {"full disk",
       [](Fixture&, RecordingUi&, PackOptions&) { set_write_budget(3000); },
       [](const Fixture& fx, const RecordingUi& ui) {
         ASSERT_EQ(ui.messages.size(), 1u);
         EXPECT_TRUE(ui.messages[0].ends_with(undone_sentence()));
         EXPECT_NE(ui.messages[0].find(fx.work + "\\arhiv.kzv"), std::string::npos);
         EXPECT_NE(ui.messages[0].find(OsError(os_error_disk_full(), "").reason()),
                   std::string::npos);
       },
       Outcome::Failed},
      {"missing stub",
       [](Fixture&, RecordingUi&, PackOptions& o) { o.self_extracting = true; },
       [](const Fixture& fx, const RecordingUi& ui) {
         ASSERT_EQ(ui.messages.size(), 1u);
         EXPECT_TRUE(ui.messages[0].ends_with(undone_sentence()));
         EXPECT_NE(ui.messages[0].find(fx.program + "\\Tarvik.sfx"), std::string::npos);
       },
       Outcome::Failed},
      {"item vanished",
       [](Fixture& fx, RecordingUi&, PackOptions&) {
         fs::remove_file(fx.work + "\\c.bin");
       },
       [](const Fixture& fx, const RecordingUi& ui) {
         ASSERT_EQ(ui.messages.size(), 1u);
         EXPECT_TRUE(ui.messages[0].ends_with(undone_sentence()));
         EXPECT_NE(ui.messages[0].find(fx.work + "\\c.bin"), std::string::npos);
       },
       Outcome::Failed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture fx;
    fx.put("a.bin", noise(5000, 1));
    fx.put("b.bin", noise(5000, 2));
    fx.put("c.bin", noise(100, 3));
    auto before = fx.files();
    RecordingUi ui;
    PackOptions options;
    c.arrange(fx, ui, options);
    auto expected_files = fx.files();
    Outcome outcome = fx.pack({"a.bin", "b.bin", "c.bin"}, options, ui);
    set_write_budget(std::nullopt);
    EXPECT_EQ(outcome, c.outcome);
    c.check_message(fx, ui);
    EXPECT_EQ(fx.files(), expected_files);
  }
}

#ifndef _WIN32
TEST(EarlyEnd, NameWithNoFormInTheCodePage) {
  Fixture fx;
  fx.put("a.bin", "a");
  fx.put("sub\\日本.txt", "x");
  auto before = fx.files();
  RecordingUi ui;
  EXPECT_EQ(fx.pack({"a.bin", "sub"}, {}, ui), Outcome::Failed);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_TRUE(ui.messages[0].ends_with(undone_sentence()));
  EXPECT_NE(ui.messages[0].find("日本.txt"), std::string::npos);
  EXPECT_EQ(fx.files(), before);
}

TEST(Links, FolderLinksAreNotFollowedFileLinksArePackedAsTheirFile) {
  Fixture fx;
  fx.put("real\\a.txt", "target");
  auto native = *fs::to_native(fx.work);
  std::filesystem::create_directory_symlink(native / "real", native / "real" / "loop");
  std::filesystem::create_symlink(native / "real" / "a.txt", native / "real" / "link.txt");
  RecordingUi ui;
  ASSERT_EQ(fx.pack({"real"}, {}, ui), Outcome::Done);
  auto archive = test::read_archive(fx.work + "\\arhiv.kzv");
  std::vector<std::string> names;
  for (auto& r : archive.records) names.push_back(std::string(format::file_name_part(r.path)));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "link.txt", "real"}));
  for (auto& r : archive.records) {
    if (r.tag == 'F') {
      EXPECT_EQ(r.packed, zlib_of("target"));
    }
  }
}
#endif

TEST(EarlyEnd, TheNineHundredNinetyNinthVolumeEndsTheRun) {
  Fixture fx;
  fx.put("big.bin", noise(999 * 1024, 9));  // more than 998 chunks
  RecordingUi ui;
  EXPECT_EQ(fx.pack({"big.bin"}, multi("0"), ui), Outcome::Failed);
  EXPECT_EQ(ui.messages, (std::vector<std::string>{msg::failed_run_undone(msg::kTooManyVolumes)}));
  EXPECT_EQ(fx.files(), (std::vector<std::string>{"Work", "Work/big.bin", "program"}));
}

// A failed or aborted packing puts back the older files it overwrote; a finished one leaves
// no copy of them.
TEST(EarlyEnd, OlderFilesThatPackingOverwroteComeBack) {
  const std::vector<std::string> older = {"arhiv.001.kzv", "arhiv.002.kzv", "arhiv.001.exe"};
  std::uint64_t pumps = 0;
  {
    Fixture fx;
    fx.put("a.bin", noise(3000, 1));
    for (const auto& name : older) fx.put(name, "older " + name);
    RecordingUi ui;
    PackOptions options = multi("1");
    ASSERT_EQ(fx.pack({"a.bin"}, options, ui), Outcome::Done);
    pumps = ui.pumps;
    EXPECT_NE(test::read_file(*fs::to_native(fx.work + "\\arhiv.002.kzv")), "older arhiv.002.kzv");
    EXPECT_EQ(fx.files(), (std::vector<std::string>{"Work", "Work/a.bin", "Work/arhiv.001.exe",
                                                    "Work/arhiv.001.kzv", "Work/arhiv.002.kzv",
                                                    "Work/arhiv.003.kzv", "program"}));
  }
  for (std::uint64_t n = 1; n <= pumps + 1; ++n) {
    SCOPED_TRACE(n);
    Fixture fx;
    fx.put("a.bin", noise(3000, 1));
    for (const auto& name : older) fx.put(name, "older " + name);
    const auto before = fx.files();
    RecordingUi ui;
    PackOptions options = multi("1");
    options.self_extracting = n == pumps + 1;  // a missing stub: a failure, not an abort
    if (!options.self_extracting) ui.abort_after_pumps = n;
    const Outcome outcome = fx.pack({"a.bin"}, options, ui);
    if (outcome == Outcome::Done && !options.self_extracting) {
      // Waiting on the workers pumps by the clock: a run that ended before its n-th pump is
      // whole, and an earlier n has aborted it.
      EXPECT_LT(ui.pumps, n);
      continue;
    }
    EXPECT_EQ(outcome, options.self_extracting ? Outcome::Failed : Outcome::Aborted);
    EXPECT_EQ(fx.files(), before);
    for (const auto& name : older)
      EXPECT_EQ(test::read_file(*fs::to_native(fx.work + "\\" + name)), "older " + name);
  }
}

#ifndef _WIN32
// Only names that the program's own unpacking writes on every system are packed: any other
// fails the run with a message naming the file, and nothing is left. (Windows itself never
// holds such a file.)
TEST(EarlyEnd, NamesWindowsCannotHoldAreRefused) {
  const std::vector<std::string> bad = {"notes ", "dot.", "con.txt", "LPT1", "a:b.txt",
                                        "p|q.txt", "tab\tx", "a<b", "what?", "star*"};
  for (const auto& name : bad) {
    for (bool nested : {false, true}) {
      SCOPED_TRACE(name + (nested ? " nested" : ""));
      Fixture fx;
      fx.put("ok.txt", "ok");
      const std::string relative = nested ? "sub\\" + name : name;
      test::write_file(*fs::to_native(fx.work) / (nested ? "sub/" + name : name), "x");
      const auto before = fx.files();
      RecordingUi ui;
      EXPECT_EQ(fx.pack({"ok.txt", nested ? "sub" : name}, {}, ui), Outcome::Failed);
      EXPECT_EQ(ui.messages, (std::vector<std::string>{msg::failed_run_undone(
                                 msg::name_not_for_windows(format::join_path(fx.work, relative)))}));
      EXPECT_EQ(fx.files(), before);
    }
  }
}

#endif

// Abort takes effect inside one large file, between blocks of it, not after the whole file.
TEST(EarlyEnd, AbortInsideOneLargeFile) {
  Fixture fx;
  fx.put("big.bin", noise(16 * 1024 * 1024, 4));
  RecordingUi ui;
  ui.abort_after_pumps = 3;
  EXPECT_EQ(fx.pack({"big.bin"}, {}, ui), Outcome::Aborted);
  EXPECT_LT(ui.pumps, 20u);  // 256 blocks of the file: it stopped at the first poll after Abort
  EXPECT_EQ(fx.files(), (std::vector<std::string>{"Work", "Work/big.bin", "program"}));
}

// The spill file takes a name nothing has: a user's file of the first choice stays untouched.
TEST(Packing, TheSpillFileNeverTakesAUsersFile) {
  Fixture fx;
  fx.put("big.bin", noise(6 * 1024 * 1024, 5));  // past the memory bound
  fx.put("arhiv.kzv.tzs", "the user's");
  RecordingUi ui;
  ASSERT_EQ(fx.pack({"big.bin"}, {}, ui), Outcome::Done);
  EXPECT_EQ(test::read_file(*fs::to_native(fx.work + "\\arhiv.kzv.tzs")), "the user's");
  EXPECT_EQ(fx.files(), (std::vector<std::string>{"Work", "Work/arhiv.kzv", "Work/arhiv.kzv.tzs",
                                                  "Work/big.bin", "program"}));
  auto archive = test::read_archive(fx.work + "\\arhiv.kzv");
  ASSERT_EQ(archive.records.size(), 1u);
  EXPECT_EQ(test::unzlib(archive.records[0].packed), noise(6 * 1024 * 1024, 5));
}

#ifndef _WIN32
// A link named as an item packs the folder it points to, under the link's name.
TEST(Links, AFolderLinkNamedAsAnItemPacksItsFolder) {
  Fixture fx;
  fx.put("real\\a.txt", "target");
  auto native = *fs::to_native(fx.work);
  std::filesystem::create_directory_symlink(native / "real", native / "shortcut");
  RecordingUi ui;
  ASSERT_EQ(fx.pack({"shortcut"}, {}, ui), Outcome::Done);
  auto archive = test::read_archive(fx.work + "\\arhiv.kzv");
  std::vector<std::string> paths;
  for (auto& r : archive.records) paths.push_back(r.tag + codepage::from_archive(r.path));
  EXPECT_EQ(paths, (std::vector<std::string>{"G" + fx.work + "\\shortcut",
                                             "F" + fx.work + "\\shortcut\\a.txt"}));
}
#endif
