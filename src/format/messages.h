// The system's message texts, in one table that every front end shows (UTF-8). The fixed
// texts are byte for byte the program's own; "\n\r" is line feed then carriage return, and
// the "o" of "oшибку" in the checksum texts is the Latin letter.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvik::msg {

// Packing.
inline constexpr std::string_view kNoArchiveName = "Не задано имя нового архива!";
inline constexpr std::string_view kArchiveExists = "Такой архив уже есть!";
inline constexpr std::string_view kOpenDrive = "Зайдите на диск и пометьте элементы для сжатия!";
inline constexpr std::string_view kNoVolumeSize = "Не указан размер тома!";
inline constexpr std::string_view kNothingSelected = "Не выбран ни один элемент для архивирования!";
inline constexpr std::string_view kTooManyVolumes =
    "Большое число томов! Томов больше 999 не предусмотрено!";

// Checksums and version.
inline constexpr std::string_view kChecksumError = "Архив поврежден! Ошибка контрольной суммы.";
inline constexpr std::string_view kWrongVersion =
    "Неподходящия служебная информация.\n\rЭто не KZV формат, другая версия или не первый том "
    "архива!";
// FileCRC32 writes "даёт", FileCRC32_8 "дает".
std::string crc_error_whole(std::string_view file, std::string_view reason);
std::string crc_error_body(std::string_view file, std::string_view reason);

// Passwords.
inline constexpr std::string_view kPasswordQuestion = "Введите пароль распаковки";
inline constexpr std::string_view kWrongPassword = "Неверный пароль для распаковки!";
inline constexpr std::string_view kWrongFormat =
    "Неверный формат архива. \n\rВозможно это не KZV архив или не первый том.";
inline constexpr std::string_view kSelfExtractingQuestion = "Введите пароль";
// Our own: the password box's line that names the archive it asks for.
std::string password_prompt(std::string_view archive);
inline constexpr std::string_view kSelfExtractingWrongPassword = "Неверный пароль!";
// Our own: a password typed for packing that the code page cannot hold (never echoed).
inline constexpr std::string_view kPasswordNotInCodePage =
    "Пароль нельзя записать в архив: в нём есть знаки, которых нет в кодовой странице Windows";
// Encryption (our own).
inline constexpr std::string_view kEncryptionNeedsPassword =
    "Для шифрования данных задайте пароль!";
inline constexpr std::string_view kPasswordsDiffer =
    "Пароль и его повтор не совпадают! Зашифрованные данные без верного пароля не восстановить.";
inline constexpr std::string_view kEncryptionPasswordQuestion = "Пароль для шифрования";
inline constexpr std::string_view kRepeatPasswordQuestion = "Повторите пароль";
inline constexpr std::string_view kPasswordTooLong =
    "Пароль длиннее 12 символов! Длиннее может быть только пароль для шифрования данных.";
inline constexpr std::string_view kEncryptionPasswordTooLong =
    "Пароль для шифрования длиннее 128 символов!";
// Reasons: an entry whose data fail authentication, a block of a kind we do not know.
inline constexpr std::string_view kDataNotAuthentic =
    "зашифрованные данные не прошли проверку подлинности: они изменены или повреждены";
inline constexpr std::string_view kUnknownCipher = "неизвестный способ шифрования";
inline constexpr std::string_view kNoKeyForData = "пароль архива не был проверен";
inline constexpr std::string_view kFieldKeyIterations = "число итераций ключа";
inline constexpr std::string_view kFieldSalt = "соль ключа";
inline constexpr std::string_view kFieldKeyCheck = "контроль ключа";
// "<field> имеет неверное значение".
std::string field_not_readable(std::string_view field);
// Our own reasons for damaged_archive().
inline constexpr std::string_view kPasswordRecordDamaged = "запись пароля повреждена";
inline constexpr std::string_view kSelfExtractingTailMissing =
    "в конце файла нет хвоста тома: самораскрывающийся архив повреждён или обрезан";

