#include "format/encryption.h"

#include <algorithm>

#include "format/base64.h"
#include "format/fields.h"
#include "format/layout.h"
#include "format/messages.h"
#include "format/records.h"

namespace tarvik::format {

namespace {

template <std::size_t N>
std::array<std::uint8_t, N> decode_bytes(std::string_view coded, std::string_view what) {
  auto bytes = base64_decode(coded);
  if (!bytes || bytes->size() != N) throw FormatError(msg::field_not_readable(what));
  std::array<std::uint8_t, N> out{};
  std::copy(bytes->begin(), bytes->end(), out.begin());
  return out;
}

template <std::size_t N>
std::string encode_bytes(const std::array<std::uint8_t, N>& bytes) {
  return base64_encode(std::string_view(reinterpret_cast<const char*>(bytes.data()), N));
}

}  // namespace

bool is_encrypted_version(std::string_view text) {
  return text.size() >= 4 && text.substr(0, 3) == "KZV" &&
         trim(text.substr(4, 4)) == kEncryptedVersionText.substr(4);
}

std::string encrypted_header_bytes(std::string_view source_folder) {
  std::string bytes = header_bytes(source_folder);
  bytes.replace(0, kVersionWidth, fixed_field(kEncryptedVersionText, kVersionWidth));
  return bytes;
}

std::string encryption_params_bytes(std::uint32_t iterations, const Salt& salt) {
  std::string bytes(1, kEncryptionTag);
  bytes += fixed_field(kCipherName, kCipherWidth);
  bytes += fixed_field(decimal(iterations), kIterationsWidth);
  bytes += encode_bytes(salt);
  return bytes;
}

std::string encryption_block_bytes(const Encryption& encryption) {
  return encryption_params_bytes(encryption.iterations, encryption.salt) +
         encode_bytes(encryption.key_check);
}

Encryption read_encryption_block(FieldReader& reader) {
  if (reader.raw(1)[0] != kEncryptionTag || reader.text(kCipherWidth) != kCipherName)
    throw FormatError(std::string(msg::kUnknownCipher));
  Encryption encryption;
  const auto iterations = reader.number(kIterationsWidth, msg::kFieldKeyIterations);
  if (iterations == 0 || iterations > kMaxKeyIterations)
    throw FormatError(msg::field_not_readable(msg::kFieldKeyIterations));
  encryption.iterations = static_cast<std::uint32_t>(iterations);
  encryption.salt = decode_bytes<kSaltBytes>(reader.raw(kCodedSaltWidth), msg::kFieldSalt);
  encryption.key_check =
      decode_bytes<kKeyCheckBytes>(reader.raw(kCodedKeyCheckWidth), msg::kFieldKeyCheck);
  return encryption;
}

std::array<std::uint8_t, 12> segment_nonce(std::uint64_t n, std::uint32_t k, bool last) {
  std::array<std::uint8_t, 12> nonce{};
  const std::uint32_t marked = last ? (k | 0x80000000u) : k;
  for (int i = 0; i < 4; ++i) nonce[3 - i] = static_cast<std::uint8_t>(marked >> (8 * i));
  for (int i = 0; i < 8; ++i) nonce[11 - i] = static_cast<std::uint8_t>(n >> (8 * i));
  return nonce;
}

std::array<std::uint8_t, 12> key_check_nonce() { return {}; }

std::uint64_t segment_count(std::uint64_t plain) {
  return plain == 0 ? 1 : (plain + kSegmentBytes - 1) / kSegmentBytes;
}

std::uint64_t sealed_size(std::uint64_t plain) {
  return plain + kAuthTagBytes * segment_count(plain);
}

std::optional<std::uint64_t> plain_size(std::uint64_t sealed) {
  constexpr std::uint64_t kWhole = kSegmentBytes + kAuthTagBytes;
  if (sealed < kAuthTagBytes) return std::nullopt;
  const std::uint64_t segments = (sealed + kWhole - 1) / kWhole;
  const std::uint64_t plain = sealed - segments * kAuthTagBytes;
  if (segments > 1 && plain <= (segments - 1) * kSegmentBytes) return std::nullopt;
  if (segments > 0x7FFFFFFFu) return std::nullopt;
  return plain;
}

std::string file_aad(std::string_view stored_path, std::uint64_t size) {
  std::string aad(stored_path);
  aad += '\0';
  aad += decimal(size);
  return aad;
}

}  // namespace tarvik::format
