#include "pack/password_check.h"

#include "format/fields.h"
#include "format/password.h"
#include "format/time_text.h"
#include "platform/codepage.h"
#include "platform/fs.h"

namespace tarvik {

std::optional<std::string> WritePs(const std::string& password) {
  auto bytes = codepage::to_archive(format::trim(password));
  if (!bytes) return std::nullopt;
  auto [r1, r2] = format::pick_random_pair();
  return format::password_record(*bytes, format::clock_text(fs::local_now()), r1, r2);
}

}  // namespace tarvik
