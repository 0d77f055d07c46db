#include "ops/checks.h"

#include <vector>

#include "format/crc.h"
#include "format/encryption.h"
#include "format/fields.h"
#include "format/layout.h"
#include "format/messages.h"
#include "format/password.h"
#include "format/records.h"
#include "ops/archive_keys.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/file.h"

namespace tarvik {

namespace {
constexpr std::size_t kCrcBlock = 32768;

struct CrcResult {
  std::uint32_t crc = 0;
  bool ok = false;
};

// Feeds the file to the CRC, leaving out its last `keep_out` bytes, which are never read:
// reads of kCrcBlock bytes while more than that remains, then one read of the rest. On an
// error shows `message` and gives the CRC as far as it got.
CrcResult file_crc(const std::string& path, std::uint64_t keep_out, Ui& ui,
                   std::string (*message)(std::string_view, std::string_view)) {
  format::Crc32 crc;
  try {
    File file(path, File::Mode::Read);
    std::uint64_t size = file.size();
    if (size < keep_out) throw format::FormatError(std::string(msg::kShorterThanChecksum));
    std::uint64_t left = size - keep_out;
    std::vector<char> block(kCrcBlock);
    while (left > 0) {
      std::size_t n = left > kCrcBlock ? kCrcBlock : static_cast<std::size_t>(left);
      std::size_t got = file.read(block.data(), n);
      crc.update(block.data(), got);
      if (got < n) throw format::FormatError(std::string(msg::kShrankWhileRead));
      left -= got;
    }
    return {crc.value(), true};
  } catch (const OsError& e) {
    ui.show_message(message(path, e.reason()));
  } catch (const format::FormatError& e) {
    ui.show_message(message(path, e.what()));
  }
  return {crc.value(), false};
}
}  // namespace

std::uint32_t FileCRC32(const std::string& path, Ui& ui) {
  return file_crc(path, 0, ui, &msg::crc_error_whole).crc;
}

std::uint32_t FileCRC32_8(const std::string& path, Ui& ui) {
  return file_crc(path, format::kChecksumWidth, ui, &msg::crc_error_body).crc;
}

void WriteCRC(const std::string& path, Ui& ui) {
  std::string text = format::crc_text(FileCRC32(path, ui));
  File file(path, File::Mode::ReadWrite);
  file.seek(file.size());
  file.write(text);
  file.close();
}

bool ReadCRC(ByteSource& volume, const std::string& expected, Ui& ui) {
  auto stored = read_from_end(volume, format::kChecksumWidth, format::kChecksumWidth);
  if (stored && format::field_text(*stored) == expected && !expected.empty()) return true;
  ui.show_message(msg::kChecksumError);
  return false;
}

bool ReadVersion(const std::string& version_text, Ui& ui) {
  if (format::version_ok(version_text) || format::is_encrypted_version(version_text)) return true;
  ui.show_message(msg::kWrongVersion);
  return false;
}

std::optional<bool> stored_checksum_matches(const std::string& path, Ui& ui) {
  auto body = file_crc(path, format::kChecksumWidth, ui, &msg::crc_error_body);
  if (!body.ok) return std::nullopt;  // the reason has been shown
  try {
    File volume(path, File::Mode::Read);
    SilentUi silent;
    return ReadCRC(volume, format::crc_text(body.crc), silent);
  } catch (const OsError& e) {
    ui.show_message(msg::cannot_read(path, e.reason()));
    return std::nullopt;
  }
}

bool volume_checksum_ok(const std::string& path, Ui& ui) {
  auto matches = stored_checksum_matches(path, ui);
  if (!matches) return false;
  if (!*matches) ui.show_message(msg::kChecksumError);
  return *matches;
}

PasswordTexts archive_password_texts() { return {msg::kPasswordQuestion, msg::kWrongPassword}; }

PasswordTexts self_extracting_password_texts() {
  return {msg::kSelfExtractingQuestion, msg::kSelfExtractingWrongPassword};
}

std::optional<format::Encryption> archive_encryption(ByteSource& volume) {
  std::string head(3, '\0');
  volume.seek(0);
  head.resize(volume.read(head.data(), head.size()));
  std::uint64_t start = 0;
  std::uint64_t tail = format::kFirstTailBytes;
  if (head != format::kVersionText.substr(0, 3)) {  // a self-extracting volume: after its stub
    auto field = read_from_end(volume, format::kStubSizeFromEnd, format::kStubSizeWidth);
    auto stub = field ? format::parse_decimal(format::field_text(*field)) : std::nullopt;
    if (!stub) return std::nullopt;
    start = *stub;
    tail = format::kSelfExtractingTailBytes;
  }
  if (volume.size() < tail || start > volume.size() - tail) return std::nullopt;
  volume.seek(start);
  format::FieldReader reader(volume, volume.size() - tail);
  format::Header header;
  try {
    header = format::read_header(reader);
  } catch (const format::FormatError&) {
    return std::nullopt;  // the readers name what is wrong with it
  }
  if (!format::is_encrypted_version(header.version)) return std::nullopt;
  return format::read_encryption_block(reader);
}

namespace {

// The password of an encrypted archive: the key it gives must pass the archive's key check.
bool check_key(const format::Encryption& encryption, const PasswordTexts& texts, Ui& ui,
               std::string_view volume_name) {
  auto answer = ui.ask(texts.question, msg::password_prompt(volume_name));
  std::string typed(format::trim(answer.value_or("")));
  std::optional<crypto::Key> key;
  try {
    if (!typed.empty()) key = checked_key(encryption, typed);
  } catch (const crypto::CryptoError& e) {
    ui.show_message(e.what());
    return false;
  }
  if (!key) {
    ui.show_message(texts.wrong);
    return false;
  }
  remember_key(encryption, *key);
  return true;
}

}  // namespace

bool check_password(ByteSource& volume, const PasswordTexts& texts, Ui& ui,
                    std::string_view volume_name) {
  std::optional<format::Encryption> encryption;
  try {
    encryption = archive_encryption(volume);
  } catch (const format::FormatError& e) {
    ui.show_message(msg::damaged_archive(volume_name, e.what()));
    return false;
  }
  if (encryption) return check_key(*encryption, texts, ui, volume_name);
  auto record = read_from_end(volume, format::kPasswordRecordFromEnd, format::kPasswordRecordBytes);
  std::string tag = record ? format::field_text(record->substr(0, format::kPasswordTagWidth)) : "";
  if (tag == format::kNoPasswordTag) return true;
  if (tag != format::kPasswordTag) {
    ui.show_message(msg::kWrongFormat);
    return false;
  }
  auto stored =
      format::stored_password(std::string_view(*record).substr(format::kPasswordTagWidth));
  if (!stored) {
    ui.show_message(msg::damaged_archive(volume_name, msg::kPasswordRecordDamaged));
    return false;
  }
  auto answer = ui.ask(texts.question, msg::password_prompt(volume_name));
  std::string typed(format::trim(answer.value_or("")));
  auto typed_bytes = codepage::to_archive(typed);
  if (!typed_bytes || typed.empty() || *stored != *typed_bytes) {
    ui.show_message(texts.wrong);
    return false;
  }
  return true;
}

bool ReadPassw(ByteSource& volume, Ui& ui, std::string_view volume_name) {
  return check_password(volume, archive_password_texts(), ui, volume_name);
}

bool password_ok(const std::string& first_volume, Ui& ui, const PasswordTexts& texts) {
  try {
    File volume(first_volume, File::Mode::Read);
    return check_password(volume, texts, ui, first_volume);
  } catch (const OsError& error) {
    ui.show_message(msg::cannot_read(first_volume, error.reason()));
    return false;
  }
}

bool password_ok(const std::string& first_volume, Ui& ui) {
  return password_ok(first_volume, ui, archive_password_texts());
}

bool looks_like_archive(ByteSource& file) {
  std::string start(3, '\0');
  file.seek(0);
  start.resize(file.read(start.data(), start.size()));
  if (start == format::kVersionText.substr(0, 3) || start.starts_with("MZ")) return true;
  auto record = read_from_end(file, format::kPasswordRecordFromEnd, format::kPasswordTagWidth);
  return record && (*record == format::kPasswordTag || *record == format::kNoPasswordTag);
}

bool archive_file_ok(const std::string& path, Ui& ui) {
  try {
    File file(path, File::Mode::Read);
    if (looks_like_archive(file)) return true;
  } catch (const OsError&) {
    return true;  // the checksum reads it again and tells why it cannot
  }
  ui.show_message(msg::not_an_archive(path));
  return false;
}

bool check_before_extract(const std::string& first_volume, Ui& ui) {
  return archive_file_ok(first_volume, ui) && volume_checksum_ok(first_volume, ui) &&
         password_ok(first_volume, ui);
}

}  // namespace tarvik