// Extraction.
inline constexpr std::string_view kNoArchiveChosen = "Не выбран архив для распаковки!";
inline constexpr std::string_view kNotFirstVolume = "Это не KZV формат или не первый том архива";
inline constexpr std::string_view kNotFirstVolumeSelfExtracting =
    "Это не KZV архив или не первый том архива";
std::string next_volume_missing(std::string_view full_path);  // "Следующий том архива ... не найден!"
inline constexpr std::string_view kExtractionDone = "Извлечение выполнено!";

// Progress dialog captions.
inline constexpr std::string_view kPackingCaption = "Упаковка: ";
inline constexpr std::string_view kUnpackingCaption = "Распаковка: ";
inline constexpr std::string_view kRollbackCaption = "Запущен откат. Подождите...";

// Listing.
inline constexpr std::string_view kFileType = "Файл";
inline constexpr std::string_view kFolderType = "Папка";
// The browser could not show an archive: `reason` is the message of the walk (a damaged
// record, an unreadable file).
std::string listing_failed(std::string_view archive, std::string_view reason);
// Our own reason for listing_failed(): the archive gave other rows when it was read again.
inline constexpr std::string_view kArchiveChangedWhileListed =
    "архив изменился, пока выводилось его содержимое";

// Shell integration: the commands of the menu "Настройки".
inline constexpr std::string_view kExplorerMenuInstalled = "Контекстное меню проводника установлено!";
inline constexpr std::string_view kExplorerMenuCleared = "Контекстное меню проводника очищено!";
inline constexpr std::string_view kRegistrationRemoved = "Регистрация программы в Windows удалена!";

// The console's words for a command line it cannot take (after "tarvik: "), and the hint.
inline constexpr std::string_view kUsageHelp = "Справка: tarvik --help";
inline constexpr std::string_view kUsageThreads = "после -j нужно число потоков от 1 до 999";
inline constexpr std::string_view kUsageLevel = "после -l нужен уровень сжатия от 1 до 12";
inline constexpr std::string_view kUsageNoItems = "не указаны элементы для упаковки";
inline constexpr std::string_view kUsagePasswordTooLong = "пароль длиннее 12 символов";
inline constexpr std::string_view kUsageEncryptionPasswordTooLong =
    "пароль для шифрования длиннее 128 символов";
inline constexpr std::string_view kUsageOneArchive = "укажите один архив";
inline constexpr std::string_view kUsageArchiveAndLevel = "укажите архив и, если нужно, уровень";
inline constexpr std::string_view kUsageArchiveAndEntries = "укажите архив и записи для извлечения";
inline constexpr std::string_view kUsageNoCommand = "не указана команда";
std::string usage_needs_value(std::string_view option);
std::string usage_unknown_option(std::string_view option);
std::string usage_cannot_pack(std::string_view item);
std::string usage_items_in_one_folder(std::string_view item);
std::string usage_unknown_command(std::string_view command);
// The unit of the console's progress line.
inline constexpr std::string_view kMegabytes = "МБ";
// The captions of the columns of a listing (browse::Row), in order.
inline constexpr std::string_view kColumnCaptions[] = {"Название", "Тип", "Создан",
                                                        "Полный, байтов", "Сжат, байтов"};
// About's version line: "Версия 1.02".
std::string about_version(std::string_view version);
// The file type's name in the registry, which Explorer shows.
inline constexpr std::string_view kTypeDescription = "Архив Tarvik";

// The last guards' words: what escaped every other handler.
inline constexpr std::string_view kOutOfMemory = "Недостаточно памяти";
inline constexpr std::string_view kUnexpectedError = "Непредвиденная ошибка";

// Reasons, after a file's name.
inline constexpr std::string_view kChangedWhileRead = "файл изменился во время упаковки";
inline constexpr std::string_view kCompressionFailed = "сжатие данных не удалось";
inline constexpr std::string_view kNoJournalFolder = "нет папки для журнала";
inline constexpr std::string_view kNoFreeJournalName = "нет свободного имени для журнала отката";
inline constexpr std::string_view kNoFreeWorkFileName = "нет свободного имени для рабочего файла";
inline constexpr std::string_view kNoFreeCopyName = "нет свободного имени для копии";
inline constexpr std::string_view kShorterThanChecksum = "файл короче контрольной суммы";
inline constexpr std::string_view kShrankWhileRead = "файл укоротился при чтении";

