// The password record of volume 001: written when the first volume is closed, checked before
// an archive is opened. The password guards opening only: the data are not encrypted and the
// record is merely coded.
#pragma once

#include <string>

#include "platform/stream.h"
#include "platform/ui.h"

namespace tarvik {

// The 33-byte record for `password` (UTF-8, trimmed; blank for none: then the time of day is
// coded). The password is converted to the archive code page first; nullopt when it has no
// form there.
std::optional<std::string> WritePs(const std::string& password);

// Reads the record 44 bytes before the end of `volume` (a first volume); asks for the password
// with the title "Введите пароль распаковки" when there is one. True when the archive may be
// opened; otherwise the message has been shown.
bool ReadPassw(ByteSource& volume, Ui& ui);

}  // namespace tarvik
