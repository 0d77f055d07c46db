#include "format/messages.h"

#include <cstdio>
#include <iterator>

#include "format/printable.h"

namespace tarvik::msg {

namespace {
// The fixed texts as they are; names and reasons (every part that is not a literal of this
// table) through printable(), since they may come from an archive.
bool g_native_paths = false;

// A file-system path (Windows text) as the user's system writes it.
struct Path {
  std::string_view text;
};

struct Part {
  Part(const char* fixed) : text(fixed) {}
  Part(std::string_view shown) : text(format::printable(shown)) {}
  Part(Path path) : text(format::printable(shown_path(path.text))) {}
  std::string text;
};
std::string join(std::initializer_list<Part> parts) {
  std::string s;
  for (const auto& p : parts) s += p.text;
  return s;
}
}  // namespace

void show_native_paths(bool native) { g_native_paths = native; }

std::string shown_path(std::string_view path) {
  if (!g_native_paths || path.size() < 3 || (path[0] != 'Z' && path[0] != 'z') || path[1] != ':' ||
      path[2] != '\\')
    return std::string(path);
  std::string native(path.substr(2));
  for (char& c : native)
    if (c == '\\') c = '/';
  return native;
}

std::string archive_created(std::string_view archive) {
  return join({"Создан архив ", Path{archive}});
}

std::string file_count(std::uint64_t files) {
  const std::uint64_t tens = files % 100, ones = files % 10;
  const char* word = "файлов";
  if (tens < 11 || tens > 14) {
    if (ones == 1) word = "файл";
    if (ones >= 2 && ones <= 4) word = "файла";
  }
  return std::to_string(files) + " " + word;
}

std::string size_words(std::uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " байт";
  const char* units[] = {"КБ", "МБ", "ГБ", "ТБ"};
  std::size_t unit = 0;
  std::uint64_t scale = 1024;
  while (unit + 1 < std::size(units) && bytes >= scale * 1024) {
    scale *= 1024;
    ++unit;
  }
  // Tenths, rounded; one decimal below 100 units, none above.
  const std::uint64_t tenths = (bytes * 10 + scale / 2) / scale;
  std::string number = std::to_string(tenths / 10);
  if (tenths < 1000 && tenths % 10 != 0) number += "," + std::to_string(tenths % 10);
  if (tenths >= 1000) number = std::to_string((bytes + scale / 2) / scale);
  return number + " " + units[unit];
}

std::string archive_made(std::string_view archive_name, std::uint64_t files, std::uint64_t bytes) {
  return join({"Создан архив ", archive_name, ": ", std::string_view(file_count(files)), ", ",
               std::string_view(size_words(bytes))});
}

std::string files_unpacked(std::uint64_t files, std::string_view folder) {
  const bool one = files % 10 == 1 && files % 100 != 11;
  return join({one ? "Распакован " : "Распаковано ", std::string_view(file_count(files)), " в ",
               Path{folder}});
}

std::string no_errors_found(std::string_view archive) {
  return join({"Ошибок не найдено: ", Path{archive}});
}

std::string crc_error_whole(std::string_view file, std::string_view reason) {
  return join({"Подсчет CRC файла [", Path{file}, "] даёт oшибку: [", reason, "]"});
}

std::string crc_error_body(std::string_view file, std::string_view reason) {
  return join({"Подсчет CRC файла [", Path{file}, "] дает oшибку: [", reason, "]"});
}

std::string next_volume_missing(std::string_view full_path) {
  return join({"Следующий том архива ", Path{full_path}, " не найден!"});
}

std::string cannot_read(std::string_view file, std::string_view reason) {
  return join({"Не удалось прочитать файл ", Path{file}, ": ", reason});
}

std::string cannot_write(std::string_view file, std::string_view reason) {
  return join({"Не удалось записать файл ", Path{file}, ": ", reason});
}

std::string cannot_rename(std::string_view file, std::string_view new_name, std::string_view reason) {
  return join({"Не удалось переименовать ", Path{file}, " в ", new_name, ": ", reason});
}

std::string stub_missing(std::string_view file, std::string_view reason) {
  return join({"Нет заготовки самораскрывающегося архива ", Path{file}, ": ", reason});
}

std::string name_not_in_code_page(std::string_view name) {
  return join({"Имя ", Path{name},
               " нельзя записать в архив: в нём есть знаки, которых нет в кодовой странице "
               "Windows"});
}

std::string path_too_long(std::string_view path) {
  return join({"Путь ", Path{path}, " слишком длинный для архива (больше 999 знаков)"});
}

std::string damaged_archive(std::string_view volume, std::string_view reason) {
  return join({"Архив поврежден! Том ", Path{volume}, ": ", reason});
}

std::string password_prompt(std::string_view archive) {
  return join({"Архив: ", Path{archive}});
}

std::string not_an_archive(std::string_view file) {
  return join({"Файл ", Path{file}, " не является архивом KZV"});
}

std::string listing_failed(std::string_view archive, std::string_view reason) {
  return join({"Не удалось показать содержимое архива ", Path{archive}, ":\n", reason});
}

std::string damaged_entry(std::string_view entry, std::string_view reason) {
  return join({"Архив поврежден! Запись ", entry, ": ", reason});
}

std::string unsafe_entry(std::string_view entry) {
  return join({"Запись ", entry,
               " не извлечена: её путь ведёт за пределы папки распаковки или называет "
               "устройство"});
}

std::string cannot_open(std::string_view path, std::string_view reason) {
  return join({"Не удалось открыть ", Path{path}, ": ", reason});
}

std::string unrecognised_request(std::string_view request) {
  return join({"Непонятный запрос в командной строке: ", request,
               "\nОжидаются пути, каждый со звёздочкой \"*\" после него, и знак \"<\" или "
               "\">\", либо путь к архиву."});
}

std::string about_version(std::string_view version) { return join({"Версия ", version}); }

std::string usage_needs_value(std::string_view option) {
  return join({"после ", option, " нужно значение"});
}

std::string usage_unknown_option(std::string_view option) {
  return join({"неизвестный ключ ", option});
}

std::string usage_cannot_pack(std::string_view item) { return join({"нельзя упаковать ", item}); }

std::string usage_items_in_one_folder(std::string_view item) {
  return join({"все элементы должны лежать в одной папке: ", item});
}

std::string usage_unknown_command(std::string_view command) {
  return join({"неизвестная команда ", command});
}

std::string no_such_entry(std::string_view name, std::string_view level, std::string_view archive) {
  return join({"Нет записи ", name, " на уровне ", level, " архива ", Path{archive}});
}

std::string request_item_not_in_folder(std::string_view item, std::string_view folder) {
  return join({"Элемент запроса не найден в папке ", folder, ": ", item,
               "\nВсе элементы должны лежать в одной папке. Запрос не выполнен, ничего не "
               "записано."});
}

std::string crypto_failed(std::string_view call, std::uint64_t code) {
  if (code == 0) return join({"Ошибка шифрования: ", call});
  char hex[24];
  std::snprintf(hex, sizeof hex, "0x%08llX", static_cast<unsigned long long>(code));
  return join({"Ошибка шифрования: ", call, " (", std::string_view(hex), ")"});
}

std::string entry_clash(std::string_view entry, std::string_view other, bool other_is_file) {
  return join({"Запись ", entry, " не извлечена: в архиве уже есть ",
               other_is_file ? "файл " : "папка ", other});
}

std::string name_too_long(std::string_view entry) {
  return join({"Запись ", entry, " не извлечена: имя слишком длинное для файловой системы"});
}

std::string cannot_create_journal(std::string_view file, std::string_view reason) {
  return join({"Не удалось создать журнал отката ", Path{file}, ": ", reason});
}

std::string bad_volume_size(std::string_view text) {
  return join({"Размер тома задан неверно: ", text, " (нужно целое число килобайтов)"});
}

std::string bad_archive_name(std::string_view name) {
  return join({"Недопустимое имя архива: ", name,
               " (не больше 20 знаков, без \\ / : * ? \" < > |)"});
}

std::string registry_not_changed(std::string_view key, std::string_view reason,
                                 bool for_administrator) {
  auto text = join({"Не удалось изменить реестр Windows: ", key, ": ", reason});
  if (for_administrator) {
    text += "\nИзменять эти записи может только администратор: запустите Tarvik от имени "
            "администратора.";
  }
  return text;
}

std::string recovered_journal(std::string_view journal) {
  return join({"Найден журнал прерванной операции ", Path{journal},
               ": всё, что она успела создать, удалено, а заменённые ею файлы возвращены."});
}

std::string cannot_put_back(std::string_view original, std::string_view copy) {
  return join({"Не удалось вернуть файл ", Path{original}, ": он остался под именем ", Path{copy}});
}

std::string cannot_remove(std::string_view file) {
  return join({"Не удалось удалить созданный файл ", Path{file}});
}

std::string cannot_journal(std::string_view path) {
  return join({"Путь ", Path{path},
               " нельзя записать в журнал отката: в нём есть знак > или пробел в начале или "
               "в конце"});
}

std::string cannot_journal_name(std::string_view path) {
  return join({"Путь ", Path{path},
               " нельзя записать в журнал отката: в нём есть знаки, которых нет в кодовой "
               "странице Windows"});
}

std::string failed_run_undone(std::string_view failure) {
  return join({failure, "\n\n", kFailedRunUndone});
}

std::string field_not_readable(std::string_view field) {
  return join({field, " имеет неверное значение"});
}

std::string name_not_for_windows(std::string_view path) {
  return join({"Имя ", Path{path},
               " нельзя записать в архив: такого имени не допускает Windows (знаки < > : \" / "
               "| ? *, управляющие знаки, пробел или точка в конце, имена устройств)"});
}

std::string linked_entry(std::string_view entry, std::string_view link) {
  return join({"Запись ", entry, " не извлечена: на её пути ссылка ", Path{link},
               ", а через ссылки распаковка не пишет"});
}

MessageKind kind_of(std::string_view text) {
  for (std::string_view done : {kExtractionDone, kExplorerMenuInstalled, kExplorerMenuCleared,
                                kRegistrationRemoved, kFailedRunUndone})
    if (text == done) return MessageKind::Information;
  for (std::string_view correctable : {kNoArchiveName, kArchiveExists, kOpenDrive, kNoVolumeSize,
                                       kNothingSelected, kNoArchiveChosen, kPasswordNotInCodePage,
                                       kEncryptionNeedsPassword, kPasswordsDiffer, kPasswordTooLong,
                                       kEncryptionPasswordTooLong})
    if (text == correctable) return MessageKind::Warning;
  // The composed texts, by the words they begin with (a path never comes first).
  const std::string journal = recovered_journal("");
  const std::string volume_size = bad_volume_size(""), archive_name = bad_archive_name("");
  const auto begins = [text](const std::string& whole, std::string_view stop) {
    return text.starts_with(whole.substr(0, whole.find(stop)));
  };
  if (begins(journal, ":")) return MessageKind::Information;
  if (text.starts_with("Распакован ") || text.starts_with("Распаковано ")) return MessageKind::Information;
  if (begins(volume_size, ":") || begins(archive_name, ":")) return MessageKind::Warning;
  return MessageKind::Error;
}

}  // namespace tarvik::msg