// What is wrong with a record of a volume (after "Архив поврежден! Том <volume>: ").
inline constexpr std::string_view kRecordPastVolumeEnd = "запись выходит за конец тома";
inline constexpr std::string_view kVolumeEndsInRecord = "том обрывается посреди записи";
inline constexpr std::string_view kNotANumber = " не является числом";  // after the field's name
inline constexpr std::string_view kFieldSourceFolderLength = "длина имени исходной папки";
inline constexpr std::string_view kFieldPathLength = "длина пути";
inline constexpr std::string_view kFieldAttributes = "слово атрибутов";
inline constexpr std::string_view kFieldSizeDigits = "число цифр размера";
inline constexpr std::string_view kFieldSize = "размер файла";
inline constexpr std::string_view kFieldPackedSizeLength = "длина поля сжатого размера";
inline constexpr std::string_view kFieldPackedSize = "сжатый размер";

// Reasons of damage, refusals and failures, after a file's or an entry's name.
inline constexpr std::string_view kFileWhereFolder =
    "на этом месте уже есть файл, а в архиве это папка";
inline constexpr std::string_view kFolderWhereFile =
    "на этом месте уже есть папка, а в архиве это файл";
inline constexpr std::string_view kVolumeBreaksOff = "том обрывается";
inline constexpr std::string_view kShorterThanTail = "файл короче хвоста тома";
inline constexpr std::string_view kStubSizeWrong = "размер заготовки в хвосте тома неверен";
inline constexpr std::string_view kVolumeShorterThanTail = "том короче своего хвоста";
inline constexpr std::string_view kNoEndMarkBeforeTail =
    "нет метки конца записей перед хвостом тома";
inline constexpr std::string_view kTailNotRecognised = "хвост тома не распознан";
inline constexpr std::string_view kNoContinuationMark = "том не начинается с метки продолжения";
inline constexpr std::string_view kTooManyVolumesInChain = "томов больше 999";
inline constexpr std::string_view kDataPastLastVolume =
    "данные записи выходят за конец последнего тома";
inline constexpr std::string_view kJournalOfAnotherRun =
    "это журнал отката другой работающей операции";
inline constexpr std::string_view kVolumeChecksumDiffers = "контрольная сумма тома не совпадает";
inline constexpr std::string_view kEndMarkBeforeTail =
    "метка конца записей стоит раньше хвоста тома";
inline constexpr std::string_view kEntryOutsideSource =
    "путь записи не лежит в исходной папки архива";
inline constexpr std::string_view kNotEnoughMemoryReason = "недостаточно памяти";
inline constexpr std::string_view kOperationAborted = "Операция прервана";
inline constexpr std::string_view kPackedDataBreaksOff =
    "сжатые данные обрываются раньше конца потока";
inline constexpr std::string_view kInflateError = "ошибка распаковки сжатых данных";
inline constexpr std::string_view kMoreDataThanRecord =
    "распакованных данных больше, чем указано в записи";
inline constexpr std::string_view kStreamEndsBeforeRecord =
    "поток сжатых данных кончается раньше записи";
inline constexpr std::string_view kLessDataThanRecord =
    "распакованных данных меньше, чем указано в записи";
inline constexpr std::string_view kNotInFolder = "нет в папке";
inline constexpr std::string_view kShorterThanWritten = "файл короче записанного в него";

// File-system paths in the texts below are Windows text ("Z:\\tmp\\a" for /tmp/a on Linux).
// Shown natively, they read as the system writes them ("/tmp/a"); the Linux console asks for
// that, the windows and the Windows console do not.
void show_native_paths(bool native);
std::string shown_path(std::string_view path);
// "Создан архив <path>", "Ошибок не найдено: <path>": the console's word at the end of pack, test.
std::string archive_created(std::string_view archive);
std::string no_errors_found(std::string_view archive);

