// kestal-cred: writes, reads and lists the enciphered records of the credential
// store, so that installations need not build its lines by hand.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cred_store.h"
#include "kestal_version.h"
#include "replace_file.h"

namespace {

const char kUsage[] =
    "Usage: kestal-cred set FILE KEY VALUE   write or replace the record for KEY\n"
    "       kestal-cred set FILE KEY -       the same, VALUE read from standard input\n"
    "       kestal-cred get FILE KEY         print the deciphered value of KEY\n"
    "       kestal-cred list FILE            print the keys, one a line\n"
    "       kestal-cred --help               print this text\n"
    "       kestal-cred --version            print the version\n";

int usage_error() {
  std::fputs(kUsage, stderr);
  return 2;
}

int fail(const std::string& message) {
  std::fprintf(stderr, "kestal-cred: %s\n", message.c_str());
  return 1;
}

bool load(const std::string& path, StoreLayout& layout, bool& missing, std::string& error) {
  std::string content;
  if (!read_whole_file(path, content, missing, error)) return false;
  layout = store_split(content);
  return true;
}

// Keeps the secret off the command line (and out of process listings).
bool read_value_from_stdin(std::string& value) {
  if (!std::getline(std::cin, value) && value.empty()) return false;
  if (!value.empty() && value.back() == '\r') value.pop_back();
  return true;
}

int run_set(const std::string& path, const std::string& key, std::string value) {
  if (value == "-" && !read_value_from_stdin(value)) return fail("no value on standard input");
  std::string error = store_check_key(key);
  if (error.empty()) error = store_check_value(value);
  if (!error.empty()) return fail(error);
  // From the read to the rename no other set may run, or one of the two edits is lost.
  StoreLock lock(path, error);
  if (!lock.locked()) return fail(error);
  const std::string target = resolved_path(path);
  remove_stale_temporaries(target);
  std::string content;
  bool missing = false;
  if (!read_whole_file(target, content, missing, error)) return fail(error);
  StoreEdit edit = store_set(content, key, value);
  if (!edit.error.empty()) return fail(edit.error);
  if (!replace_file(target, edit.content, error)) return fail(error);
  if (!edit.warning.empty())
    std::fprintf(stderr, "kestal-cred: warning: %s\n", edit.warning.c_str());
  return 0;
}

int run_get(const std::string& path, const std::string& key) {
  StoreLayout layout;
  bool missing = false;
  std::string error;
  if (!load(path, layout, missing, error)) return fail(error);
  if (missing) return fail(path + ": no such file");
  int index = store_find(layout, key);
  if (index < 0) return fail("no record for key " + key);
  std::string value = store_value(layout, index);
  std::fwrite(value.data(), 1, value.size(), stdout);
  std::fputc('\n', stdout);
  return 0;
}

int run_list(const std::string& path) {
  StoreLayout layout;
  bool missing = false;
  std::string error;
  if (!load(path, layout, missing, error)) return fail(error);
  if (missing) return fail(path + ": no such file");
  for (const std::string& key : store_keys(layout)) {
    std::fwrite(key.data(), 1, key.size(), stdout);
    std::fputc('\n', stdout);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (args.size() == 1 && args[0] == "--version") {
    std::fputs("kestal-cred " KESTAL_VERSION "\n", stdout);
    return 0;
  }
  if (args.empty()) return usage_error();
  const std::string& command = args[0];
  if (command == "set" && args.size() == 4) return run_set(args[1], args[2], args[3]);
  if (command == "get" && args.size() == 3) return run_get(args[1], args[2]);
  if (command == "list" && args.size() == 2) return run_list(args[1]);
  return usage_error();
}
