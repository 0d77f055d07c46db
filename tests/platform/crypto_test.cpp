// The cryptography of encrypted archives against published known answers: PBKDF2-HMAC-SHA256
// from RFC 7914 (section 11) and the widely used "password"/"salt" vector, AES-256-GCM from
// the GCM paper of McGrew and Viega (test cases 13 to 16), each sealed and opened in place
// as one message; and the random source.
#include "platform/crypto.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace tarvik::crypto {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes from_hex(std::string_view hex) {
  Bytes bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  return bytes;
}

std::string to_hex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const std::uint8_t b : bytes) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
}

template <std::size_t N>
std::array<std::uint8_t, N> array_from_hex(std::string_view hex) {
  const Bytes bytes = from_hex(hex);
  std::array<std::uint8_t, N> a{};
  EXPECT_EQ(bytes.size(), N) << hex;
  std::copy_n(bytes.begin(), std::min(N, bytes.size()), a.begin());
  return a;
}

struct Pbkdf2Case {
  const char* password;
  const char* salt;
  std::uint32_t iterations;
  const char* derived;
};

TEST(CryptoPbkdf2, KnownAnswers) {
  const Pbkdf2Case cases[] = {
      // RFC 7914, section 11.
      {"passwd", "salt", 1,
       "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
       "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783"},
      {"Password", "NaCl", 80000,
       "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
       "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d"},
      // The RFC 6070 inputs under HMAC-SHA256, a key's length of output.
      {"password", "salt", 4096,
       "c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a"},
  };
  for (const Pbkdf2Case& c : cases) {
    const std::string_view salt = c.salt;
    const Bytes salt_bytes(salt.begin(), salt.end());
    Bytes out(std::string_view(c.derived).size() / 2);
    pbkdf2_sha256(c.password, salt_bytes, c.iterations, out);
    EXPECT_EQ(to_hex(out), c.derived) << c.password << " / " << c.salt << " / " << c.iterations;
  }
}

struct GcmCase {
  const char* name;
  const char* key;
  const char* nonce;
  const char* aad;
  const char* plain;
  const char* cipher;
  const char* tag;
};

constexpr const char* kZeroKey = "0000000000000000000000000000000000000000000000000000000000000000";
constexpr const char* kKey = "feffe9928665731c6d6a8f9467308308feffe9928665731c6d6a8f9467308308";

const GcmCase kGcmCases[] = {
    {"13: zero key, nothing", kZeroKey, "000000000000000000000000", "", "", "",
     "530f8afbc74536b9a963b4f1c4cb738b"},
    {"14: zero key, one zero block", kZeroKey, "000000000000000000000000", "",
     "00000000000000000000000000000000", "cea7403d4d606b6e074ec5d3baf39d18",
     "d0d1c8a799996bf0265b98b5d48ab919"},
    {"15: 64 bytes", kKey, "cafebabefacedbaddecaf888", "",
     "d9313225f88406e5a55909c5aff5269a86a7a9531534f7da2e4c303d8a318a72"
     "1c3c0c95956809532fcf0e2449a6b525b16aedf5aa0de657ba637b391aafd255",
     "522dc1f099567d07f47f37a32a84427d643a8cdcbfe5c0c97598a2bd2555d1aa"
     "8cb08e48590dbb3da7b08b1056828838c5f61e6393ba7a0abcc9f662898015ad",
     "b094dac5d93471bdec1a502270e3cc6c"},
    {"16: 60 bytes with additional data", kKey, "cafebabefacedbaddecaf888",
     "feedfacedeadbeeffeedfacedeadbeefabaddad2",
     "d9313225f88406e5a55909c5aff5269a86a7a9531534f7da2e4c303d8a318a72"
     "1c3c0c95956809532fcf0e2449a6b525b16aedf5aa0de657ba637b39",
     "522dc1f099567d07f47f37a32a84427d643a8cdcbfe5c0c97598a2bd2555d1aa"
     "8cb08e48590dbb3da7b08b1056828838c5f61e6393ba7a0abcc9f662",
     "76fc6ece0f4e1768cddf8853bb2d551b"},
};

