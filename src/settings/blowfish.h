// The 64-bit block cipher with its key schedule, and the hex-text decipher of the
// credential store's values (plus its encipher counterpart for the store editor).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// P-array, then S-boxes 0 to 3: 4168 bytes of key-dependent state.
struct BlowfishContext {
  std::uint32_t p[18];
  std::uint32_t s[4][256];
};
static_assert(sizeof(BlowfishContext) == 4168, "the context is exactly the cipher's tables");

// Standard key schedule; the key bytes are used cyclically (an empty key leaves the
// initial P-array as it is).
void blowfish_key_setup(BlowfishContext& context, const std::uint8_t* key, std::size_t key_length);
std::uint32_t blowfish_f(const BlowfishContext& context, std::uint32_t x);
void blowfish_encrypt_block(const BlowfishContext& context, std::uint32_t& left,
                            std::uint32_t& right);
void blowfish_decrypt_block(const BlowfishContext& context, std::uint32_t& left,
                            std::uint32_t& right);

// Writes count / 2 bytes from pairs of hex digits (upper-case A-F; any other
// character decodes to its code minus '0', unchecked). Reads at most text.size().
void hex_to_bytes(std::string_view text, std::size_t count, std::uint8_t* output);

// Deciphers block by block: `output` becomes 8 bytes per 16 digits (started) plus one
// zero byte; read as a text it ends at its first zero byte. `context` is all zero
// afterwards. Returns 1.
std::int32_t decipher_hex(BlowfishContext& context, std::string_view cipher_text,
                          std::string& output, std::string_view key);

// The inverse of decipher_hex: `plain` padded with zero bytes to whole 8-byte
// blocks, written as upper-case hex. `context` is all zero afterwards.
std::string encipher_hex(BlowfishContext& context, std::string_view plain, std::string_view key);

// Sets every byte of the context to zero in a way the compiler keeps.
void blowfish_clear(BlowfishContext& context);
