// The self-extracting run: an executable made of any stub bytes followed by volume 001, its
// later volumes named after the executable, the 55-byte tail, the password and checksum
// checks, and the recognition of a volume tail.
#include <gtest/gtest.h>

#include "archive_fixture.h"
#include "format/messages.h"
#include "ops/runner.h"
#include "unpack/extract.h"

using namespace tarvik;
using namespace tarvik::test;

namespace {

const std::string kStub = "MZ" + noise(4094, 11);

FixtureArchive sfx_archive(std::optional<std::uint64_t> limit) {
  FixtureArchive a;
  a.stub = kStub;
  a.limit = limit;
  // The first entry's data: a chunk of 1024 then one of 100 (both at least 55 bytes).
  a.entries = {file("\\first.bin", noise(1113, 12)), folder("\\dir"), file("\\dir\\x.txt", "x"),
               file("\\last.bin", noise(2000, 13))};
  return a;
}

Outcome run_self_extract(const Bench& b, const std::string& exe, RecordingUi& ui) {
  return run_operation(
      {OperationCode::SelfExtract, b.program, std::string(format::file_name_part(exe))}, ui,
      [&](Operation& op) { return self_extract(exe, op); });
}

test::Tree expected_tree(const FixtureArchive& a, const std::string& folder,
                                                 const std::vector<std::string>& names,
                                                 const std::vector<std::string>& volumes) {
  test::Tree tree;
  for (const auto& e : a.entries) {
    std::string name = e.relative.substr(1);
    std::replace(name.begin(), name.end(), '\\', '/');
    tree[(folder.empty() ? "" : folder + "/") + name] =
        e.tag == format::kFileTag ? e.data : "<dir>";
  }
  for (std::size_t i = 0; i < names.size(); ++i)
    tree[(folder.empty() ? "" : folder + "/") + names[i]] = volumes[i];
  if (!folder.empty()) tree[folder] = "<dir>";
  return tree;
}

}  // namespace

TEST(SelfExtract, IntoTheExecutablesFolderFollowingVolumesNamedAfterIt) {
  struct Case {
    std::string folder;  // below the temporary folder
    std::optional<std::uint64_t> limit;
    std::vector<std::string> names;  // empty: as the packer names them
  };
  const Case cases[] = {
      {"single", std::nullopt, {}},
      // Volume 001 ends right before a chunk of 1024, then right before one of 100 bytes.
      {"multi", 1024, {}},
      // Volume 001 ends right after the first record's size fields.
      {"zero", 0, {}},
      {"renamed", 1024, {"setup.exe", "setup.002.kzv", "setup.003.kzv", "setup.004.kzv"}},
      {"my.dir", 1024, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    Bench b;
    const std::string folder = b.dir.win(c.folder);
    fs::create_directory(folder);
    const FixtureArchive a = sfx_archive(c.limit);
    const auto volumes = build_volumes(a);
    const auto names = c.names.empty() ? volume_names("data", volumes.size(), true) : c.names;
    ASSERT_EQ(names.size(), volumes.size());
    const auto paths = write_volumes(folder, names, volumes);
    EXPECT_TRUE(ends_in_volume_tail(paths[0]));

    RecordingUi ui;
    EXPECT_EQ(run_self_extract(b, paths[0], ui), Outcome::Done);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(snapshot(b.native(folder)), expected_tree(a, "", names, volumes));
    EXPECT_TRUE(b.out_tree().empty());
    EXPECT_EQ(ui.progress_max, volumes.back().size());
  }
}

TEST(SelfExtract, AbortRollsBackToTheVolumesAlone) {
  Bench b;
  const FixtureArchive a = sfx_archive(1024);
  const auto volumes = build_volumes(a);
  const auto paths = write_volumes(b.arch, volume_names("data", volumes.size(), true), volumes);
  const auto before = b.whole_tree();
  RecordingUi ui;
  ui.abort_after_pumps = 6;
  EXPECT_EQ(run_self_extract(b, paths[0], ui), Outcome::Aborted);
  EXPECT_EQ(b.whole_tree(), before);
}

TEST(SelfExtract, DamageAndWrongFirstVolume) {
  Bench b;
  const FixtureArchive a = sfx_archive(std::nullopt);
  const std::string good = build_volumes(a).at(0);
  const auto body = [](const std::string& v) { return v.substr(0, v.size() - 8); };

  std::string stub_changed = good;
  stub_changed[100] ^= 1;
  std::string numbered = body(good);
  numbered.replace(kStub.size() + format::kVersionWidth + format::kNoticeWidth, 3, "002");
  std::string bad_stub_size = body(good);
  bad_stub_size.replace(bad_stub_size.size() - format::kStubSizeFromEnd + format::kChecksumWidth,
                        format::kStubSizeWidth, "12ab" + std::string(6, ' '));
  std::string stub_too_big = body(good);
  stub_too_big.replace(stub_too_big.size() - format::kStubSizeFromEnd + format::kChecksumWidth,
                       format::kStubSizeWidth, "9999999999");

  struct Case {
    const char* what;
    std::string bytes;
    Outcome outcome;
    std::string message;  // a prefix
  };
  const Case cases[] = {
      {"checksum", stub_changed, Outcome::EndProgram, std::string(msg::kChecksumError)},
      {"volume 002", sealed(numbered), Outcome::Failed,
       std::string(msg::kNotFirstVolumeSelfExtracting)},
      {"stub size not a number", sealed(bad_stub_size), Outcome::Failed,
       msg::damaged_archive(b.dir.win("arch\\s.exe"), "")},
      {"stub size past the tail", sealed(stub_too_big), Outcome::Failed,
       msg::damaged_archive(b.dir.win("arch\\s.exe"), "")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto exe = write_volumes(b.arch, {"s.exe"}, {c.bytes}).at(0);
    RecordingUi ui;
    EXPECT_EQ(run_self_extract(b, exe, ui), c.outcome);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].starts_with(c.message)) << ui.messages[0];
    EXPECT_EQ(snapshot(b.native(b.arch)), (test::Tree{{"s.exe", c.bytes}}));
  }
}

