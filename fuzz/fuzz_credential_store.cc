// Fuzzes the credential store reader: credential_lookup over arbitrary store files,
// the record field extraction, and decipher_hex over arbitrary value texts.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "settings/blowfish.h"
#include "settings/credentials.h"

namespace {

const char* const kKeys[] = {"LOGIN", "PASS", "DB_SYSTEM", "DATABASE"};

bool all_zero(const BlowfishContext& context) {
  static const BlowfishContext zero{};
  return std::memcmp(&context, &zero, sizeof context) == 0;
}

void check_decipher(std::string_view cipher_text) {
  BlowfishContext context;
  std::string plain;
  fuzz_require(decipher_hex(context, cipher_text, plain, kCredentialCipherKey) == 1,
               "decipher_hex returns 1");
  std::size_t blocks = (cipher_text.size() + 15) / 16;
  fuzz_require(plain.size() == blocks * 8 + 1 && plain.back() == '\0',
               "8 bytes per started block and one zero byte");
  fuzz_require(all_zero(context), "no key material is left in the context");

  // Whatever the text deciphers to, enciphering it again gives it back.
  std::string text = plain.substr(0, plain.find('\0'));
  std::string again;
  decipher_hex(context, encipher_hex(context, text, kCredentialCipherKey), again,
               kCredentialCipherKey);
  fuzz_require(again.substr(0, again.find('\0')) == text, "encipher and decipher round trip");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static ScratchFile file("Velmarion.Ini");
  FuzzReader input(data, size);
  std::uint8_t selector = input.byte();
  std::string_view contents = input.rest();
  file.write(contents);

  CredentialRecord record;
  record.value = "left over";
  std::string_view key = kKeys[selector % std::size(kKeys)];
  std::int32_t number = (selector & 0x80) != 0 ? 5 : 0;
  credential_lookup(record, (selector & 0x40) != 0 ? "FUZZ" : "", key, number, file.path());
  fuzz_require(record.value.find('\0') == std::string::npos, "the value ends at its zero byte");
  // A body line holds at most 398 characters of cipher text: 25 blocks of 8 bytes.
  fuzz_require(record.value.size() <= 200, "the plain value fits 25 blocks");
  fuzz_require(record.qualifier.size() <= 199 && record.key.size() <= 399,
               "the fields come from one line each");

  // The same lookup gives the same record: nothing is kept between lookups.
  CredentialRecord again;
  credential_lookup(again, (selector & 0x40) != 0 ? "FUZZ" : "", key, number, file.path());
  fuzz_require(again.value == record.value && again.key == record.key &&
                   again.number == record.number && again.qualifier == record.qualifier,
               "the lookup is deterministic");

  // The first two lines of the input as one record, and its value as cipher text.
  std::string_view head = input.until('\n');
  std::string_view body = input.until('\n');
  CredentialFields fields = credential_fields(head, body);
  fuzz_require(fields.has_number || fields.record.number == 0, "no number without a field");
  check_decipher(fields.record.value.substr(0, 4096));
  return 0;
}
