// The encrypted kind of archive: the plain format with the data of every file encrypted, made
// only on request. The byte layout is fixed in docs/encrypted-format.md; what differs from a
// plain archive:
//
//   header        version text "KZV A1.0" (a plain reader refuses it as another version),
//                 then after the source folder the encryption block:
//                 "K" cipher (10) iterations (10) salt (24) key check (24)
//   file record   compressed data C = AES-256-GCM ciphertext of the zlib stream, then its
//                 16-byte tag (C is the zlib stream's length + 16)
//   tail          the password record of an archive without password ("K*)" and the coded
//                 time): the password is never stored in any form
//
// Names, sizes, dates and the folder tree stay readable. The key is PBKDF2-HMAC-SHA256 of the
// password (UTF-8, trimmed) and the salt; file n (1, 2, ... in record order) is encrypted
// under the nonce n, the key check is the tag of nothing under the nonce 0.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvik::format {

class FieldReader;

inline constexpr std::string_view kEncryptedVersionText = "KZV A1.0";
inline constexpr char kEncryptionTag = 'K';
inline constexpr std::string_view kCipherName = "AES256GCM";
inline constexpr std::size_t kCipherWidth = 10;
inline constexpr std::size_t kIterationsWidth = 10;
inline constexpr std::size_t kSaltBytes = 16;
inline constexpr std::size_t kKeyCheckBytes = 16;
inline constexpr std::size_t kCodedSaltWidth = 24;      // base64 of 16 bytes
inline constexpr std::size_t kCodedKeyCheckWidth = 24;  // base64 of 16 bytes
// Bytes of the block before the key check, which the key check authenticates.
inline constexpr std::size_t kEncryptionParamsBytes =
    1 + kCipherWidth + kIterationsWidth + kCodedSaltWidth;                        // 45
inline constexpr std::size_t kEncryptionBlockBytes = kEncryptionParamsBytes + kCodedKeyCheckWidth;  // 69

// What the packer writes, and the most a reader accepts (a bound on the time a damaged or
// hostile count can cost).
inline constexpr std::uint32_t kKeyIterations = 600'000;
inline constexpr std::uint32_t kMaxKeyIterations = 10'000'000;
// Bytes the authentication adds to a file's compressed data.
inline constexpr std::size_t kAuthTagBytes = 16;

// The longest password of each kind, in characters.
inline constexpr std::size_t kMaxEncryptionPasswordChars = 128;

using Salt = std::array<std::uint8_t, kSaltBytes>;
using KeyCheck = std::array<std::uint8_t, kKeyCheckBytes>;

struct Encryption {
  std::uint32_t iterations = kKeyIterations;
  Salt salt{};
  KeyCheck key_check{};
  bool operator==(const Encryption&) const = default;
};

// True for the version text of an encrypted archive.
bool is_encrypted_version(std::string_view version_text);

// The header of an encrypted archive without its block (version "KZV A1.0").
std::string encrypted_header_bytes(std::string_view source_folder);
// The block's first 45 bytes: tag, cipher, iterations, salt. The key check authenticates
// exactly these bytes.
std::string encryption_params_bytes(std::uint32_t iterations, const Salt& salt);
// The whole 69-byte block.
std::string encryption_block_bytes(const Encryption& encryption);
// Reads the block. throws FormatError: a wrong tag or cipher, a count outside 1 to
// kMaxKeyIterations, a salt or check that does not decode to 16 bytes.
Encryption read_encryption_block(FieldReader& reader);

// The nonce of file n (n >= 1), or of the key check (n = 0): four zero bytes, then n as 8
// bytes, most significant first.
std::array<std::uint8_t, 12> nonce_for(std::uint64_t n);
// The additional data of a file: its path as stored, a NUL, its size as decimal text.
std::string file_aad(std::string_view stored_path, std::uint64_t size);

}  // namespace tarvik::format
