// Round trips through the packer: a real folder packed by UpakAll (one or many volumes, with
// and without a password, self-extracting) comes back byte for byte, with its dates (to the
// minute) and its read-only files.
#include <gtest/gtest.h>

#include "archive_fixture.h"
#include "ops/runner.h"
#include "pack/packer.h"
#include "unpack/extract.h"
#include "unpack/pipeline.h"

using namespace tarvik;
using namespace tarvik::test;

namespace {

const fs::LocalTime kTime{2023, 7, 1, 12, 34, 56};
const fs::LocalTime kMidnight{2022, 1, 2, 0, 0, 0};

// 4 MiB that compress to a few kilobytes but take many inflate blocks.
std::string compressible(std::size_t n) {
  std::string s(n, 'a');
  for (std::size_t at = 0; at + 100 < n; at += 64 * 1024)
    s.replace(at, 100, noise(100, static_cast<unsigned>(at)));
  return s;
}

struct Source {
  TempDir dir;
  std::string work = dir.win("Work");
  std::string program = dir.win("program");
  std::string out = dir.win("out");
  std::vector<std::string> items;

  Source() {
    for (const auto& f : {work, program, out}) fs::create_directory(f);
    put("Отчёт\\Данные за год.txt", "данные");
    put("nested\\a\\b\\c\\deep.txt", "deep");
    fs::create_directory(format::join_path(work, "empty"));
    fs::create_directory(format::join_path(work, "nested\\empty inside"));
    put("zero.bin", "");
    put("s1.bin", "1");
    put("s1023.bin", noise(1023, 1));
    put("s1024.bin", noise(1024, 2));
    put("s1025.bin", noise(1025, 3));
    put("noise.bin", noise(200 * 1024, 4));
    put("big.bin", compressible(4 * 1024 * 1024));
    // Inflated whole by libdeflate or streamed by zlib, either side of the bounds.
    put("edge\\whole.txt", compressible(unpack::kWholeInflated));
    put("edge\\over.txt", compressible(unpack::kWholeInflated + 1));
    put("edge\\piece.bin", noise(unpack::kPackedPiece - 11, 6));  // packed: exactly a piece
    put("edge\\pieces.bin", noise(unpack::kPackedPiece - 10, 7));
    put("ro.txt", "read only");
    put("midnight.txt", "at midnight");
    fs::set_last_write_time(format::join_path(work, "midnight.txt"), kMidnight);
    fs::set_attributes(format::join_path(work, "ro.txt"), fs::kReadOnly);
    items = {"Отчёт",     "nested",    "empty",     "zero.bin", "s1.bin", "s1023.bin",
             "s1024.bin", "s1025.bin", "noise.bin", "big.bin",  "ro.txt", "midnight.txt",
             "edge"};
    write_file(b_native(format::join_path(program, std::string(format::kStubFileName))),
               "MZ" + noise(3000, 5));
  }
  static std::filesystem::path b_native(const std::string& win) { return *fs::to_native(win); }
  void put(const std::string& relative, const std::string& bytes) {
    const std::string path = format::join_path(work, relative);
    write_file(b_native(path), bytes);
    fs::set_last_write_time(path, kTime);
  }
  Outcome pack(PackOptions options) {
    options.program_folder = program;
    options.archive_name = "arhiv";
    RecordingUi ui;
    const Selection selection{work, items};
    const Outcome outcome =
        run_operation({OperationCode::PackFromWindow, program, ""}, ui,
                      [&](Operation& op) { return UpakAll(selection, options, op); });
    EXPECT_TRUE(ui.messages.empty()) << testing::PrintToString(ui.messages);
    return outcome;
  }
  // The volumes the packer wrote, moved into `folder`, in order.
  std::vector<std::string> move_volumes(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::list_directory(work)) {
      if (e.name.starts_with("arhiv.")) names.push_back(e.name);
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> paths;
    for (const auto& name : names) {
      paths.push_back(format::join_path(folder, name));
      fs::rename_replace(format::join_path(work, name), paths.back());
    }
    return paths;
  }
  void expect_same(const std::string& extracted) const {
    EXPECT_EQ(snapshot(b_native(extracted)), snapshot(b_native(work)));
    for (const auto& e : snapshot(b_native(work))) {
      if (e.second == "<dir>") continue;
      std::string relative = e.first;
      std::replace(relative.begin(), relative.end(), '/', '\\');
      const auto time = fs::last_write_time(format::join_path(extracted, relative));
      fs::LocalTime expected = relative == "midnight.txt" ? kMidnight : kTime;
      expected.second = 0;
      EXPECT_EQ(time, expected) << relative;
    }
  }
};

}  // namespace

TEST(RoundTrip, OneOrManyVolumesWithAndWithoutPassword) {
  struct Case {
    bool multi;
    const char* kb;
    const char* password;
    std::size_t min_volumes;
  };
  const Case cases[] = {
      {false, "", "", 1},   {false, "", "Пароль 12", 1}, {true, "0", "", 200},
      {true, "1", "", 200}, {true, "7", "x", 30},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.multi ? c.kb : "single") + " " + c.password);
    Source s;
    PackOptions options;
    options.multi_volume = c.multi;
    options.volume_size_kb = c.kb;
    options.password = c.password;
    ASSERT_EQ(s.pack(options), Outcome::Done);
    const std::string arch = s.dir.win("arch");
    fs::create_directory(arch);
    const auto volumes = s.move_volumes(arch);
    ASSERT_GE(volumes.size(), c.min_volumes);

    RecordingUi ui;
    if (*c.password) ui.answers.push_back(std::string(c.password));
    ASSERT_TRUE(check_before_extract(volumes[0], ui));
    EXPECT_EQ(ui.questions.size(), *c.password ? 1u : 0u);
    const Outcome outcome =
        run_operation({OperationCode::UnpackFromWindow, s.program, ""}, ui, [&](Operation& op) {
          return Raspakovka({volumes[0], s.out}, op);
        });
    EXPECT_EQ(outcome, Outcome::Done);
    EXPECT_TRUE(ui.messages.empty()) << testing::PrintToString(ui.messages);
    s.expect_same(s.out);

    // The listing sees the same archive.
    std::size_t records = 0;
    EXPECT_EQ(Raspakovka1(volumes[0], ui, [&](const ListedEntry&) { ++records; }), Outcome::Done);
    EXPECT_EQ(records, 23u);  // 8 folders, 15 files
  }
}

TEST(RoundTrip, SelfExtractingSingleAndMultiVolume) {
  for (bool multi : {false, true}) {
    SCOPED_TRACE(multi);
    Source s;
    PackOptions options;
    options.self_extracting = true;
    options.multi_volume = multi;
    options.volume_size_kb = "7";
    options.password = "тайна";
    ASSERT_EQ(s.pack(options), Outcome::Done);
    const auto volumes = s.move_volumes(s.out);
    ASSERT_EQ(format::file_name_part(volumes[0]), multi ? "arhiv.001.exe" : "arhiv.exe");
    ASSERT_TRUE(ends_in_volume_tail(volumes[0]));

    RecordingUi ui;
    ui.answers.push_back(std::string("тайна"));
    ASSERT_TRUE(self_extract_password_ok(volumes[0], ui));
    const Outcome outcome =
        run_operation({OperationCode::SelfExtract, s.program, ""}, ui,
                      [&](Operation& op) { return self_extract(volumes[0], op); });
    EXPECT_EQ(outcome, Outcome::Done);
    EXPECT_TRUE(ui.messages.empty()) << testing::PrintToString(ui.messages);
    for (const auto& v : volumes) fs::remove_file(v);
    s.expect_same(s.out);
  }
}
