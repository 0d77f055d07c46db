// The shared checks on real files (volume checksums, the version check, the password
// record): an empty archive written and opened again.
#include <gtest/gtest.h>

#include "format/messages.h"
#include "format/fields.h"
#include "format/password.h"
#include "format/records.h"
#include "ops/checks.h"
#include "pack/password_check.h"
#include "pack/volume_writer.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "test_support.h"

using namespace tarvik;
using tarvik::test::RecordingUi;
using tarvik::test::TempDir;

namespace {
// Header, no records, the tail with the password record, the checksum.
std::string write_empty_archive(const TempDir& dir, const std::string& password) {
  RecordingUi ui;
  Operation op{ui};
  VolumeWriter::Settings settings;
  settings.target_folder = dir.win();
  settings.archive_name = "empty";
  settings.password_record = *WritePs(password);
  VolumeWriter writer(settings, op);
  writer.write_fields(format::header_bytes("C:\\Work"));
  writer.finish();
  return writer.first_volume_name();
}

std::string crc_of_body(const std::string& path) {
  RecordingUi ui;
  return format::crc_text(FileCRC32_8(path, ui));
}
}  // namespace

TEST(EmptyArchive, AcceptedWithAndWithoutPassword) {
  for (std::string password : {"", "Пароль 12", "x"}) {
    SCOPED_TRACE(password);
    TempDir dir;
    std::string path = write_empty_archive(dir, password);
    EXPECT_EQ(fs::file_size(path), 40u + 7 + 45);
    RecordingUi ui;
    ui.answers.push_back("  " + password + " ");  // both sides are trimmed
    File volume(path, File::Mode::Read);
    EXPECT_TRUE(ReadCRC(volume, crc_of_body(path), ui));
    std::string version(10, '\0');
    volume.seek(0);
    volume.read(version.data(), 10);
    EXPECT_TRUE(ReadVersion(format::field_text(version), ui));
    EXPECT_TRUE(ReadPassw(volume, ui, path));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.questions.size(), password.empty() ? 0u : 1u);
    if (!password.empty()) {
      EXPECT_EQ(ui.questions[0], "Введите пароль распаковки");
    }
  }
}

TEST(EmptyArchive, WrongPasswordCancelAndCaseAreRefused) {
  TempDir dir;
  std::string path = write_empty_archive(dir, "Secret");
  for (std::optional<std::string> answer : {std::optional<std::string>("secret"),
                                            std::optional<std::string>(""), std::optional<std::string>()}) {
    RecordingUi ui;
    ui.answers.push_back(answer);
    File volume(path, File::Mode::Read);
    EXPECT_FALSE(ReadPassw(volume, ui, path));
    EXPECT_EQ(ui.messages, std::vector<std::string>{std::string(msg::kWrongPassword)});
  }
}

TEST(EmptyArchive, OneChangedByteFailsTheChecksum) {
  TempDir dir;
  std::string path = write_empty_archive(dir, "");
  std::string bytes = test::read_file(*fs::to_native(path));
  for (std::size_t at : {std::size_t{0}, std::size_t{20}, bytes.size() - 9}) {
    std::string changed = bytes;
    changed[at] ^= 0x01;
    test::write_file(*fs::to_native(path), changed);
    RecordingUi ui;
    EXPECT_FALSE(volume_checksum_ok(path, ui));
    EXPECT_EQ(ui.messages, std::vector<std::string>{std::string(msg::kChecksumError)});
  }
}

