// The keys of encrypted archives: made for packing, checked against the archive's key check
// when its password is typed, and handed from that check to the readers of the same run, so
// that the slow derivation runs once per typed password.
#pragma once

#include <optional>
#include <string_view>
#include <utility>

#include "format/encryption.h"
#include "platform/crypto.h"

namespace tarvik {

// The key of `encryption` for `password` (UTF-8, trimmed): PBKDF2-HMAC-SHA256 with its salt and
// count. throws crypto::CryptoError.
crypto::Key derive_key(const format::Encryption& encryption, std::string_view password);
// The key check of `key` for these parameters: the GCM tag of nothing under the nonce 0, with
// the block's parameter bytes as additional data.
format::KeyCheck key_check(const crypto::Key& key, std::uint32_t iterations,
                           const format::Salt& salt);
// The key when `password` passes the archive's key check, else nullopt.
std::optional<crypto::Key> checked_key(const format::Encryption& encryption,
                                       std::string_view password);
// A new archive's encryption: a random salt, `iterations`, its key check; and the key.
std::pair<format::Encryption, crypto::Key> new_encryption(
    std::string_view password, std::uint32_t iterations = format::kKeyIterations);

// The key accepted for an archive with this block, for the readers that come after the check.
void remember_key(const format::Encryption& encryption, const crypto::Key& key);
std::optional<crypto::Key> remembered_key(const format::Encryption& encryption);

}  // namespace tarvik
