// The password record of volume 001, written when the first volume is closed (the check that
// reads it is ops/checks.h). The password guards opening only: the data are not encrypted and
// the record is merely coded.
#pragma once

#include <optional>
#include <string>

namespace tarvik {

// The 33-byte record for `password` (UTF-8, trimmed; blank for none: then the time of day is
// coded). The password is converted to the archive code page first; nullopt when it has no
// form there.
std::optional<std::string> WritePs(const std::string& password);

}  // namespace tarvik