// Our own words at the end of a run, in the main window's status bar, and the message that
// ends a self-extracting run.
// "Создан архив X.kzv: 12 файлов, 3,4 МБ" (the archive's file name, its file entries, the
// bytes of its volumes).
std::string archive_made(std::string_view archive_name, std::uint64_t files, std::uint64_t bytes);
// "Распаковано 40 файлов в <folder>" ("Распакован 1 файл в ...").
std::string files_unpacked(std::uint64_t files, std::string_view folder);
inline constexpr std::string_view kRunAbortedUndone = "Прервано: всё возвращено";
inline constexpr std::string_view kPackFailed = "Архив не создан";
inline constexpr std::string_view kUnpackFailed = "Архив не распакован";
// "1 файл", "2 файла", "5 файлов", "21 файл".
std::string file_count(std::uint64_t files);
// A size as a person reads it: "512 байт", "12,5 КБ", "3,4 МБ", "120 МБ", "1,5 ГБ".
std::string size_words(std::uint64_t bytes);

// Our own texts for failures the fixed texts do not cover; each names the file and the reason.
std::string cannot_read(std::string_view file, std::string_view reason);
std::string cannot_write(std::string_view file, std::string_view reason);
// The main window's rename of `file` to `new_name` (a name in the same folder) that failed.
std::string cannot_rename(std::string_view file, std::string_view new_name, std::string_view reason);
std::string stub_missing(std::string_view file, std::string_view reason);
std::string name_not_in_code_page(std::string_view name);
std::string path_too_long(std::string_view path);
std::string damaged_archive(std::string_view volume, std::string_view reason);
// A file opened as an archive that is none: neither a header nor a tail of ours.
std::string not_an_archive(std::string_view file);
std::string damaged_entry(std::string_view entry, std::string_view reason);
std::string unsafe_entry(std::string_view entry);
// An entry of the archive where an earlier entry is a file (`other_is_file`) or a folder.
std::string entry_clash(std::string_view entry, std::string_view other, bool other_is_file);
// An entry with a name longer than the file system takes.
std::string name_too_long(std::string_view entry);
std::string cannot_create_journal(std::string_view file, std::string_view reason);
std::string bad_volume_size(std::string_view text);
std::string bad_archive_name(std::string_view name);
// A registry key (or value) that could not be changed; `for_administrator` adds that only an
// administrator may change it.
std::string registry_not_changed(std::string_view key, std::string_view reason,
                                 bool for_administrator);
std::string cannot_open(std::string_view path, std::string_view reason);
std::string unrecognised_request(std::string_view request);
// A name given to the console's "extract" that is no entry of the level.
std::string no_such_entry(std::string_view name, std::string_view level, std::string_view archive);
// An item of a pack or select request that is not an entry of the first item's folder.
std::string request_item_not_in_folder(std::string_view item, std::string_view folder);
// The cryptography library refused `call` (a function of libcrypto or CNG) with `code` (its
// error or NTSTATUS; 0 when it gave none): "Ошибка шифрования: BCryptEncrypt (0xC000000D)".
std::string crypto_failed(std::string_view call, std::uint64_t code);
// The rollback journal and the rollback.
// After the message of a failure that ended a run, once the run was rolled back.
inline constexpr std::string_view kFailedRunUndone =
    "Всё, что было сделано до ошибки, отменено: папка осталась такой, как была.";
// The message of the failure and then that sentence, as one message.
std::string failed_run_undone(std::string_view failure);
std::string recovered_journal(std::string_view journal);
std::string cannot_put_back(std::string_view original, std::string_view copy);
std::string cannot_remove(std::string_view file);
std::string cannot_journal(std::string_view path);
std::string cannot_journal_name(std::string_view path);
// Names and links.
std::string name_not_for_windows(std::string_view path);
std::string linked_entry(std::string_view entry, std::string_view link);

// The icon of a message box: what the text is, told from which entry of this table it is.
// Information: a step that finished ("Извлечение выполнено!", the menu commands' words, a
// recovered journal, a failed run taken back); warning: a request the user can correct (no
// archive chosen, no name, a bad volume size); error: every failure.
enum class MessageKind { Error, Warning, Information };
MessageKind kind_of(std::string_view text);

}  // namespace tarvik::msg
