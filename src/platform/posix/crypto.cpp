// The cryptography from OpenSSL's libcrypto: RAND_bytes, PKCS5_PBKDF2_HMAC, and AES-256-GCM
// through an EVP cipher context, which streams pieces of any size itself.
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

// A context of AES-256-GCM with a 96-bit nonce, keyed, the additional data fed.
Context start_gcm(bool encrypt, const Key& key, const Nonce& nonce,
                  std::span<const std::uint8_t> aad) {
  Context ctx(EVP_CIPHER_CTX_new());
  if (!ctx) fail("EVP_CIPHER_CTX_new");
  const auto init = encrypt ? EVP_EncryptInit_ex : EVP_DecryptInit_ex;
  const char* init_name = encrypt ? "EVP_EncryptInit_ex" : "EVP_DecryptInit_ex";
  if (init(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1) fail(init_name);
  if (EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(kNonceBytes),
                          nullptr) != 1)
    fail("EVP_CIPHER_CTX_ctrl(EVP_CTRL_GCM_SET_IVLEN)");
  if (init(ctx.get(), nullptr, nullptr, key.data(), nonce.data()) != 1) fail(init_name);
  if (!aad.empty()) {
    const auto update = encrypt ? EVP_EncryptUpdate : EVP_DecryptUpdate;
    int written = 0;
    if (update(ctx.get(), nullptr, &written, aad.data(),
               int_size(aad.size(), "EVP_CipherUpdate")) != 1)
      fail(encrypt ? "EVP_EncryptUpdate" : "EVP_DecryptUpdate");
  }
  return ctx;
}

// GCM is a stream mode to libcrypto: every byte in gives one byte out at once.
void feed(EVP_CIPHER_CTX* ctx, bool encrypt, std::span<const std::uint8_t> in,
          std::uint8_t* out) {
  const auto update = encrypt ? EVP_EncryptUpdate : EVP_DecryptUpdate;
  const char* name = encrypt ? "EVP_EncryptUpdate" : "EVP_DecryptUpdate";
  while (!in.empty()) {
    const int piece = static_cast<int>(std::min<std::size_t>(in.size(), INT_MAX / 2));
    int written = 0;
    if (update(ctx, out, &written, in.data(), piece) != 1 || written != piece) fail(name);
    in = in.subspan(static_cast<std::size_t>(piece));
    out += piece;
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

struct GcmEncryptor::State {
  Context ctx;
};

GcmEncryptor::GcmEncryptor(const Key& key, const Nonce& nonce, std::span<const std::uint8_t> aad)
    : state_(std::make_unique<State>(State{start_gcm(true, key, nonce, aad)})) {}

GcmEncryptor::~GcmEncryptor() = default;

void GcmEncryptor::update(std::span<const std::uint8_t> in, std::uint8_t* out) {
  feed(state_->ctx.get(), true, in, out);
}

Tag GcmEncryptor::finish() {
  std::uint8_t rest[16];  // GCM leaves nothing behind; room all the same
  int written = 0;
  if (EVP_EncryptFinal_ex(state_->ctx.get(), rest, &written) != 1) fail("EVP_EncryptFinal_ex");
  Tag tag{};
  if (EVP_CIPHER_CTX_ctrl(state_->ctx.get(), EVP_CTRL_GCM_GET_TAG, static_cast<int>(kTagBytes),
                          tag.data()) != 1)
    fail("EVP_CIPHER_CTX_ctrl(EVP_CTRL_GCM_GET_TAG)");
  return tag;
}

struct GcmDecryptor::State {
  Context ctx;
};

GcmDecryptor::GcmDecryptor(const Key& key, const Nonce& nonce, std::span<const std::uint8_t> aad)
    : state_(std::make_unique<State>(State{start_gcm(false, key, nonce, aad)})) {}

GcmDecryptor::~GcmDecryptor() = default;

void GcmDecryptor::update(std::span<const std::uint8_t> in, std::uint8_t* out) {
  feed(state_->ctx.get(), false, in, out);
}

bool GcmDecryptor::finish(const Tag& tag) {
  Tag expected = tag;  // the control takes a non-const pointer
  if (EVP_CIPHER_CTX_ctrl(state_->ctx.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(kTagBytes),
                          expected.data()) != 1)
    fail("EVP_CIPHER_CTX_ctrl(EVP_CTRL_GCM_SET_TAG)");
  std::uint8_t rest[16];
  int written = 0;
  // A wrong tag is the only way the final call fails once the tag is set.
  const bool authentic = EVP_DecryptFinal_ex(state_->ctx.get(), rest, &written) == 1;
  ERR_clear_error();
  return authentic;
}

}  // namespace tarvik::crypto
