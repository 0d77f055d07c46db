// The bytes of the encrypted kind's header block, its reader's refusals, the nonces and the
// additional data; and that a reader of the plain format refuses the encrypted version text.
#include <gtest/gtest.h>

#include "format/encryption.h"
#include "format/fields.h"
#include "format/records.h"
#include "platform/stream.h"

using namespace std::string_literals;
namespace f = tarvik::format;

namespace {

f::Encryption sample() {
  f::Encryption e;
  e.iterations = 600000;
  for (std::size_t i = 0; i < e.salt.size(); ++i) e.salt[i] = static_cast<std::uint8_t>(i);
  for (std::size_t i = 0; i < e.key_check.size(); ++i)
    e.key_check[i] = static_cast<std::uint8_t>(0xF0 + i);
  return e;
}

f::Encryption read_block(const std::string& bytes) {
  tarvik::MemorySource source(bytes);
  f::FieldReader reader(source, bytes.size());
  return f::read_encryption_block(reader);
}

}  // namespace

TEST(EncryptedFormat, HeaderAndBlockBytes) {
  const std::string header = f::encrypted_header_bytes("C:\\Work");
  EXPECT_EQ(header, "KZV A1.0\0 "s + header.substr(10, 24) + "001" + "7\0 "s + "C:\\Work");
  EXPECT_FALSE(f::version_ok(header.substr(0, 8)));  // a plain reader says: another version
  EXPECT_TRUE(f::is_encrypted_version(header.substr(0, 8)));
  EXPECT_FALSE(f::is_encrypted_version("KZV V1.0"));

  const std::string block = f::encryption_block_bytes(sample());
  ASSERT_EQ(block.size(), f::kEncryptionBlockBytes);
  EXPECT_EQ(block, "K"s + "AES256GCM\0"s + "600000\0   "s + "AAECAwQFBgcICQoLDA0ODw==" +
                       "8PHy8/T19vf4+fr7/P3+/w==");
  EXPECT_EQ(f::encryption_params_bytes(600000, sample().salt), block.substr(0, 45));
  EXPECT_EQ(read_block(block), sample());
}

TEST(EncryptedFormat, DamagedBlocksAreRefused) {
  const std::string good = f::encryption_block_bytes(sample());
  struct Case {
    const char* what;
    std::size_t at;
    std::string bytes;
  } cases[] = {
      {"tag", 0, "G"},
      {"cipher", 1, "AES128GCM\0"s},
      {"no count", 11, "x\0        "s},
      {"count 0", 11, "0\0        "s},
      {"count too large", 11, "4294967295"},
      {"salt not base64", 21, "!AECAwQFBgcICQoLDA0ODw=="},
      {"salt too short", 21, "AAECAwQFBgcICQoLDA0O    "},
      {"check not base64", 45, "8PHy8/T19vf4+fr7/P3+/w=!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string bytes = good;
    bytes.replace(c.at, c.bytes.size(), c.bytes);
    EXPECT_THROW(read_block(bytes), f::FormatError);
  }
  EXPECT_THROW(read_block(good.substr(0, 60)), f::FormatError);  // cut off
}

TEST(EncryptedFormat, NoncesAndAdditionalData) {
  using Nonce = std::array<std::uint8_t, 12>;
  EXPECT_EQ(f::key_check_nonce(), Nonce{});
  EXPECT_EQ(f::segment_nonce(1, 0, false), (Nonce{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(f::segment_nonce(1, 0, true), (Nonce{0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(f::segment_nonce(0x0102030405060708ull, 0x0A0B0C0D, false),
            (Nonce{0x0A, 0x0B, 0x0C, 0x0D, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(f::file_aad("C:\\Work\\a.txt", 5), "C:\\Work\\a.txt\0"s "5");
}

// Segments of 64 KiB, each with its tag: the stored size of a stream and back.
TEST(EncryptedFormat, SegmentSizes) {
  constexpr std::uint64_t S = f::kSegmentBytes;
  struct Case {
    std::uint64_t plain, segments, sealed;
  } cases[] = {
      {0, 1, 16}, {1, 1, 17}, {S - 1, 1, S + 15}, {S, 1, S + 16}, {S + 1, 2, S + 33},
      {2 * S, 2, 2 * S + 32}, {10 * S + 5, 11, 10 * S + 5 + 176},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.plain);
    EXPECT_EQ(f::segment_count(c.plain), c.segments);
    EXPECT_EQ(f::sealed_size(c.plain), c.sealed);
    EXPECT_EQ(f::plain_size(c.sealed), c.plain);
  }
  // Sizes no stream gives: shorter than a tag, or a last segment of nothing after others.
  for (std::uint64_t sealed : {std::uint64_t{0}, std::uint64_t{15}, S + 17, S + 32, 2 * S + 48})
    EXPECT_EQ(f::plain_size(sealed), std::nullopt) << sealed;
}
