// The cryptography from the system's CNG (bcrypt.dll): BCryptGenRandom, BCryptDeriveKeyPBKDF2
// over HMAC-SHA256, and AES-256-GCM through chained BCryptEncrypt/BCryptDecrypt calls.
//
// A chained GCM call takes whole 16-byte blocks only, yet update() must give out every byte
// it is fed. So the bytes of an unfinished block are kept in the stream and their output is
// taken from a side call on a copy of the chain (a duplicate of the key and of the chain's
// buffers, fed the block padded with zeros); the real chain takes the block once it is whole,
// or in the final call.
//
// Not every CNG continues a chain (Wine's restarts the counter at every call). Once per
// process a probe compares a chained run with a single call; where they differ, each stream
// keeps what it was fed and recomputes it with single calls (slow for long streams, always
// correct): no wrong output is ever given.
#include "platform/crypto.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "format/messages.h"

namespace tarvik::crypto {

namespace {

constexpr NTSTATUS kAuthTagMismatch = static_cast<NTSTATUS>(0xC000A002);
constexpr std::size_t kBlock = 16;
// The most one call takes: a whole number of blocks that fits in a ULONG with room.
constexpr std::size_t kMaxCall = std::size_t{1} << 30;

[[noreturn]] void fail(const char* call, NTSTATUS status) {
  throw CryptoError(msg::crypto_failed(call, static_cast<std::uint32_t>(status)));
}

void check(NTSTATUS status, const char* call) {
  if (!BCRYPT_SUCCESS(status)) fail(call, status);
}

ULONG ulong_size(std::size_t size, const char* call) {
  if (size > kMaxCall) fail(call, static_cast<NTSTATUS>(0xC000000D));  // STATUS_INVALID_PARAMETER
  return static_cast<ULONG>(size);
}

struct AlgorithmClose {
  using pointer = BCRYPT_ALG_HANDLE;
  void operator()(BCRYPT_ALG_HANDLE h) const { ::BCryptCloseAlgorithmProvider(h, 0); }
};
using Algorithm = std::unique_ptr<void, AlgorithmClose>;

struct KeyDestroy {
  using pointer = BCRYPT_KEY_HANDLE;
  void operator()(BCRYPT_KEY_HANDLE h) const { ::BCryptDestroyKey(h); }
};
using KeyHandle = std::unique_ptr<void, KeyDestroy>;

Algorithm open_algorithm(LPCWSTR id, ULONG flags) {
  BCRYPT_ALG_HANDLE handle = nullptr;
  check(::BCryptOpenAlgorithmProvider(&handle, id, nullptr, flags), "BCryptOpenAlgorithmProvider");
  return Algorithm(handle);
}

// CNG reads from the buffers it is given as PUCHAR; it never writes into an input.
PUCHAR input(const std::uint8_t* data) { return const_cast<PUCHAR>(data); }

// The algorithm handles, opened once per process (CNG lets several threads use them at once;
// each stream has its own key).
struct Providers {
  Algorithm aes;
  Algorithm hmac_sha256;
};

const Providers& providers() {
  static const Providers opened = [] {
    Providers p;
    p.aes = open_algorithm(BCRYPT_AES_ALGORITHM, 0);
    check(::BCryptSetProperty(p.aes.get(), BCRYPT_CHAINING_MODE,
                              reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_GCM)),
                              sizeof(BCRYPT_CHAIN_MODE_GCM), 0),
          "BCryptSetProperty(BCRYPT_CHAINING_MODE)");
    p.hmac_sha256 = open_algorithm(BCRYPT_SHA256_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
    return p;
  }();
  return opened;
}

KeyHandle make_key(const Key& key) {
  BCRYPT_KEY_HANDLE handle = nullptr;
  check(::BCryptGenerateSymmetricKey(providers().aes.get(), &handle, nullptr, 0,
                                     input(key.data()), static_cast<ULONG>(key.size()), 0),
        "BCryptGenerateSymmetricKey");
  return KeyHandle(handle);
}

// One call of GCM in the direction given (a decrypting call verifies the tag when final).
NTSTATUS gcm_call(bool encrypt, BCRYPT_KEY_HANDLE key, const std::uint8_t* in, std::size_t size,
                  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO* info, std::uint8_t* iv, ULONG iv_size,
                  std::uint8_t* out) {
  static std::uint8_t empty = 0;  // CNG wants a buffer even for no bytes
  ULONG done = 0;
  const ULONG n = static_cast<ULONG>(size);
  PUCHAR from = size ? input(in) : &empty;
  PUCHAR to = size ? out : &empty;
  return encrypt ? ::BCryptEncrypt(key, from, n, info, iv, iv_size, to, n, &done, 0)
                 : ::BCryptDecrypt(key, from, n, info, iv, iv_size, to, n, &done, 0);
}

const char* call_name(bool encrypt) { return encrypt ? "BCryptEncrypt" : "BCryptDecrypt"; }

// A GCM stream through chained calls, as update()/finish() see it.
class ChainedStream {
 public:
  ChainedStream(bool encrypt, const Key& key, const Nonce& nonce,
                std::span<const std::uint8_t> aad)
      : encrypt_(encrypt), key_(make_key(key)), nonce_(nonce), aad_(aad.begin(), aad.end()) {
    BCRYPT_INIT_AUTH_MODE_INFO(info_);
    info_.pbNonce = nonce_.data();
    info_.cbNonce = static_cast<ULONG>(nonce_.size());
    info_.pbAuthData = aad_.empty() ? nullptr : aad_.data();
    info_.cbAuthData = ulong_size(aad_.size(), call_name(encrypt));
    info_.pbTag = tag_.data();
    info_.cbTag = static_cast<ULONG>(tag_.size());
    info_.pbMacContext = mac_.data();
    info_.cbMacContext = static_cast<ULONG>(mac_.size());
    info_.dwFlags = BCRYPT_AUTH_MODE_CHAIN_CALLS_FLAG;
  }
  ChainedStream(const ChainedStream&) = delete;
  ChainedStream& operator=(const ChainedStream&) = delete;