Tag tag_of(const GcmCase& c) { return array_from_hex<kTagBytes>(c.tag); }

// Where two byte strings first differ, for a failure's message.
std::string first_difference(const Bytes& got, const Bytes& expected) {
  const std::size_t common = std::min(got.size(), expected.size());
  std::size_t at = 0;
  while (at < common && got[at] == expected[at]) ++at;
  return "sizes " + std::to_string(got.size()) + " and " + std::to_string(expected.size()) +
         ", first difference at byte " + std::to_string(at);
}

TEST(CryptoGcm, KnownAnswersSealedAndOpenedInPlace) {
  for (const GcmCase& c : kGcmCases) {
    SCOPED_TRACE(c.name);
    GcmKey key(array_from_hex<kKeyBytes>(c.key));
    const Nonce nonce = array_from_hex<kNonceBytes>(c.nonce);
    const Bytes aad = from_hex(c.aad);
    Bytes data = from_hex(c.plain);
    EXPECT_EQ(to_hex(key.seal(nonce, aad, data)), c.tag);
    EXPECT_EQ(to_hex(data), c.cipher);
    EXPECT_TRUE(key.open(nonce, aad, data, tag_of(c)));
    EXPECT_EQ(to_hex(data), c.plain);
  }
}

TEST(CryptoGcm, AnyChangeFailsTheTag) {
  for (const GcmCase& c : kGcmCases) {
    const Key key_bytes = array_from_hex<kKeyBytes>(c.key);
    const Nonce nonce = array_from_hex<kNonceBytes>(c.nonce);
    const Bytes aad = from_hex(c.aad), cipher = from_hex(c.cipher);
    const Tag tag = tag_of(c);
    struct Change {
      std::string name;
      Nonce nonce;
      Bytes aad;
      Bytes cipher;
      Tag tag;
    };
    std::vector<Change> changes;
    for (const std::size_t at : {std::size_t{0}, cipher.size() / 2, cipher.size() - 1}) {
      if (cipher.empty()) break;
      Bytes changed = cipher;
      changed[at] ^= 0x01;
      changes.push_back({"ciphertext byte " + std::to_string(at), nonce, aad, changed, tag});
    }
    for (const std::size_t at : {std::size_t{0}, kTagBytes - 1}) {
      Tag changed = tag;
      changed[at] ^= 0x80;
      changes.push_back({"tag byte " + std::to_string(at), nonce, aad, cipher, changed});
    }
    for (const std::size_t at : {std::size_t{0}, kNonceBytes - 1}) {
      Nonce changed = nonce;
      changed[at] ^= 0x01;
      changes.push_back({"nonce byte " + std::to_string(at), changed, aad, cipher, tag});
    }
    Bytes longer_aad = aad;
    longer_aad.push_back(0);
    changes.push_back({"one more byte of additional data", nonce, longer_aad, cipher, tag});
    if (!aad.empty()) {
      Bytes changed = aad;
      changed.back() ^= 0x01;
      changes.push_back({"a byte of additional data", nonce, changed, cipher, tag});
      changes.push_back({"no additional data", nonce, {}, cipher, tag});
    }
    // One key for every change: a refused message leaves the key fit for the next one.
    GcmKey key(key_bytes);
    for (Change& change : changes) {
      SCOPED_TRACE(std::string(c.name) + ": " + change.name);
      EXPECT_FALSE(key.open(change.nonce, change.aad, change.cipher, change.tag));
    }
    Bytes data = cipher;
    EXPECT_TRUE(key.open(nonce, aad, data, tag)) << c.name << ": the unchanged message after";
  }
}

