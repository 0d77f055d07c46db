#include "pack/password_check.h"

#include "format/fields.h"
#include "format/layout.h"
#include "format/messages.h"
#include "format/password.h"
#include "format/time_text.h"
#include "platform/codepage.h"

namespace tarvik {

std::optional<std::string> WritePs(const std::string& password) {
  auto bytes = codepage::to_archive(format::trim(password));
  if (!bytes) return std::nullopt;
  auto [r1, r2] = format::pick_random_pair();
  return format::password_record(*bytes, format::clock_text(format::local_now()), r1, r2);
}

bool ReadPassw(ByteSource& volume, Ui& ui) {
  auto record = read_from_end(volume, format::kPasswordRecordFromEnd, format::kPasswordRecordBytes);
  std::string tag = record ? format::field_text(record->substr(0, format::kPasswordTagWidth)) : "";
  if (tag == format::kNoPasswordTag) return true;
  if (tag != format::kPasswordTag) {
    ui.show_message(msg::kWrongFormat);
    return false;
  }
  auto answer = ui.ask(msg::kPasswordQuestion, "");
  std::string typed(format::trim(answer.value_or("")));
  auto stored = format::decode_text(
      format::field_text(std::string_view(*record).substr(format::kPasswordTagWidth)));
  auto typed_bytes = codepage::to_archive(typed);
  if (!stored || !typed_bytes || typed.empty() || *stored != *typed_bytes) {
    ui.show_message(msg::kWrongPassword);
    return false;
  }
  return true;
}

}  // namespace tarvik
