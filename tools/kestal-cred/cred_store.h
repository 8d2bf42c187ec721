// Editing of the credential store's text: records split exactly as the run's reader
// pairs them, so that what is written here is what a lookup finds.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "settings/credentials.h"

// One piece as the store's line reader returns it: `raw` holds the file's bytes,
// `line` the same with a CR before an LF dropped.
struct StorePiece {
  std::string raw;
  std::string line;
};

struct StoreLayout {
  std::vector<StorePiece> pieces;  // head and body pieces alternate; a last odd one is unpaired
  std::vector<CredentialFields> records;
  bool crlf = false;  // the file's first line end is CR LF
  std::string tail;   // a Ctrl-Z and what follows it: no reader sees it, it is kept as is
};

StoreLayout store_split(std::string_view content);

// Empty when acceptable, otherwise the reason for refusing it.
std::string store_check_key(std::string_view key);
std::string store_check_value(std::string_view value);

struct StoreEdit {
  std::string content;  // the whole new file
  std::string error;    // non-empty: refused, content unusable
  std::string warning;  // non-empty: written, but the run's lookup would not find it
};

// Writes or replaces the record for `key`, leaving every other byte as it was.
StoreEdit store_set(std::string_view content, std::string_view key, std::string_view value);

// Index of the first record whose key is `key`, or -1.
int store_find(const StoreLayout& layout, std::string_view key);
// Index of the record that the run's lookup of `key` takes (empty qualifier,
// number 0), or -1.
int store_taken_by_run(const StoreLayout& layout, std::string_view key);
// Deciphered value of a record.
std::string store_value(const StoreLayout& layout, int index);
// The keys of all records, in file order (line ends cut off).
std::vector<std::string> store_keys(const StoreLayout& layout);
