// The encrypted kind of archive: the plain format with the data of every file encrypted, made
// only on request. The byte layout is fixed in docs/encrypted-format.md; what differs from a
// plain archive:
//
//   header        version text "KZV A1.0" (a plain reader refuses it as another version),
//                 then after the source folder the encryption block:
//                 "K" cipher (10) iterations (10) salt (24) key check (24)
//   file record   compressed data C = the zlib stream cut into segments of 64 KiB (the last
//                 one shorter, or empty when the stream is), each AES-256-GCM encrypted as a
//                 message of its own and followed by its 16-byte tag
//   tail          the password record of an archive without password ("K*)" and the coded
//                 time): the password is never stored in any form
//
// Names, sizes, dates and the folder tree stay readable. The key is PBKDF2-HMAC-SHA256 of the
// password (UTF-8, trimmed) and the salt; segment k of file n (files 1, 2, ... in record
// order) is encrypted under a nonce of its own that also marks the last segment, so that a
// cut, reordered or moved segment fails authentication; the key check is the tag of nothing
// under the nonce of zeros.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
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

// Plain bytes of a segment but the last.
inline constexpr std::size_t kSegmentBytes = 64 * 1024;

// The nonce of segment k of file n (n >= 1): k as 4 bytes, most significant first, with its
// top bit set in the file's last segment, then n as 8 bytes, most significant first. The key
// check's nonce is 12 zero bytes.
std::array<std::uint8_t, 12> segment_nonce(std::uint64_t n, std::uint32_t k, bool last);
std::array<std::uint8_t, 12> key_check_nonce();
// Segments of a stream of `plain` bytes (one when it is empty), and its size with their tags.
std::uint64_t segment_count(std::uint64_t plain);
std::uint64_t sealed_size(std::uint64_t plain);
// The stream's size for a compressed size C as stored; nullopt when no stream gives C (a
// last segment that would hold no byte while others come before it, C below one tag).
std::optional<std::uint64_t> plain_size(std::uint64_t sealed);
// The additional data of a file: its path as stored, a NUL, its size as decimal text.
std::string file_aad(std::string_view stored_path, std::uint64_t size);

}  // namespace tarvik::format
