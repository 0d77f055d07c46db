// The cryptography from OpenSSL's libcrypto: RAND_bytes, PKCS5_PBKDF2_HMAC, and AES-256-GCM
// through one EVP cipher context per key, keyed once and given a new nonce per message.
#include "platform/crypto.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <climits>

#include "format/messages.h"

namespace tarvik::crypto {

namespace {

// The error libcrypto queued for the failed `call` goes into the message; the queue is left
// empty for the next call.
[[noreturn]] void fail(const char* call) {
  const unsigned long code = ERR_peek_last_error();
  ERR_clear_error();
  throw CryptoError(msg::crypto_failed(call, code));
}

// libcrypto counts in int: lengths beyond it are refused rather than cut.
int int_size(std::size_t size, const char* call) {
  if (size > static_cast<std::size_t>(INT_MAX)) fail(call);
  return static_cast<int>(size);
}

struct ContextFree {
  void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using Context = std::unique_ptr<EVP_CIPHER_CTX, ContextFree>;

// GCM is a stream mode to libcrypto: every byte in gives one byte out at once, so a message
// goes through in place in int-sized pieces.
void feed(EVP_CIPHER_CTX* ctx, bool encrypt, std::span<std::uint8_t> data) {
  const auto update = encrypt ? EVP_EncryptUpdate : EVP_DecryptUpdate;
  const char* name = encrypt ? "EVP_EncryptUpdate" : "EVP_DecryptUpdate";
  while (!data.empty()) {
    const int piece = static_cast<int>(std::min<std::size_t>(data.size(), INT_MAX / 2));
    int written = 0;
    if (update(ctx, data.data(), &written, data.data(), piece) != 1 || written != piece)
      fail(name);
    data = data.subspan(static_cast<std::size_t>(piece));
  }
}

}  // namespace

void random_bytes(std::span<std::uint8_t> out) {
  while (!out.empty()) {
    const int piece = static_cast<int>(std::min<std::size_t>(out.size(), INT_MAX));
    if (RAND_bytes(out.data(), piece) != 1) fail("RAND_bytes");
    out = out.subspan(static_cast<std::size_t>(piece));
  }
}

void pbkdf2_sha256(std::string_view password, std::span<const std::uint8_t> salt,
                   std::uint32_t iterations, std::span<std::uint8_t> out) {
  constexpr const char* kCall = "PKCS5_PBKDF2_HMAC";
  if (iterations > static_cast<std::uint32_t>(INT_MAX)) fail(kCall);
  if (PKCS5_PBKDF2_HMAC(password.data(), int_size(password.size(), kCall), salt.data(),
                        int_size(salt.size(), kCall), static_cast<int>(iterations), EVP_sha256(),
                        int_size(out.size(), kCall), out.data()) != 1)
    fail(kCall);
}

struct GcmKey::State {
  Context ctx;

  // The context set up for one message: the direction, the nonce (the key stays), the
  // additional data.
  void start(bool encrypt, const Nonce& nonce, std::span<const std::uint8_t> aad) {
    const auto init = encrypt ? EVP_EncryptInit_ex : EVP_DecryptInit_ex;
    if (init(ctx.get(), nullptr, nullptr, nullptr, nonce.data()) != 1)
      fail(encrypt ? "EVP_EncryptInit_ex" : "EVP_DecryptInit_ex");
    if (aad.empty()) return;
    const auto update = encrypt ? EVP_EncryptUpdate : EVP_DecryptUpdate;
    const char* name = encrypt ? "EVP_EncryptUpdate" : "EVP_DecryptUpdate";
    int written = 0;
    if (update(ctx.get(), nullptr, &written, aad.data(), int_size(aad.size(), name)) != 1)
      fail(name);
  }
};

GcmKey::GcmKey(const Key& key) : state_(std::make_unique<State>()) {
  state_->ctx.reset(EVP_CIPHER_CTX_new());
  EVP_CIPHER_CTX* ctx = state_->ctx.get();
  if (!ctx) fail("EVP_CIPHER_CTX_new");
  // The direction chosen here is only the first one: each message's init sets its own.
  if (EVP_EncryptInit_ex(ctx, EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1)
    fail("EVP_EncryptInit_ex");
  if (EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(kNonceBytes), nullptr) !=
      1)
    fail("EVP_CIPHER_CTX_ctrl(EVP_CTRL_GCM_SET_IVLEN)");
  if (EVP_EncryptInit_ex(ctx, nullptr, nullptr, key.data(), nullptr) != 1)
    fail("EVP_EncryptInit_ex");
}

GcmKey::~GcmKey() = default;

Tag GcmKey::seal(const Nonce& nonce, std::span<const std::uint8_t> aad,
                 std::span<std::uint8_t> data) {
  EVP_CIPHER_CTX* ctx = state_->ctx.get();
  state_->start(true, nonce, aad);
  feed(ctx, true, data);
  std::uint8_t rest[16];  // GCM leaves nothing behind; room all the same
  int written = 0;
  if (EVP_EncryptFinal_ex(ctx, rest, &written) != 1) fail("EVP_EncryptFinal_ex");
  Tag tag{};
  if (EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_GET_TAG, static_cast<int>(kTagBytes), tag.data()) !=
      1)
    fail("EVP_CIPHER_CTX_ctrl(EVP_CTRL_GCM_GET_TAG)");
  return tag;
}

bool GcmKey::open(const Nonce& nonce, std::span<const std::uint8_t> aad,
                  std::span<std::uint8_t> data, const Tag& tag) {
  EVP_CIPHER_CTX* ctx = state_->ctx.get();
  state_->start(false, nonce, aad);
  feed(ctx, false, data);
  Tag expected = tag;  // the control takes a non-const pointer
  if (EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_SET_TAG, static_cast<int>(kTagBytes),
                          expected.data()) != 1)
    fail("EVP_CIPHER_CTX_ctrl(EVP_CTRL_GCM_SET_TAG)");
  std::uint8_t rest[16];
  int written = 0;
  // A wrong tag is the only way the final call fails once the tag is set.
  const bool authentic = EVP_DecryptFinal_ex(ctx, rest, &written) == 1;
  ERR_clear_error();
  return authentic;
}

}  // namespace tarvik::crypto
