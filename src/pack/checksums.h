// Volume checksums and the header's version check. A volume ends with the CRC-32 of all its
// other bytes (the self-extracting stub included) as 8 upper-case hexadecimal digits.
#pragma once

#include <cstdint>
#include <string>

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
// Accepts the version text of a header; shows the wrong-version message otherwise.
bool ReadVersion(const std::string& version_text, Ui& ui);

// FileCRC32_8 of the file compared with its stored checksum: the callers' check before an
// archive is read.
bool volume_checksum_ok(const std::string& path, Ui& ui);

}  // namespace tarvik