  void update(std::span<const std::uint8_t> in, std::uint8_t* out) {
    if (in.empty()) return;
    std::uint8_t scratch[kBlock];
    if (pending_size_ > 0) {
      const std::size_t old = pending_size_;
      const std::size_t take = std::min(kBlock - old, in.size());
      std::memcpy(pending_ + old, in.data(), take);
      pending_size_ += take;
      if (pending_size_ == kBlock) {
        whole_blocks(pending_, kBlock, scratch);
        pending_size_ = 0;
      } else {
        side_call(scratch);
      }
      std::memcpy(out, scratch + old, take);
      in = in.subspan(take);
      out += take;
    }
    const std::size_t whole = in.size() / kBlock * kBlock;
    for (std::size_t at = 0; at < whole; at += kMaxCall)
      whole_blocks(in.data() + at, std::min(kMaxCall, whole - at), out + at);
    if (const std::size_t rest = in.size() - whole; rest > 0) {
      std::memcpy(pending_, in.data() + whole, rest);
      pending_size_ = rest;
      side_call(scratch);
      std::memcpy(out + whole, scratch, rest);
    }
  }

  // The final call with the bytes of the unfinished block (their output was given already).
  // Encrypting, the tag comes out into `tag`; decrypting, `tag` is checked.
  NTSTATUS finish(std::uint8_t* tag) {
    if (!encrypt_) std::memcpy(tag_.data(), tag, tag_.size());
    info_.dwFlags &= ~static_cast<ULONG>(BCRYPT_AUTH_MODE_CHAIN_CALLS_FLAG);
    std::uint8_t scratch[kBlock];
    const NTSTATUS status = gcm_call(encrypt_, key_.get(), pending_, pending_size_, &info_,
                                     iv_.data(), static_cast<ULONG>(iv_.size()), scratch);
    if (encrypt_ && BCRYPT_SUCCESS(status)) std::memcpy(tag, tag_.data(), tag_.size());
    return status;
  }

 private:
  void whole_blocks(const std::uint8_t* in, std::size_t size, std::uint8_t* out) {
    check(gcm_call(encrypt_, key_.get(), in, size, &info_, iv_.data(),
                   static_cast<ULONG>(iv_.size()), out),
          call_name(encrypt_));
    after_first_call();
  }

  // The additional data went in with the first call; later calls must not repeat them.
  void after_first_call() {
    info_.pbAuthData = nullptr;
    info_.cbAuthData = 0;
  }

