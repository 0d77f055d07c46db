#include "ops/archive_keys.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace tarvik {

namespace {

std::span<const std::uint8_t> bytes_of(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Few archives are opened in one run: a list is enough.
struct KeyRing {
  std::mutex mutex;
  std::vector<std::pair<format::Encryption, crypto::Key>> keys;
};

KeyRing& ring() {
  static KeyRing keys;
  return keys;
}

}  // namespace

crypto::Key derive_key(const format::Encryption& encryption, std::string_view password) {
  crypto::Key key{};
  crypto::pbkdf2_sha256(password, encryption.salt, encryption.iterations, key);
  return key;
}

format::KeyCheck key_check(const crypto::Key& key, std::uint32_t iterations,
                           const format::Salt& salt) {
  const std::string params = format::encryption_params_bytes(iterations, salt);
  crypto::GcmKey gcm(key);
  return gcm.seal(format::key_check_nonce(), bytes_of(params), {});
}

std::optional<crypto::Key> checked_key(const format::Encryption& encryption,
                                       std::string_view password) {
  const crypto::Key key = derive_key(encryption, password);
  if (key_check(key, encryption.iterations, encryption.salt) != encryption.key_check)
    return std::nullopt;
  return key;
}

std::pair<format::Encryption, crypto::Key> new_encryption(std::string_view password,
                                                          std::uint32_t iterations) {
  format::Encryption encryption;
  encryption.iterations = iterations;
  crypto::random_bytes(encryption.salt);
  const crypto::Key key = derive_key(encryption, password);
  encryption.key_check = key_check(key, encryption.iterations, encryption.salt);
  return {encryption, key};
}

void remember_key(const format::Encryption& encryption, const crypto::Key& key) {
  auto& keys = ring();
  std::lock_guard lock(keys.mutex);
  auto known = std::find_if(keys.keys.begin(), keys.keys.end(),
                            [&](const auto& entry) { return entry.first == encryption; });
  if (known != keys.keys.end())
    known->second = key;
  else
    keys.keys.emplace_back(encryption, key);
}

std::optional<crypto::Key> remembered_key(const format::Encryption& encryption) {
  auto& keys = ring();
  std::lock_guard lock(keys.mutex);
  for (const auto& [known, key] : keys.keys)
    if (known == encryption) return key;
  return std::nullopt;
}

}  // namespace tarvik