TEST(Checksums, BlockRuleAndMessages) {
  TempDir dir;
  for (std::size_t size : {8u, 9u, 32776u, 32777u, 70000u}) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 31 + 7);
    std::string path = dir.win("f" + std::to_string(size));
    test::write_file(*fs::to_native(path), bytes);
    format::Crc32 body, whole;
    body.update(bytes.data(), size - 8);
    whole.update(bytes);
    RecordingUi ui;
    EXPECT_EQ(FileCRC32_8(path, ui), body.value()) << size;
    EXPECT_EQ(FileCRC32(path, ui), whole.value()) << size;
    // WriteCRC appends the checksum of the whole file, which the check then accepts.
    WriteCRC(path, ui);
    EXPECT_TRUE(volume_checksum_ok(path, ui));
    EXPECT_TRUE(ui.messages.empty());
  }
  RecordingUi ui;
  std::string missing = dir.win("missing.kzv");
  EXPECT_EQ(FileCRC32(missing, ui), 0u);
  EXPECT_EQ(FileCRC32_8(missing, ui), 0u);
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].rfind("Подсчет CRC файла [" + missing + "] даёт oшибку: [", 0), 0u);
  EXPECT_EQ(ui.messages[1].rfind("Подсчет CRC файла [" + missing + "] дает oшибку: [", 0), 0u);
  // A file shorter than its checksum is damaged.
  std::string tiny = dir.win("tiny.kzv");
  test::write_file(*fs::to_native(tiny), "1234567");
  RecordingUi tiny_ui;
  EXPECT_FALSE(volume_checksum_ok(tiny, tiny_ui));
  EXPECT_EQ(tiny_ui.messages.size(), 1u);
}

TEST(Version, AcceptsOnlyKzvV10) {
  for (std::string good : {"KZV V1.0", "KZV_V1.0"}) {  // the fourth character is not looked at
    RecordingUi ui;
    EXPECT_TRUE(ReadVersion(good, ui)) << good;
  }
  for (std::string bad : {"", "KZW V1.0", "KZV V2.0", "MZ\x90"}) {
    RecordingUi ui;
    EXPECT_FALSE(ReadVersion(bad, ui)) << bad;
    EXPECT_EQ(ui.messages, std::vector<std::string>{
                               "Неподходящия служебная информация.\n\rЭто не KZV формат, другая "
                               "версия или не первый том архива!"});
  }
}

TEST(PasswordRecord, ForeignTagGivesTheWrongFormatMessage) {
  MemorySource later(std::string(100, 'x') + "ED{A12345678");
  RecordingUi ui;
  EXPECT_FALSE(ReadPassw(later, ui, "a.002.kzv"));
  EXPECT_EQ(ui.messages, std::vector<std::string>{
                             "Неверный формат архива. \n\rВозможно это не KZV архив или не первый том."});
}

// A record with the password tag whose coded text holds no password the packer could have
// written is damaged: said so, naming the volume, and no password is asked.
TEST(PasswordRecord, DamagedRecordIsNamedAndNoPasswordIsAsked) {
  const std::string good = format::password_record("Secret", "12:00:00", 'A', 'B');
  const auto damaged = [&](std::size_t at, char c) {
    std::string r = good;
    r[at] = c;
    return r;
  };
  struct Case {
    const char* name;
    std::string record;
    bool damaged;
  };
  const Case cases[] = {
      {"sound", good, false},
      {"a character outside the code", damaged(6, '~'), true},
      {"the length character", damaged(3, 'z'), true},
      {"blank coded text", "=<N" + std::string(30, ' '), true},
      {"a blank password", "=<N" + format::password_record(" ", "", 'A', 'B').substr(3), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.record.size(), 33u);
    MemorySource volume("KZV" + std::string(20, 'x') + "E" + c.record + "D{A12345678");
    RecordingUi ui;
    ui.answers.push_back("Secret");
    EXPECT_EQ(ReadPassw(volume, ui, "C:\\a.kzv"), !c.damaged);
    if (c.damaged) {
      EXPECT_EQ(ui.messages, std::vector<std::string>{msg::damaged_archive(
                                 "C:\\a.kzv", msg::kPasswordRecordDamaged)});
      EXPECT_TRUE(ui.questions.empty());
    } else {
      EXPECT_TRUE(ui.messages.empty());
    }
  }
}
