#include "format/messages.h"

#include "format/printable.h"

namespace tarvik::msg {

namespace {
// The fixed texts as they are; names and reasons (every part that is not a literal of this
// table) through printable(), since they may come from an archive.
struct Part {
  Part(const char* fixed) : text(fixed) {}
  Part(std::string_view shown) : text(format::printable(shown)) {}
  std::string text;
};
std::string join(std::initializer_list<Part> parts) {
  std::string s;
  for (const auto& p : parts) s += p.text;
  return s;
}
}  // namespace

std::string crc_error_whole(std::string_view file, std::string_view reason) {
  return join({"Подсчет CRC файла [", file, "] даёт oшибку: [", reason, "]"});
}

std::string crc_error_body(std::string_view file, std::string_view reason) {
  return join({"Подсчет CRC файла [", file, "] дает oшибку: [", reason, "]"});
}

std::string next_volume_missing(std::string_view full_path) {
  return join({"Следующий том архива ", full_path, " не найден!"});
}

std::string cannot_read(std::string_view file, std::string_view reason) {
  return join({"Не удалось прочитать файл ", file, ": ", reason});
}

std::string cannot_write(std::string_view file, std::string_view reason) {
  return join({"Не удалось записать файл ", file, ": ", reason});
}

std::string stub_missing(std::string_view file, std::string_view reason) {
  return join({"Нет заготовки самораскрывающегося архива ", file, ": ", reason});
}

std::string name_not_in_code_page(std::string_view name) {
  return join({"Имя ", name,
               " нельзя записать в архив: в нём есть знаки, которых нет в кодовой странице "
               "Windows"});
}

std::string path_too_long(std::string_view path) {
  return join({"Путь ", path, " слишком длинный для архива (больше 999 знаков)"});
}

std::string damaged_archive(std::string_view volume, std::string_view reason) {
  return join({"Архив поврежден! Том ", volume, ": ", reason});
}

std::string listing_failed(std::string_view archive, std::string_view reason) {
  return join({"Не удалось показать содержимое архива ", archive, ":\n", reason});
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
  return join({"Не удалось открыть ", path, ": ", reason});
}

std::string unrecognised_request(std::string_view request) {
  return join({"Непонятный запрос в командной строке: ", request,
               "\nОжидаются пути, каждый со звёздочкой \"*\" после него, и знак \"<\" или "
               "\">\", либо путь к архиву."});
}

std::string request_item_not_in_folder(std::string_view item, std::string_view folder) {
  return join({"Элемент запроса не найден в папке ", folder, ": ", item,
               "\nВсе элементы должны лежать в одной папке. Запрос не выполнен, ничего не "
               "записано."});
}

std::string entry_clash(std::string_view entry, std::string_view other, bool other_is_file) {
  return join({"Запись ", entry, " не извлечена: в архиве уже есть ",
               other_is_file ? "файл " : "папка ", other});
}

std::string name_too_long(std::string_view entry) {
  return join({"Запись ", entry, " не извлечена: имя слишком длинное для файловой системы"});
}

std::string cannot_create_journal(std::string_view file, std::string_view reason) {
  return join({"Не удалось создать журнал отката ", file, ": ", reason});
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
  return join({"Найден журнал прерванной операции ", journal,
               ": всё, что она успела создать, удалено, а заменённые ею файлы возвращены."});
}

std::string cannot_put_back(std::string_view original, std::string_view copy) {
  return join({"Не удалось вернуть файл ", original, ": он остался под именем ", copy});
}

std::string cannot_remove(std::string_view file) {
  return join({"Не удалось удалить созданный файл ", file});
}

std::string cannot_journal(std::string_view path) {
  return join({"Путь ", path,
               " нельзя записать в журнал отката: в нём есть знак > или пробел в начале или "
               "в конце"});
}

std::string cannot_journal_name(std::string_view path) {
  return join({"Путь ", path,
               " нельзя записать в журнал отката: в нём есть знаки, которых нет в кодовой "
               "странице Windows"});
}

std::string name_not_for_windows(std::string_view path) {
  return join({"Имя ", path,
               " нельзя записать в архив: такого имени не допускает Windows (знаки < > : \" / "
               "| ? *, управляющие знаки, пробел или точка в конце, имена устройств)"});
}

std::string linked_entry(std::string_view entry, std::string_view link) {
  return join({"Запись ", entry, " не извлечена: на её пути ссылка ", link,
               ", а через ссылки распаковка не пишет"});
}

}  // namespace tarvik::msg
