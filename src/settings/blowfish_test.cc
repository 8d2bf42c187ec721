// Tests of the block cipher against the published ECB vectors, and of the hex-text
// decipher/encipher pair, including the clearing of the context.
#include "settings/blowfish.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "settings/blowfish_tables.h"

namespace {

struct Vector {
  const char* key;
  const char* plain;
  const char* cipher;
};

// The published ECB vectors (big-endian halves): key bytes, plain and cipher block.
const Vector kVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
    {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
    {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
    {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
    {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
    {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
    {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
    {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
    {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
    {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
    {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
    {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
    {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
    {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
    {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
    {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
    {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
    {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
    {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
    {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
    {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
    {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
    {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
    {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
};

std::string bytes_of(const char* hex) {
  std::string bytes(std::string_view(hex).size() / 2, '\0');
  hex_to_bytes(hex, std::string_view(hex).size(), reinterpret_cast<std::uint8_t*>(bytes.data()));
  return bytes;
}

std::uint32_t big_endian(const std::string& bytes, std::size_t at) {
  std::uint32_t word = 0;
  for (std::size_t i = 0; i < 4; ++i) word = word << 8 | static_cast<std::uint8_t>(bytes[at + i]);
  return word;
}

// Each 4-byte half turned around, as the store's text form holds the halves.
std::string reverse_halves(std::string text, std::size_t half_size) {
  for (std::size_t at = 0; at < text.size(); at += half_size) {
    for (std::size_t i = 0; i < half_size / 2; ++i)
      std::swap(text[at + i], text[at + half_size - 1 - i]);
  }
  return text;
}

// Reverses the hex digit pairs within each 8-digit half.
std::string reverse_hex_halves(const std::string& hex) {
  std::string out = hex;
  for (std::size_t at = 0; at < hex.size(); at += 8)
    for (std::size_t pair = 0; pair < 4; ++pair)
      out.replace(at + 2 * pair, 2, hex, at + 6 - 2 * pair, 2);
  return out;
}

bool all_zero(const BlowfishContext& context) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&context);
  return std::all_of(bytes, bytes + sizeof context, [](unsigned char b) { return b == 0; });
}

TEST(BlowfishTables, AnchorsOfPi) {
  EXPECT_EQ(kBlowfishInitialP[0], 0x243F6A88u);
  EXPECT_EQ(kBlowfishInitialP[17], 0x8979FB1Bu);
  EXPECT_EQ(kBlowfishInitialS[0][0], 0xD1310BA6u);
  EXPECT_EQ(kBlowfishInitialS[3][255], 0x3AC372E6u);
}

TEST(Blowfish, PublishedVectorsBlockByBlock) {
  for (const Vector& v : kVectors) {
    SCOPED_TRACE(v.key);
    std::string key = bytes_of(v.key);
    std::string plain = bytes_of(v.plain);
    std::string cipher = bytes_of(v.cipher);
    BlowfishContext context;
    blowfish_key_setup(context, reinterpret_cast<const std::uint8_t*>(key.data()), key.size());
    std::uint32_t l = big_endian(plain, 0);
    std::uint32_t r = big_endian(plain, 4);
    blowfish_encrypt_block(context, l, r);
    EXPECT_EQ(l, big_endian(cipher, 0));
    EXPECT_EQ(r, big_endian(cipher, 4));
    blowfish_decrypt_block(context, l, r);
    EXPECT_EQ(l, big_endian(plain, 0));
    EXPECT_EQ(r, big_endian(plain, 4));
  }
}

TEST(Blowfish, FunctionCombinesTheFourBoxes) {
  BlowfishContext context;
  blowfish_key_setup(context, reinterpret_cast<const std::uint8_t*>("K"), 1);
  std::uint32_t expected =
      ((context.s[0][0x12] + context.s[1][0x34]) ^ context.s[2][0x56]) + context.s[3][0x78];
  EXPECT_EQ(blowfish_f(context, 0x12345678u), expected);
}

TEST(DecipherHex, PublishedVectorsWithReversedHalves) {
  for (const Vector& v : kVectors) {
    std::string key = bytes_of(v.key);
    if (key.find('\0') != std::string::npos) continue;
    SCOPED_TRACE(v.key);
    std::string output;
    BlowfishContext context;
    EXPECT_EQ(decipher_hex(context, reverse_hex_halves(v.cipher), output, key), 1);
    ASSERT_EQ(output.size(), 9u);
    EXPECT_EQ(output.substr(0, 8), reverse_halves(bytes_of(v.plain), 4));
    EXPECT_EQ(output[8], '\0');
    EXPECT_TRUE(all_zero(context));
  }
}

TEST(DecipherHex, RoundTripsAndClearsTheContext) {
  BlowfishContext context;
  const std::string source =
      "Pa\xDF"
      "w0rd;with=every kind of text, \xE4\xD6 and more!";
  for (std::size_t length = 1; length <= 40; ++length) {
    std::string plain = source.substr(0, length);
    std::string hex = encipher_hex(context, plain, "KARVOLD");
    EXPECT_TRUE(all_zero(context));
    EXPECT_EQ(hex.size(), 16 * ((length + 7) / 8));
    EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    std::string output;
    decipher_hex(context, hex, output, "KARVOLD");
    EXPECT_TRUE(all_zero(context));
    ASSERT_EQ(output.size(), hex.size() / 2 + 1);
    EXPECT_EQ(output.substr(0, length), plain);
    EXPECT_EQ(output.find_first_not_of('\0', length), std::string::npos);
  }
}

TEST(DecipherHex, EmptyTextGivesOneZeroByte) {
  BlowfishContext context;
  std::memset(&context, 0x5A, sizeof context);
  std::string output = "stale";
  EXPECT_EQ(decipher_hex(context, "", output, "KARVOLD"), 1);
  EXPECT_EQ(output, std::string(1, '\0'));
  EXPECT_TRUE(all_zero(context));
  EXPECT_EQ(encipher_hex(context, "", "KARVOLD"), "");
}

TEST(DecipherHex, LowerCaseIsNotAHexDigit) {
  std::uint8_t upper = 0;
  std::uint8_t lower = 0;
  hex_to_bytes("A0", 2, &upper);
  hex_to_bytes("a0", 2, &lower);
  EXPECT_EQ(upper, 0xA0);
  EXPECT_EQ(lower, static_cast<std::uint8_t>(49 * 16));
  BlowfishContext context;
  std::string hex = encipher_hex(context, "abcdefgh", "KARVOLD");
  std::string lowered = hex;
  for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  ASSERT_NE(lowered, hex);
  std::string output;
  decipher_hex(context, lowered, output, "KARVOLD");
  EXPECT_NE(output.substr(0, 8), "abcdefgh");
}

TEST(DecipherHex, HexToBytesWritesWholePairsOnly) {
  std::uint8_t out[3] = {7, 7, 7};
  hex_to_bytes("1F2", 3, out);
  EXPECT_EQ(out[0], 0x1F);
  EXPECT_EQ(out[1], 7);
  hex_to_bytes("F", 1, out);
  EXPECT_EQ(out[0], 0x1F);
}

TEST(DecipherHex, PartialBlockReadsMissingDigitsAsZero) {
  BlowfishContext context;
  std::string hex = encipher_hex(context, "ABCDEFGHijkl", "KARVOLD");
  std::string cut = hex.substr(0, 20);
  std::string padded = cut + std::string(12, '0');
  std::string from_cut;
  std::string from_padded;
  decipher_hex(context, cut, from_cut, "KARVOLD");
  decipher_hex(context, padded, from_padded, "KARVOLD");
  EXPECT_EQ(from_cut.size(), 17u);
  EXPECT_EQ(from_cut, from_padded);
  EXPECT_EQ(from_cut.substr(0, 8), "ABCDEFGH");
}

}  // namespace
