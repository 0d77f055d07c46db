// The cryptography from the system's CNG (bcrypt.dll): BCryptGenRandom, BCryptDeriveKeyPBKDF2
// over HMAC-SHA256, and AES-256-GCM with one BCryptEncrypt/BCryptDecrypt call per whole
// message, in place (never a chain of calls: Wine's CNG restarts the counter at each one).
#include "platform/crypto.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>

#include "format/messages.h"

namespace tarvik::crypto {

namespace {

constexpr NTSTATUS kAuthTagMismatch = static_cast<NTSTATUS>(0xC000A002);
constexpr NTSTATUS kInvalidParameter = static_cast<NTSTATUS>(0xC000000D);

[[noreturn]] void fail(const char* call, NTSTATUS status) {
  throw CryptoError(msg::crypto_failed(call, static_cast<std::uint32_t>(status)));
}

void check(NTSTATUS status, const char* call) {
  if (!BCRYPT_SUCCESS(status)) fail(call, status);
}

// CNG counts in ULONG: lengths beyond it are refused rather than cut.
ULONG ulong_size(std::size_t size, const char* call) {
  if (size != static_cast<ULONG>(size)) fail(call, kInvalidParameter);
  return static_cast<ULONG>(size);
}

// CNG wants a buffer even for no bytes, and takes its inputs as PUCHAR without writing them.
PUCHAR buffer(const std::uint8_t* data, std::size_t size) {
  static std::uint8_t empty = 0;
  return size ? const_cast<PUCHAR>(data) : &empty;
}

struct AlgorithmClose {
  using pointer = BCRYPT_ALG_HANDLE;
  void operator()(BCRYPT_ALG_HANDLE h) const { ::BCryptCloseAlgorithmProvider(h, 0); }
};
using Algorithm = std::unique_ptr<void, AlgorithmClose>;

Algorithm open_algorithm(LPCWSTR id, ULONG flags) {
  BCRYPT_ALG_HANDLE handle = nullptr;
  check(::BCryptOpenAlgorithmProvider(&handle, id, nullptr, flags), "BCryptOpenAlgorithmProvider");
  return Algorithm(handle);
}

// The algorithm handles, opened once per process (CNG lets several threads use them at once;
// each GcmKey has its own key handle).
struct Providers {
  Algorithm aes_gcm;
  Algorithm hmac_sha256;
};

const Providers& providers() {
  static const Providers opened = [] {
    Providers p;
    p.aes_gcm = open_algorithm(BCRYPT_AES_ALGORITHM, 0);
    check(::BCryptSetProperty(p.aes_gcm.get(), BCRYPT_CHAINING_MODE,
                              reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_GCM)),
                              sizeof(BCRYPT_CHAIN_MODE_GCM), 0),
          "BCryptSetProperty(BCRYPT_CHAINING_MODE)");
    p.hmac_sha256 = open_algorithm(BCRYPT_SHA256_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
    return p;
  }();
  return opened;
}

}  // namespace

void random_bytes(std::span<std::uint8_t> out) {
  while (!out.empty()) {
    const std::size_t piece = std::min<std::size_t>(out.size(), ULONG{0x80000000});
    check(::BCryptGenRandom(nullptr, out.data(), static_cast<ULONG>(piece),
                            BCRYPT_USE_SYSTEM_PREFERRED_RNG),
          "BCryptGenRandom");
    out = out.subspan(piece);
  }
}

void pbkdf2_sha256(std::string_view password, std::span<const std::uint8_t> salt,
                   std::uint32_t iterations, std::span<std::uint8_t> out) {
  constexpr const char* kCall = "BCryptDeriveKeyPBKDF2";
  const auto* pass = reinterpret_cast<const std::uint8_t*>(password.data());
  check(::BCryptDeriveKeyPBKDF2(providers().hmac_sha256.get(), buffer(pass, password.size()),
                                ulong_size(password.size(), kCall),
                                buffer(salt.data(), salt.size()), ulong_size(salt.size(), kCall),
                                iterations, out.data(), ulong_size(out.size(), kCall), 0),
        kCall);
}

struct GcmKey::State {
  BCRYPT_KEY_HANDLE key = nullptr;

  // One whole message through one call, in place (CNG allows that for GCM). A decrypting call
  // checks `tag`; an encrypting one writes it.
  NTSTATUS call(bool encrypt, const Nonce& nonce, std::span<const std::uint8_t> aad,
                std::span<std::uint8_t> data, Tag& tag) {
    const char* name = encrypt ? "BCryptEncrypt" : "BCryptDecrypt";
    BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info;
    BCRYPT_INIT_AUTH_MODE_INFO(info);
    info.pbNonce = const_cast<PUCHAR>(nonce.data());
    info.cbNonce = static_cast<ULONG>(nonce.size());
    info.pbAuthData = aad.empty() ? nullptr : const_cast<PUCHAR>(aad.data());
    info.cbAuthData = ulong_size(aad.size(), name);
    info.pbTag = tag.data();
    info.cbTag = static_cast<ULONG>(tag.size());
    const ULONG size = ulong_size(data.size(), name);
    PUCHAR bytes = buffer(data.data(), data.size());
    ULONG done = 0;
    return encrypt ? ::BCryptEncrypt(key, bytes, size, &info, nullptr, 0, bytes, size, &done, 0)
                   : ::BCryptDecrypt(key, bytes, size, &info, nullptr, 0, bytes, size, &done, 0);
  }
};

GcmKey::GcmKey(const Key& key) : state_(std::make_unique<State>()) {
  check(::BCryptGenerateSymmetricKey(providers().aes_gcm.get(), &state_->key, nullptr, 0,
                                     const_cast<PUCHAR>(key.data()),
                                     static_cast<ULONG>(key.size()), 0),
        "BCryptGenerateSymmetricKey");
}

GcmKey::~GcmKey() { ::BCryptDestroyKey(state_->key); }

Tag GcmKey::seal(const Nonce& nonce, std::span<const std::uint8_t> aad,
                 std::span<std::uint8_t> data) {
  Tag tag{};
  check(state_->call(true, nonce, aad, data, tag), "BCryptEncrypt");
  return tag;
}

bool GcmKey::open(const Nonce& nonce, std::span<const std::uint8_t> aad,
                  std::span<std::uint8_t> data, const Tag& tag) {
  Tag expected = tag;
  const NTSTATUS status = state_->call(false, nonce, aad, data, expected);
  if (status == kAuthTagMismatch) return false;
  check(status, "BCryptDecrypt");
  return true;
}

}  // namespace tarvik::crypto