TEST(SelfExtract, Password) {
  Bench b;
  FixtureArchive a = sfx_archive(std::nullopt);
  a.password = cp("Пароль 1");
  const auto exe = write_volumes(b.arch, {"p.exe"}, build_volumes(a)).at(0);
  struct Case {
    std::optional<std::string> answer;
    bool ok;
  };
  const Case cases[] = {{"Пароль 1", true}, {"  Пароль 1 ", true}, {"пароль 1", false},
                        {"", false},        {std::nullopt, false}, {"Пароль", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer.value_or("<cancel>"));
    RecordingUi ui;
    ui.answers.push_back(c.answer);
    EXPECT_EQ(self_extract_password_ok(exe, ui), c.ok);
    EXPECT_EQ(ui.questions, std::vector<std::string>{"Введите пароль"});
    EXPECT_EQ(ui.messages,
              c.ok ? std::vector<std::string>{} : std::vector<std::string>{"Неверный пароль!"});
  }
  RecordingUi ui;
  const auto plain =
      write_volumes(b.arch, {"n.exe"}, build_volumes(sfx_archive(std::nullopt))).at(0);
  EXPECT_TRUE(self_extract_password_ok(plain, ui));
  EXPECT_TRUE(ui.questions.empty());
  EXPECT_FALSE(self_extract_password_ok(b.dir.win("arch\\missing.exe"), ui));
  EXPECT_EQ(ui.messages.size(), 1u);
}

TEST(SelfExtract, RecognisingAVolumeTail) {
  Bench b;
  const std::string continued = build_volumes(sfx_archive(1024)).at(0);
  struct Case {
    const char* what;
    std::string bytes;
    bool tail;
  };
  const Case cases[] = {
      {"continued", continued, true},
      {"last", build_volumes(sfx_archive(std::nullopt)).at(0), true},
      {"a plain program", kStub, false},
      {"too short", "D{A12345678", false},
      {"empty", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto path = write_volumes(b.arch, {"t.exe"}, {c.bytes}).at(0);
    EXPECT_EQ(ends_in_volume_tail(path), c.tail);
  }
  EXPECT_FALSE(ends_in_volume_tail(b.dir.win("arch\\missing.exe")));
}
