// The message table: which icon each kind of text is shown with.
#include "format/messages.h"

#include <gtest/gtest.h>

using namespace tarvik;
using msg::MessageKind;

TEST(Messages, KindOfEachText) {
  struct Case {
    std::string text;
    MessageKind kind;
  };
  const Case cases[] = {
      {std::string(msg::kExtractionDone), MessageKind::Information},
      {std::string(msg::kExplorerMenuInstalled), MessageKind::Information},
      {std::string(msg::kExplorerMenuCleared), MessageKind::Information},
      {std::string(msg::kRegistrationRemoved), MessageKind::Information},
      {std::string(msg::kFailedRunUndone), MessageKind::Information},
      {msg::recovered_journal("C:\\Program Files\\Tarvik\\tarvik.jrn"), MessageKind::Information},
      {msg::files_unpacked(40, "C:\\Загрузки"), MessageKind::Information},
      {msg::files_unpacked(1, "C:\\Загрузки"), MessageKind::Information},
      {std::string(msg::kNoArchiveChosen), MessageKind::Warning},
      {std::string(msg::kNothingSelected), MessageKind::Warning},
      {std::string(msg::kNoArchiveName), MessageKind::Warning},
      {std::string(msg::kNoVolumeSize), MessageKind::Warning},
      {std::string(msg::kOpenDrive), MessageKind::Warning},
      {std::string(msg::kArchiveExists), MessageKind::Warning},
      {msg::bad_volume_size("12а"), MessageKind::Warning},
      {msg::bad_archive_name("a:b"), MessageKind::Warning},
      {std::string(msg::kWrongPassword), MessageKind::Error},
      {std::string(msg::kSelfExtractingWrongPassword), MessageKind::Error},
      {std::string(msg::kChecksumError), MessageKind::Error},
      {std::string(msg::kWrongVersion), MessageKind::Error},
      {std::string(msg::kWrongFormat), MessageKind::Error},
      {msg::not_an_archive("C:\\a\\текст.kzv"), MessageKind::Error},
      {msg::next_volume_missing("C:\\a\\b.002.kzv"), MessageKind::Error},
      {msg::cannot_write("C:\\a", "нет места на диске"), MessageKind::Error},
      {msg::cannot_rename("C:\\a\\б.txt", "в.txt", "отказано в доступе"), MessageKind::Error},
      {msg::damaged_archive("C:\\a.kzv", msg::kPasswordRecordDamaged), MessageKind::Error},
      {msg::crypto_failed("BCryptEncrypt", 0xC000000D), MessageKind::Error},
      // A path that reads like an information text changes nothing: the words come first.
      {msg::cannot_open(std::string(msg::kExtractionDone), "нет доступа"), MessageKind::Error},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(msg::kind_of(c.text), c.kind);
  }
}

// A failed rename names the file, the new name and the reason; a name that holds what looks
// like a placeholder is shown as it is.
TEST(Messages, RenameFailureNamesBothNames) {
  EXPECT_EQ(msg::cannot_rename("C:\\d\\а.txt", "Б.txt", "файл уже существует"),
            "Не удалось переименовать C:\\d\\а.txt в Б.txt: файл уже существует");
  EXPECT_EQ(msg::cannot_rename("C:\\d\\%2.txt", "%1 %3.txt", "%2"),
            "Не удалось переименовать C:\\d\\%2.txt в %1 %3.txt: %2");
}

TEST(Messages, CryptoFailureNamesTheCallAndItsCode) {
  EXPECT_EQ(msg::crypto_failed("BCryptEncrypt", 0xC000000D),
            "Ошибка шифрования: BCryptEncrypt (0xC000000D)");
  EXPECT_EQ(msg::crypto_failed("EVP_EncryptUpdate", 0x1C8000E5ull),
            "Ошибка шифрования: EVP_EncryptUpdate (0x1C8000E5)");
  // A library that gave no code: the call alone.
  EXPECT_EQ(msg::crypto_failed("RAND_bytes", 0), "Ошибка шифрования: RAND_bytes");
}

// The words at the end of a run: counts agree with their number, sizes read as a person
// writes them (a comma before the tenths).
TEST(Messages, WordsAtTheEndOfARun) {
  struct Count {
    std::uint64_t n;
    const char* text;
  };
  for (const Count& c : {Count{0, "0 файлов"}, Count{1, "1 файл"}, Count{2, "2 файла"}, Count{4, "4 файла"},
                         Count{5, "5 файлов"}, Count{11, "11 файлов"}, Count{12, "12 файлов"},
                         Count{14, "14 файлов"}, Count{21, "21 файл"}, Count{22, "22 файла"},
                         Count{111, "111 файлов"}, Count{1001, "1001 файл"}})
    EXPECT_EQ(msg::file_count(c.n), c.text);
  struct Size {
    std::uint64_t bytes;
    const char* text;
  };
  for (const Size& c : {Size{0, "0 байт"}, Size{1023, "1023 байт"}, Size{1024, "1 КБ"}, Size{12800, "12,5 КБ"},
                        Size{3565158, "3,4 МБ"}, Size{125829120, "120 МБ"}, Size{1610612736, "1,5 ГБ"},
                        Size{104857599, "100 МБ"}})
    EXPECT_EQ(msg::size_words(c.bytes), c.text) << c.bytes;
  EXPECT_EQ(msg::archive_made("X.kzv", 12, 3565158), "Создан архив X.kzv: 12 файлов, 3,4 МБ");
  EXPECT_EQ(msg::files_unpacked(40, "C:\\Загрузки"), "Распаковано 40 файлов в C:\\Загрузки");
  EXPECT_EQ(msg::files_unpacked(21, "C:\\a"), "Распакован 21 файл в C:\\a");
}
