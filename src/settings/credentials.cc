// The credential store: two-line records with enciphered values, and the lookup of
// the four database settings that open the run's database connection.
#include "settings/credentials.h"

#include <climits>

#include "log/format.h"
#include "platform/text_file.h"
#include "settings/blowfish.h"
#include "settings/text.h"

namespace {

constexpr std::size_t kDataSourceLimit = 41;
constexpr const char* kMaskedPassword = "**********";

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Text-to-integer like the C library's, but saturating instead of overflowing.
std::int32_t number_from_text(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && is_space(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<std::int64_t>(INT32_MAX) + 1)
      value = static_cast<std::int64_t>(INT32_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<std::int32_t>(value);
}

// The text between the first two ';'; with the two adjacent, the rest of the line
// from the second on; empty with fewer than two.
void field_between(std::string_view line, int first, int second, std::string& field) {
  text_substring(line, first + 1, second - first - 1, field);
}

std::string_view c_text(std::string_view line) {
  std::size_t nul = line.find('\0');
  return nul == std::string_view::npos ? line : line.substr(0, nul);
}

}  // namespace

CredentialFields credential_fields(std::string_view head_line, std::string_view body_line) {
  CredentialFields fields;
  std::string_view head = c_text(head_line);
  field_between(head, text_find_nth(head, ';', 1), text_find_nth(head, ';', 2),
                fields.record.qualifier);

  std::string_view body = c_text(body_line);
  int first = text_find_nth(body, ';', 1);
  if (first < 0) return fields;  // no fields at all: never taken by number, empty value
  int second = text_find_nth(body, ';', 2);
  fields.has_number = true;
  fields.record.number = number_from_text(body.substr(0, static_cast<std::size_t>(first)));
  field_between(body, first, second, fields.record.key);
  text_substring(body, second + 1, 0, fields.record.value);
  if (!fields.record.value.empty() && fields.record.value.back() == '\n')
    fields.record.value.pop_back();
  return fields;
}

std::string credential_plain_value(const std::string& cipher_text) {
  BlowfishContext context;
  std::string plain;
  decipher_hex(context, cipher_text, plain, kCredentialCipherKey);
  cut_at_nul(plain);
  return plain;
}

bool credential_taken(const CredentialFields& fields, std::string_view qualifier,
                      std::string_view key, std::int32_t number) {
  const CredentialRecord& record = fields.record;
  return record.qualifier == qualifier || record.key == key ||
         (fields.has_number && record.number == number);
}

void credential_lookup(CredentialRecord& current, std::string_view qualifier, std::string_view key,
                       std::int32_t number, const std::string& path) {
  current = CredentialRecord{};
  TextFile file(path);
  if (!file.is_open()) return;
  std::string head;
  std::string body;
  while (file.read_line(head, kCredentialHeadCapacity) &&
         file.read_line(body, kCredentialBodyCapacity)) {
    CredentialFields fields = credential_fields(head, body);
    if (credential_taken(fields, qualifier, key, number)) {
      current = fields.record;
      current.value = credential_plain_value(fields.record.value);
      return;
    }
  }
  current = CredentialRecord{};
}

DatabaseSettings read_database_settings(const std::string& store_path) {
  DatabaseSettings settings;
  CredentialRecord record;
  credential_lookup(record, "", "LOGIN", 0, store_path);
  settings.user_name = record.value;
  credential_lookup(record, "", "PASS", 0, store_path);
  settings.password = record.value;
  credential_lookup(record, "", "DB_SYSTEM", 0, store_path);
  settings.database_system = record.value;
  credential_lookup(record, "", "DATABASE", 0, store_path);
  if (!record.value.empty() && record.value.size() <= kDataSourceLimit)
    settings.data_source = record.value;
  return settings;
}

void report_connect_failure(const DatabaseSettings& settings, std::int32_t code,
                            const Report& report) {
  report.print(text_printf("Datenbankverbindung fehlgeschlagen, Fehler: %d\n", code));
  // The password never appears in plain text, not even in the verbose dump: a store
  // whose first record is taken by every lookup gives it as the other settings too.
  auto shown = [&settings](const std::string& value) {
    return !settings.password.empty() && value == settings.password ? kMaskedPassword
                                                                    : value.c_str();
  };
  report.print_verbose(
      text_printf("DBSys   : %s\nUser    : %s\nPasswort: %s\nNet8    : %s\nSchema  : %s\n",
                  shown(settings.database_system), shown(settings.user_name), kMaskedPassword,
                  shown(settings.data_source), "Vxsystem"));
}
