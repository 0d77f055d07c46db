// The cryptography of encrypted archives, from the platform's own library: the system's CNG
// (bcrypt.dll) on Windows, OpenSSL's libcrypto elsewhere. No cipher of our own: PBKDF2 with
// HMAC-SHA256 for the key, AES-256 in GCM mode for the data, the system's random source.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "platform/error.h"

namespace tarvik::crypto {

inline constexpr std::size_t kKeyBytes = 32;    // AES-256
inline constexpr std::size_t kNonceBytes = 12;  // GCM's 96-bit nonce
inline constexpr std::size_t kTagBytes = 16;    // GCM's full tag

using Key = std::array<std::uint8_t, kKeyBytes>;
using Nonce = std::array<std::uint8_t, kNonceBytes>;
using Tag = std::array<std::uint8_t, kTagBytes>;

// The library refused a call (out of memory, a missing algorithm). `what` names the call.
struct CryptoError : Error {
  using Error::Error;
};

// Fills `out` from the system's cryptographic random source. throws CryptoError.
void random_bytes(std::span<std::uint8_t> out);

// PBKDF2-HMAC-SHA256 (RFC 8018) of `password` (bytes as given) and `salt`, `iterations`
// rounds, `out.size()` bytes of output. throws CryptoError.
void pbkdf2_sha256(std::string_view password, std::span<const std::uint8_t> salt,
                   std::uint32_t iterations, std::span<std::uint8_t> out);

// AES-256-GCM under one key, one whole message per call (encrypted archives cut a stream into
// segments, each a message of its own: no call is ever chained, and nothing is handed on
// before its tag has been checked). The key is set up once; one object serves one thread at a
// time.
class GcmKey {
 public:
  explicit GcmKey(const Key& key);
  ~GcmKey();
  GcmKey(const GcmKey&) = delete;
  GcmKey& operator=(const GcmKey&) = delete;

  // Encrypts `data` in place and gives the tag over it and the additional data `aad`.
  // throws CryptoError.
  Tag seal(const Nonce& nonce, std::span<const std::uint8_t> aad, std::span<std::uint8_t> data);
  // Decrypts `data` in place when `tag` authenticates it and `aad`; false otherwise (what is in
  // `data` is then not to be used). throws CryptoError only when the library fails.
  bool open(const Nonce& nonce, std::span<const std::uint8_t> aad, std::span<std::uint8_t> data,
            const Tag& tag);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tarvik::crypto