  // The output of the unfinished block, from a copy of the chain that is then dropped.
  void side_call(std::uint8_t* out) {
    BCRYPT_KEY_HANDLE copy = nullptr;
    check(::BCryptDuplicateKey(key_.get(), &copy, nullptr, 0, 0), "BCryptDuplicateKey");
    const KeyHandle copy_key(copy);
    BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info = info_;
    std::array<std::uint8_t, kBlock> mac = mac_, iv = iv_, tag = tag_;
    info.pbMacContext = mac.data();
    info.pbTag = tag.data();
    std::uint8_t block[kBlock] = {};
    std::memcpy(block, pending_, pending_size_);
    check(gcm_call(encrypt_, copy_key.get(), block, kBlock, &info, iv.data(),
                   static_cast<ULONG>(iv.size()), out),
          call_name(encrypt_));
  }

  bool encrypt_;
  KeyHandle key_;
  Nonce nonce_;
  std::vector<std::uint8_t> aad_;
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info_;
  std::array<std::uint8_t, kTagBytes> tag_{};
  std::array<std::uint8_t, kBlock> mac_{};  // the MAC between chained calls
  std::array<std::uint8_t, kBlock> iv_{};   // the counter between chained calls
  std::uint8_t pending_[kBlock] = {};
  std::size_t pending_size_ = 0;
};

// A GCM stream where CNG does not chain: everything fed is kept, and each update recomputes
// the stream so far with a single encrypting call (the keystream is the same both ways).
class ReplayedStream {
 public:
  ReplayedStream(bool encrypt, const Key& key, const Nonce& nonce,
                 std::span<const std::uint8_t> aad)
      : encrypt_(encrypt), key_(make_key(key)), nonce_(nonce), aad_(aad.begin(), aad.end()) {}

  void update(std::span<const std::uint8_t> in, std::uint8_t* out) {
    if (in.empty()) return;
    seen_.insert(seen_.end(), in.begin(), in.end());
    std::vector<std::uint8_t> all(seen_.size());
    std::uint8_t tag[kTagBytes] = {};
    check(single_call(true, all.data(), tag), "BCryptEncrypt");
    std::memcpy(out, all.data() + (all.size() - in.size()), in.size());
  }

  NTSTATUS finish(std::uint8_t* tag) {
    std::vector<std::uint8_t> all(seen_.size());
    return single_call(encrypt_, all.data(), tag);
  }

 private:
  NTSTATUS single_call(bool encrypt, std::uint8_t* out, std::uint8_t* tag) {
    BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info;
    BCRYPT_INIT_AUTH_MODE_INFO(info);
    info.pbNonce = nonce_.data();
    info.cbNonce = static_cast<ULONG>(nonce_.size());
    info.pbAuthData = aad_.empty() ? nullptr : aad_.data();
    info.cbAuthData = ulong_size(aad_.size(), call_name(encrypt));
    info.pbTag = tag;
    info.cbTag = static_cast<ULONG>(kTagBytes);
    return gcm_call(encrypt, key_.get(), seen_.data(), ulong_size(seen_.size(), call_name(encrypt)),
                    &info, nullptr, 0, out);
  }

  bool encrypt_;
  KeyHandle key_;
  Nonce nonce_;
  std::vector<std::uint8_t> aad_;
  std::vector<std::uint8_t> seen_;
};

// Whether a chained run, fed in pieces that leave blocks unfinished, gives what a single call
// gives: the same bytes and the same tag.
bool chaining_works() {
  Key key{};
  Nonce nonce{};
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(i * 7 + 1);
  for (std::size_t i = 0; i < nonce.size(); ++i) nonce[i] = static_cast<std::uint8_t>(i + 3);
  const std::uint8_t aad[5] = {1, 2, 3, 4, 5};
  std::uint8_t plain[45];
  for (std::size_t i = 0; i < sizeof plain; ++i) plain[i] = static_cast<std::uint8_t>(i * 13);

  ReplayedStream single(true, key, nonce, aad);
  std::uint8_t expected[sizeof plain] = {};
  single.update(plain, expected);
  std::uint8_t expected_tag[kTagBytes] = {};
  check(single.finish(expected_tag), "BCryptEncrypt");

  try {
    ChainedStream chained(true, key, nonce, aad);
    std::uint8_t got[sizeof plain] = {};
    std::size_t at = 0;
    for (const std::size_t piece : {5, 20, 3, 17}) {
      chained.update(std::span(plain + at, piece), got + at);
      at += piece;
    }
    std::uint8_t got_tag[kTagBytes] = {};
    return BCRYPT_SUCCESS(chained.finish(got_tag)) && std::memcmp(got, expected, at) == 0 &&
           std::memcmp(got_tag, expected_tag, kTagBytes) == 0;
  } catch (const CryptoError&) {
    return false;
  }
}

bool chains() {
  static const bool works = chaining_works();
  return works;
}

}  // namespace

