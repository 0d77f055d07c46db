// The cryptography of encrypted archives against published known answers: PBKDF2-HMAC-SHA256
// from RFC 7914 (section 11) and the widely used "password"/"salt" vector, AES-256-GCM from
// the GCM paper of McGrew and Viega (test cases 13 to 16), fed whole, in odd pieces and in
// place; and the random source.
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

// How a stream is cut into pieces: sizes taken in turn, again and again (none: whole).
struct Feeding {
  const char* name;
  std::vector<std::size_t> pieces;
  bool in_place;
};

const Feeding kFeedings[] = {
    {"whole", {}, false},
    {"whole in place", {}, true},
    {"1-byte pieces", {1}, false},
    {"7-byte pieces in place", {7}, true},
    {"17-byte pieces", {17}, false},
    {"pieces 1, 0, 7, 17, 3 in place", {1, 0, 7, 17, 3}, true},
    {"pieces 15, 2, 16, 31", {15, 2, 16, 31}, false},
};

// Runs `in` through `stream.update` as `feeding` cuts it.
template <class Stream>
Bytes feed(Stream& stream, const Bytes& in, const Feeding& feeding) {
  Bytes buffer = in;  // in place: input and output are this one buffer
  Bytes separate(in.size());
  std::uint8_t* const out = feeding.in_place ? buffer.data() : separate.data();
  std::size_t at = 0;
  for (std::size_t turn = 0; at < in.size(); ++turn) {
    const std::size_t size =
        feeding.pieces.empty() ? in.size()
                               : std::min(feeding.pieces[turn % feeding.pieces.size()],
                                          in.size() - at);
    stream.update(std::span(buffer.data() + at, size), out + at);
    at += size;
  }
  return feeding.in_place ? buffer : separate;
}

TEST(CryptoGcm, KnownAnswersFedWholeInPiecesAndInPlace) {
  for (const GcmCase& c : kGcmCases) {
    const Key key = array_from_hex<kKeyBytes>(c.key);
    const Nonce nonce = array_from_hex<kNonceBytes>(c.nonce);
    const Bytes aad = from_hex(c.aad), plain = from_hex(c.plain);
    for (const Feeding& feeding : kFeedings) {
      SCOPED_TRACE(std::string(c.name) + ", " + feeding.name);
      GcmEncryptor encryptor(key, nonce, aad);
      const Bytes cipher = feed(encryptor, plain, feeding);
      EXPECT_EQ(to_hex(cipher), c.cipher);
      EXPECT_EQ(to_hex(encryptor.finish()), c.tag);

      GcmDecryptor decryptor(key, nonce, aad);
      EXPECT_EQ(to_hex(feed(decryptor, from_hex(c.cipher), feeding)), c.plain);
      EXPECT_TRUE(decryptor.finish(array_from_hex<kTagBytes>(c.tag)));
    }
  }
}

TEST(CryptoGcm, AnyChangeFailsTheTag) {
  const Feeding& pieces = kFeedings[5];
  for (const GcmCase& c : kGcmCases) {
    const Key key = array_from_hex<kKeyBytes>(c.key);
    const Nonce nonce = array_from_hex<kNonceBytes>(c.nonce);
    const Bytes aad = from_hex(c.aad), cipher = from_hex(c.cipher);
    const Tag tag = array_from_hex<kTagBytes>(c.tag);
    struct Change {
      const char* name;
      Bytes aad;
      Bytes cipher;
      Tag tag;
    };
    std::vector<Change> changes;
    for (const std::size_t at : {std::size_t{0}, cipher.size() / 2, cipher.size() - 1}) {
      if (cipher.empty()) break;
      Bytes changed = cipher;
      changed[at] ^= 0x01;
      changes.push_back({"a ciphertext byte", aad, changed, tag});
    }
    for (const std::size_t at : {std::size_t{0}, kTagBytes - 1}) {
      Tag changed = tag;
      changed[at] ^= 0x80;
      changes.push_back({"a tag byte", aad, cipher, changed});
    }
    Bytes longer_aad = aad;
    longer_aad.push_back(0);
    changes.push_back({"one more byte of additional data", longer_aad, cipher, tag});
    if (!aad.empty()) {
      Bytes changed = aad;
      changed.back() ^= 0x01;
      changes.push_back({"a byte of additional data", changed, cipher, tag});
      changes.push_back({"no additional data", {}, cipher, tag});
    }
    for (const Change& change : changes) {
      SCOPED_TRACE(std::string(c.name) + ": " + change.name);
      GcmDecryptor whole(key, nonce, change.aad);
      feed(whole, change.cipher, kFeedings[0]);
      EXPECT_FALSE(whole.finish(change.tag));
      GcmDecryptor in_pieces(key, nonce, change.aad);
      feed(in_pieces, change.cipher, pieces);
      EXPECT_FALSE(in_pieces.finish(change.tag));
    }
  }
}

// A stream of many blocks: every way of cutting it gives the same bytes and tag, and they
// decrypt back.
TEST(CryptoGcm, LongStreamIsTheSameHoweverCut) {
  const Key key = array_from_hex<kKeyBytes>(kKey);
  const Nonce nonce = array_from_hex<kNonceBytes>("cafebabefacedbaddecaf888");
  const Bytes aad = from_hex("feedfacedeadbeef");
  Bytes plain(5000);
  for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>(i * 31 + 7);

  GcmEncryptor reference(key, nonce, aad);
  const Bytes cipher = feed(reference, plain, kFeedings[0]);
  const Tag tag = reference.finish();
  const Feeding feedings[] = {{"pieces 1, 7, 17, 4096", {1, 7, 17, 4096}, false},
                              {"pieces 4096, 3 in place", {4096, 3}, true},
                              {"pieces 160, 16", {160, 16}, false}};
  for (const Feeding& feeding : feedings) {
    SCOPED_TRACE(feeding.name);
    GcmEncryptor encryptor(key, nonce, aad);
    const Bytes got = feed(encryptor, plain, feeding);
    const auto differs = std::mismatch(got.begin(), got.end(), cipher.begin());
    EXPECT_EQ(differs.first, got.end()) << "first difference at byte " << differs.first - got.begin();
    EXPECT_EQ(encryptor.finish(), tag);
    GcmDecryptor decryptor(key, nonce, aad);
    EXPECT_TRUE(feed(decryptor, cipher, feeding) == plain);
    EXPECT_TRUE(decryptor.finish(tag));
  }
}

// Several threads at once, each with its own objects (the first use may be any of them).
TEST(CryptoGcm, ThreadsWorkAtOnce) {
  const GcmCase& c = kGcmCases[3];
  const Key key = array_from_hex<kKeyBytes>(c.key);
  const Nonce nonce = array_from_hex<kNonceBytes>(c.nonce);
  const Bytes aad = from_hex(c.aad), plain = from_hex(c.plain);
  std::vector<std::string> results(4);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < results.size(); ++t) {
    threads.emplace_back([&, t] {
      std::string result;
      for (int round = 0; round < 20; ++round) {
        GcmEncryptor encryptor(key, nonce, aad);
        result = to_hex(feed(encryptor, plain, kFeedings[2 + t]));
        result += to_hex(encryptor.finish());
      }
      results[t] = result;
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const std::string& result : results) EXPECT_EQ(result, std::string(c.cipher) + c.tag);
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
