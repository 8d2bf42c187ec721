// The 64-bit block cipher (16 rounds, P-array and four S-boxes) and the hex-text
// decipher/encipher of credential values, block by block without chaining.
#include "settings/blowfish.h"

#include <cstring>
#include <utility>

#include "settings/blowfish_tables.h"

namespace {

constexpr std::size_t kBlockDigits = 16;
constexpr std::size_t kBlockBytes = 8;

// Each half is stored least significant byte first.
std::uint32_t half_from_bytes(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void half_to_bytes(std::uint32_t half, std::uint8_t* bytes) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(half >> (8 * i));
}

std::uint8_t digit_value(char c) {
  unsigned char code = static_cast<unsigned char>(c);
  if (code >= 'A' && code <= 'F') return static_cast<std::uint8_t>(code - 55);
  return static_cast<std::uint8_t>(code - 48);
}

void clear_bytes(void* data, std::size_t size) {
  volatile std::uint8_t* bytes = static_cast<volatile std::uint8_t*>(data);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = 0;
}

void key_setup_from_text(BlowfishContext& context, std::string_view key) {
  blowfish_key_setup(context, reinterpret_cast<const std::uint8_t*>(key.data()), key.size());
}

// The sixteen rounds and the final whitening, with the P-array read from `first` in
// steps of `step`: forwards to encipher, backwards to decipher.
void blowfish_rounds(const BlowfishContext& context, std::uint32_t& left, std::uint32_t& right,
                     int first, int step) {
  std::uint32_t l = left;
  std::uint32_t r = right;
  int k = first;
  for (int round = 0; round < 16; ++round, k += step) {
    l ^= context.p[k];
    r ^= blowfish_f(context, l);
    std::swap(l, r);
  }
  std::swap(l, r);  // undo the last exchange
  r ^= context.p[k];
  l ^= context.p[k + step];
  left = l;
  right = r;
}

}  // namespace

void blowfish_clear(BlowfishContext& context) {
  clear_bytes(&context, sizeof context);
}

std::uint32_t blowfish_f(const BlowfishContext& context, std::uint32_t x) {
  std::uint32_t a = x >> 24;
  std::uint32_t b = (x >> 16) & 0xFF;
  std::uint32_t c = (x >> 8) & 0xFF;
  std::uint32_t d = x & 0xFF;
  return ((context.s[0][a] + context.s[1][b]) ^ context.s[2][c]) + context.s[3][d];
}

void blowfish_encrypt_block(const BlowfishContext& context, std::uint32_t& left,
                            std::uint32_t& right) {
  blowfish_rounds(context, left, right, 0, 1);
}

void blowfish_decrypt_block(const BlowfishContext& context, std::uint32_t& left,
                            std::uint32_t& right) {
  blowfish_rounds(context, left, right, 17, -1);
}

void blowfish_key_setup(BlowfishContext& context, const std::uint8_t* key, std::size_t key_length) {
  std::memcpy(context.s, kBlowfishInitialS, sizeof context.s);
  std::memcpy(context.p, kBlowfishInitialP, sizeof context.p);
  if (key_length > 0) {
    std::size_t position = 0;
    for (std::uint32_t& word : context.p) {
      std::uint32_t data = 0;
      for (int i = 0; i < 4; ++i) {
        data = data << 8 | key[position];
        position = (position + 1) % key_length;
      }
      word ^= data;
    }
  }
  std::uint32_t l = 0;
  std::uint32_t r = 0;
  for (int i = 0; i < 18; i += 2) {
    blowfish_encrypt_block(context, l, r);
    context.p[i] = l;
    context.p[i + 1] = r;
  }
  for (auto& box : context.s) {
    for (int i = 0; i < 256; i += 2) {
      blowfish_encrypt_block(context, l, r);
      box[i] = l;
      box[i + 1] = r;
    }
  }
}

void hex_to_bytes(std::string_view text, std::size_t count, std::uint8_t* output) {
  if (count > text.size()) count = text.size();
  for (std::size_t i = 0; i + 1 < count; i += 2) {
    output[i / 2] = static_cast<std::uint8_t>(digit_value(text[i]) * 16 + digit_value(text[i + 1]));
  }
}

std::int32_t decipher_hex(BlowfishContext& context, std::string_view cipher_text,
                          std::string& output, std::string_view key) {
  key_setup_from_text(context, key);
  std::size_t blocks = (cipher_text.size() + kBlockDigits - 1) / kBlockDigits;
  output.assign(blocks * kBlockBytes + 1, '\0');
  for (std::size_t offset = 0; offset < cipher_text.size(); offset += kBlockDigits) {
    // A partial last block must not read past the end of the text: its missing
    // digits count as '0'.
    char digits[kBlockDigits];
    std::memset(digits, '0', sizeof digits);
    std::string_view part = cipher_text.substr(offset, kBlockDigits);
    std::memcpy(digits, part.data(), part.size());
    std::uint8_t bytes[kBlockBytes];
    hex_to_bytes(std::string_view(digits, kBlockDigits), kBlockDigits, bytes);
    std::uint32_t l = half_from_bytes(bytes);
    std::uint32_t r = half_from_bytes(bytes + 4);
    blowfish_decrypt_block(context, l, r);
    half_to_bytes(l, bytes);
    half_to_bytes(r, bytes + 4);
    std::memcpy(output.data() + offset / 2, bytes, kBlockBytes);
    clear_bytes(bytes, sizeof bytes);
  }
  blowfish_clear(context);
  return 1;
}

std::string encipher_hex(BlowfishContext& context, std::string_view plain, std::string_view key) {
  static const char kDigits[] = "0123456789ABCDEF";
  key_setup_from_text(context, key);
  std::string hex;
  for (std::size_t offset = 0; offset < plain.size(); offset += kBlockBytes) {
    std::uint8_t bytes[kBlockBytes] = {};
    std::string_view part = plain.substr(offset, kBlockBytes);
    std::memcpy(bytes, part.data(), part.size());
    std::uint32_t l = half_from_bytes(bytes);
    std::uint32_t r = half_from_bytes(bytes + 4);
    blowfish_encrypt_block(context, l, r);
    half_to_bytes(l, bytes);
    half_to_bytes(r, bytes + 4);
    for (std::uint8_t byte : bytes) {
      hex.push_back(kDigits[byte >> 4]);
      hex.push_back(kDigits[byte & 0x0F]);
    }
  }
  blowfish_clear(context);
  return hex;
}