void random_bytes(std::span<std::uint8_t> out) {
  while (!out.empty()) {
    const std::size_t piece = std::min(out.size(), kMaxCall);
    check(::BCryptGenRandom(nullptr, out.data(), static_cast<ULONG>(piece),
                            BCRYPT_USE_SYSTEM_PREFERRED_RNG),
          "BCryptGenRandom");
    out = out.subspan(piece);
  }
}

void pbkdf2_sha256(std::string_view password, std::span<const std::uint8_t> salt,
                   std::uint32_t iterations, std::span<std::uint8_t> out) {
  constexpr const char* kCall = "BCryptDeriveKeyPBKDF2";
  static std::uint8_t empty = 0;  // CNG wants a buffer even for an empty password or salt
  PUCHAR pass = password.empty() ? &empty
                                 : reinterpret_cast<PUCHAR>(const_cast<char*>(password.data()));
  PUCHAR salt_bytes = salt.empty() ? &empty : input(salt.data());
  check(::BCryptDeriveKeyPBKDF2(providers().hmac_sha256.get(), pass,
                                ulong_size(password.size(), kCall), salt_bytes,
                                ulong_size(salt.size(), kCall), iterations, out.data(),
                                ulong_size(out.size(), kCall), 0),
        kCall);
}

// Either way of streaming, chosen once per process by the probe.
class GcmStream {
 public:
  GcmStream(bool encrypt, const Key& key, const Nonce& nonce, std::span<const std::uint8_t> aad) {
    if (chains())
      chained_ = std::make_unique<ChainedStream>(encrypt, key, nonce, aad);
    else
      replayed_ = std::make_unique<ReplayedStream>(encrypt, key, nonce, aad);
  }
  void update(std::span<const std::uint8_t> in, std::uint8_t* out) {
    chained_ ? chained_->update(in, out) : replayed_->update(in, out);
  }
  NTSTATUS finish(std::uint8_t* tag) {
    return chained_ ? chained_->finish(tag) : replayed_->finish(tag);
  }

 private:
  std::unique_ptr<ChainedStream> chained_;
  std::unique_ptr<ReplayedStream> replayed_;
};

struct GcmEncryptor::State {
  GcmStream stream;
};

GcmEncryptor::GcmEncryptor(const Key& key, const Nonce& nonce, std::span<const std::uint8_t> aad)
    : state_(std::make_unique<State>(State{GcmStream(true, key, nonce, aad)})) {}

GcmEncryptor::~GcmEncryptor() = default;

void GcmEncryptor::update(std::span<const std::uint8_t> in, std::uint8_t* out) {
  state_->stream.update(in, out);
}

Tag GcmEncryptor::finish() {
  Tag tag{};
  check(state_->stream.finish(tag.data()), "BCryptEncrypt");
  return tag;
}

struct GcmDecryptor::State {
  GcmStream stream;
};

GcmDecryptor::GcmDecryptor(const Key& key, const Nonce& nonce, std::span<const std::uint8_t> aad)
    : state_(std::make_unique<State>(State{GcmStream(false, key, nonce, aad)})) {}

GcmDecryptor::~GcmDecryptor() = default;

void GcmDecryptor::update(std::span<const std::uint8_t> in, std::uint8_t* out) {
  state_->stream.update(in, out);
}

bool GcmDecryptor::finish(const Tag& tag) {
  Tag expected = tag;
  const NTSTATUS status = state_->stream.finish(expected.data());
  if (status == kAuthTagMismatch) return false;
  check(status, "BCryptDecrypt");
  return true;
}

}  // namespace tarvik::crypto
