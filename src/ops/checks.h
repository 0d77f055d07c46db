// The checks an archive passes before it is read, shared by every reader and front end:
// volume checksums, the header's version text, and the password of volume 001.
//
// A volume ends with the CRC-32 of all its other bytes (a self-extracting stub included) as 8
// upper-case hexadecimal digits. Volume 001 alone carries the password record, 44 bytes before
// its end: a 3-byte tag ("=<N" with a password, "K*)" without) and 30 bytes of coded text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "format/encryption.h"
#include "platform/stream.h"
#include "platform/ui.h"

namespace tarvik {

// CRC-32 of the whole file, read in blocks of 32768 bytes. On a read error shows the
// "даёт" message and returns what it got so far (0 when the file could not be opened).
std::uint32_t FileCRC32(const std::string& path, Ui& ui);
// CRC-32 of the file without its last 8 bytes, which are never read (a file of at most
// 32776 bytes in one read of size - 8). A file shorter than 8 bytes gives the "дает" message.
std::uint32_t FileCRC32_8(const std::string& path, Ui& ui);
// Appends the checksum of the whole (closed) file to its end. throws OsError.
void WriteCRC(const std::string& path, Ui& ui);
// Compares the last 8 bytes of the volume with `expected`; shows the damaged-archive message
// when they differ.
bool ReadCRC(ByteSource& volume, const std::string& expected, Ui& ui);
// Accepts the version text of a header, plain or encrypted; shows the wrong-version message
// otherwise.
bool ReadVersion(const std::string& version_text, Ui& ui);

// The one comparison of a file's stored checksum with FileCRC32_8 of it. nullopt when the file
// could not be read whole (the reason has been shown through `ui`); no other message.
std::optional<bool> stored_checksum_matches(const std::string& path, Ui& ui);
// The check before an archive is read: a mismatch shows "Архив поврежден! Ошибка контрольной
// суммы.", a read error its reason. True when the checksum holds.
bool volume_checksum_ok(const std::string& path, Ui& ui);

// The texts of the one password check: the archive's ("Введите пароль распаковки" /
// "Неверный пароль для распаковки!") and the self-extracting start's ("Введите пароль" /
// "Неверный пароль!").
struct PasswordTexts {
  std::string_view question;
  std::string_view wrong;
};
PasswordTexts archive_password_texts();
PasswordTexts self_extracting_password_texts();

// The encryption block of the archive whose volume 001 is `volume` (a self-extracting one after
// its stub); nullopt for a plain archive, or one whose header cannot be read (its readers
// name the fault). throws FormatError when the block of an encrypted header is damaged.
std::optional<format::Encryption> archive_encryption(ByteSource& volume);

// The password check of volume 001. An encrypted archive (its header says so) asks
// `texts.question` and takes the password when the key it gives passes the archive's key
// check (the key is then remembered for the readers, ops/archive_keys.h), else shows
// `texts.wrong`. A plain one reads the record 44 bytes before the end of `volume`: with the
// no-password tag the archive may be opened; with the password tag asks `texts.question`
// (the box names `volume_name`: "Архив: <path>") and compares the trimmed answer with the
// stored password (a cancelled or empty answer is wrong: "texts.wrong"). A password tag whose
// coded text holds no password the packer could have written is a damaged record: "Архив
// поврежден! Том <volume_name>: запись пароля повреждена", and nothing is asked. Any other tag
// is no archive of ours: "Неверный формат архива...". True when the archive may be opened;
// otherwise the message has been shown.
bool check_password(ByteSource& volume, const PasswordTexts& texts, Ui& ui,
                    std::string_view volume_name);
// check_password with the archive's texts.
bool ReadPassw(ByteSource& volume, Ui& ui, std::string_view volume_name);
// check_password of a file; an unreadable file shows its reason and gives false.
bool password_ok(const std::string& first_volume, Ui& ui, const PasswordTexts& texts);
bool password_ok(const std::string& first_volume, Ui& ui);

// Whether `file` could be a volume of ours at all: it begins with a header (or a program's
// stub) or ends with a password tag. A damaged archive still does; a text file does not.
bool looks_like_archive(ByteSource& file);
// looks_like_archive of a file; "Файл <path> не является архивом KZV" when it is not. A
// file that cannot be opened passes: the next check tells why.
bool archive_file_ok(const std::string& path, Ui& ui);

// The checks before a whole or chosen extraction: that it is an archive at all, volume 001's
// checksum, then its password.
// False (the message shown) means the caller stops.
bool check_before_extract(const std::string& first_volume, Ui& ui);

}  // namespace tarvik
