// The credential store: two-line records with enciphered values, and the lookup of
// the four database settings that open the run's database connection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "log/report.h"

struct CredentialRecord {
  std::int32_t number = 0;
  std::string qualifier;
  std::string key;
  std::string value;  // enciphered; after a match the deciphered text
};

// The built-in key of the store's values, and the line reader capacities of its
// head and body lines (longer lines are read in parts that shift the pairing).
inline constexpr std::string_view kCredentialCipherKey = "KARVOLD";
inline constexpr std::size_t kCredentialHeadCapacity = 200;
inline constexpr std::size_t kCredentialBodyCapacity = 400;

// One record's fields as read from its head and body line (line ends kept as the
// reader returns them; a NUL byte ends a line). `value` stays enciphered.
// `has_number` is false for a body line without ';': it has no number field.
struct CredentialFields {
  CredentialRecord record;
  bool has_number = false;
};
CredentialFields credential_fields(std::string_view head_line, std::string_view body_line);

// The lookup rule: a record is taken when its qualifier or its key matches, or when
// it has a number field equal to `number`.
bool credential_taken(const CredentialFields& fields, std::string_view qualifier,
                      std::string_view key, std::int32_t number);
// A record's value deciphered with the built-in key, ending at its first zero byte.
std::string credential_plain_value(const std::string& cipher_text);

// Searches the store at `path`; the result is left in `current`.
void credential_lookup(CredentialRecord& current, std::string_view qualifier, std::string_view key,
                       std::int32_t number, const std::string& path);

struct DatabaseSettings {
  std::string user_name;
  std::string password;
  std::string database_system;  // middle part of the entry definition file's name
  std::string data_source;      // ODBC data source name
};

// Looks up LOGIN, PASS, DB_SYSTEM and DATABASE in the store at `store_path`; a setting
// that is not found is empty, and so is a data source longer than 41 characters.
DatabaseSettings read_database_settings(const std::string& store_path);

// Reports a failed connection with `settings`: the message, and with /D the settings,
// the password masked.
void report_connect_failure(const DatabaseSettings& settings, std::int32_t code,
                            const Report& report);
