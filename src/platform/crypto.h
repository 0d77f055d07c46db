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

// AES-256-GCM over a stream of any length, fed in pieces of any size. The additional data are
// authenticated, not encrypted, and are given once before the first piece. `in` and `out` may
// be the same buffer (in place); they may not overlap otherwise.
class GcmEncryptor {
 public:
  GcmEncryptor(const Key& key, const Nonce& nonce, std::span<const std::uint8_t> aad = {});
  ~GcmEncryptor();
  GcmEncryptor(const GcmEncryptor&) = delete;
  GcmEncryptor& operator=(const GcmEncryptor&) = delete;

  // Encrypts `in` into `out` (room for in.size() bytes). throws CryptoError.
  void update(std::span<const std::uint8_t> in, std::uint8_t* out);
  // Ends the stream and gives its tag; nothing may be fed after it. throws CryptoError.
  Tag finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

class GcmDecryptor {
 public:
  GcmDecryptor(const Key& key, const Nonce& nonce, std::span<const std::uint8_t> aad = {});
  ~GcmDecryptor();
  GcmDecryptor(const GcmDecryptor&) = delete;
  GcmDecryptor& operator=(const GcmDecryptor&) = delete;

  // Decrypts `in` into `out` (room for in.size() bytes). What comes out is not yet
  // authenticated: nothing of it may be trusted (or kept) before finish() says true.
  void update(std::span<const std::uint8_t> in, std::uint8_t* out);
  // Ends the stream: true when `tag` authenticates the additional data and everything fed.
  // throws CryptoError only when the library fails, never for a wrong tag.
  bool finish(const Tag& tag);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tarvik::crypto