// A stream cut into messages of several sizes (none, less than a block, whole blocks, many
// blocks), each under its own nonce: one key sealing and opening them in turn gives what a
// fresh key gives for each.
TEST(CryptoGcm, OneKeyForManyMessagesIsLikeFreshKeys) {
  const Key key_bytes = array_from_hex<kKeyBytes>(kKey);
  const Bytes aad = from_hex("feedfacedeadbeef");
  const std::size_t sizes[] = {5000, 0, 1, 17, 16, 64, 4099, 3};
  GcmKey reused(key_bytes);
  GcmKey opener(key_bytes);
  for (std::size_t i = 0; i < std::size(sizes); ++i) {
    SCOPED_TRACE("message " + std::to_string(i) + " of " + std::to_string(sizes[i]) + " bytes");
    Nonce nonce = array_from_hex<kNonceBytes>("cafebabefacedbaddecaf888");
    nonce.back() = static_cast<std::uint8_t>(i);
    Bytes plain(sizes[i]);
    for (std::size_t b = 0; b < plain.size(); ++b)
      plain[b] = static_cast<std::uint8_t>(b * 31 + i * 7 + 1);

    Bytes expected = plain;
    GcmKey fresh(key_bytes);
    const Tag expected_tag = fresh.seal(nonce, aad, expected);
    EXPECT_TRUE(plain.empty() || expected != plain) << "sealing changed nothing";

    Bytes data = plain;
    EXPECT_EQ(reused.seal(nonce, aad, data), expected_tag);
    EXPECT_TRUE(data == expected) << first_difference(data, expected);
    EXPECT_TRUE(opener.open(nonce, aad, data, expected_tag));
    EXPECT_TRUE(data == plain) << first_difference(data, plain);
  }
}

// Several threads at once, each with its own key (the first use may be any of them), each
// sealing and opening a message many times.
TEST(CryptoGcm, ThreadsWorkAtOnce) {
  const GcmCase& c = kGcmCases[3];
  const Nonce nonce = array_from_hex<kNonceBytes>(c.nonce);
  const Bytes aad = from_hex(c.aad), plain = from_hex(c.plain);
  std::vector<std::string> results(4);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < results.size(); ++t) {
    threads.emplace_back([&, t] {
      GcmKey key(array_from_hex<kKeyBytes>(c.key));
      std::string result;
      for (int round = 0; round < 20; ++round) {
        Bytes data = plain;
        const Tag tag = key.seal(nonce, aad, data);
        result = to_hex(data) + to_hex(tag);
        if (!key.open(nonce, aad, data, tag) || data != plain) result += " (did not open)";
      }
      results[t] = result;
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const std::string& result : results) EXPECT_EQ(result, std::string(c.cipher) + c.tag);
}

// An empty message with additional data: the tag covers the data alone, and still fails when
// they change.
TEST(CryptoGcm, EmptyMessage) {
  GcmKey key(array_from_hex<kKeyBytes>(kKey));
  const Nonce nonce = array_from_hex<kNonceBytes>("cafebabefacedbaddecaf888");
  const Bytes aad = from_hex("feedfacedeadbeef");
  Bytes none;
  const Tag tag = key.seal(nonce, aad, none);
  EXPECT_TRUE(none.empty());
  EXPECT_NE(tag, key.seal(nonce, {}, none));
  EXPECT_TRUE(key.open(nonce, aad, none, tag));
  EXPECT_FALSE(key.open(nonce, from_hex("feedfacedeadbeee"), none, tag));
}

TEST(CryptoRandom, TwoDrawsDifferAndAreNotZero) {
  Bytes first(32), second(32);
  random_bytes(first);
  random_bytes(second);
  EXPECT_NE(first, second);
  EXPECT_NE(first, Bytes(32));
  EXPECT_NE(second, Bytes(32));
  random_bytes({});  // nothing asked, nothing done
}

}  // namespace
}  // namespace tarvik::crypto
