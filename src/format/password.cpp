#include "format/password.h"

#include <chrono>
#include <random>

#include "format/base64.h"
#include "format/fields.h"
#include "format/layout.h"

namespace tarvik::format {

namespace {
constexpr char kZeroChar = '`';

char uu_char(unsigned v) { return v == 0 ? kZeroChar : static_cast<char>(0x20 + v); }

std::optional<unsigned> uu_value(char c) {
  if (c == ' ' || c == kZeroChar) return 0u;
  if (c > 0x20 && c < 0x60) return static_cast<unsigned>(c - 0x20);
  return std::nullopt;
}
}  // namespace

std::string uuencode_line(std::string_view bytes) {
  std::string line(1, uu_char(static_cast<unsigned>(bytes.size()) & 63));
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    unsigned b0 = static_cast<unsigned char>(bytes[i]);
    unsigned b1 = n > 1 ? static_cast<unsigned char>(bytes[i + 1]) : 0;
    unsigned b2 = n > 2 ? static_cast<unsigned char>(bytes[i + 2]) : 0;
    line += uu_char(b0 >> 2);
    line += uu_char(((b0 & 3) << 4) | (b1 >> 4));
    line += n > 1 ? uu_char(((b1 & 15) << 2) | (b2 >> 6)) : kZeroChar;
    line += n > 2 ? uu_char(b2 & 63) : kZeroChar;
  }
  return line;
}

std::optional<std::string> uudecode_line(std::string_view line) {
  if (line.empty()) return std::nullopt;
  auto count = uu_value(line[0]);
  if (!count) return std::nullopt;
  std::string out;
  std::size_t pos = 1;
  while (out.size() < *count) {
    if (pos + 4 > line.size()) return std::nullopt;
    unsigned v[4];
    for (int k = 0; k < 4; ++k) {
      auto value = uu_value(line[pos + k]);
      if (!value) return std::nullopt;
      v[k] = *value;
    }
    pos += 4;
    char bytes[3] = {static_cast<char>((v[0] << 2) | (v[1] >> 4)),
                     static_cast<char>(((v[1] & 15) << 4) | (v[2] >> 2)),
                     static_cast<char>(((v[2] & 3) << 6) | v[3])};
    for (char b : bytes)
      if (out.size() < *count) out += b;
  }
  return out;
}

std::string code_text(std::string_view source, char r1, char r2) {
  std::string u = uuencode_line(base64_encode(source));
  std::string t;
  t += u[0];
  t += r1;
  t += r2;
  t.append(u, 1);
  return std::string(trim(t));
}

std::optional<std::string> decode_text(std::string_view coded) {
  if (coded.size() < 3) return std::nullopt;
  std::string rest;
  rest += coded[0];
  rest.append(coded.substr(3));
  auto b = uudecode_line(trim(rest));
  if (!b) return std::nullopt;
  auto p = base64_decode(*b);
  if (!p) return std::nullopt;
  return std::string(trim(*p));
}

std::optional<std::string> stored_password(std::string_view coded_field) {
  auto password = decode_text(field_text(coded_field));
  if (!password || password->empty() || password->size() > kMaxPasswordChars) return std::nullopt;
  return password;
}

std::string password_record(std::string_view password, std::string_view time_text, char r1,
                            char r2) {
  std::string_view pw = trim(password);
  bool has_password = !pw.empty();
  std::string record = fixed_field(has_password ? kPasswordTag : kNoPasswordTag, kPasswordTagWidth);
  record += fixed_field(code_text(has_password ? pw : time_text, r1, r2), kPasswordTextWidth);
  return record;
}

std::pair<char, char> pick_random_pair() {
  auto seed = std::chrono::high_resolution_clock::now().time_since_epoch().count();
  std::mt19937 generator(static_cast<std::mt19937::result_type>(seed));
  std::uniform_int_distribution<std::size_t> pick(0, kRandomAlphabet.size() - 1);
  char r1 = kRandomAlphabet[pick(generator)];
  char r2 = kRandomAlphabet[pick(generator)];
  return {r1, r2};
}

}  // namespace tarvik::format
