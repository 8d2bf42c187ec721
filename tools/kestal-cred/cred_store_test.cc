// Tests of the store editing: what is written is found by the run's lookups, and
// every other byte of the file stays as it was.
#include "cred_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

std::string set_ok(std::string_view content, std::string_view key, std::string_view value) {
  StoreEdit edit = store_set(content, key, value);
  EXPECT_EQ(edit.error, "");
  EXPECT_EQ(edit.warning, "");
  return edit.content;
}

std::string to_crlf(const std::string& lf) {
  std::string crlf;
  for (char c : lf) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return crlf;
}

// The run's lookup on the content written to a real file.
std::string run_lookup(const std::string& content, std::string_view key) {
  std::string path = (std::filesystem::temp_directory_path() /
                      ("kestal_cred_store_lookup_" + std::to_string(getpid()) + ".ini"))
                         .string();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
  }
  CredentialRecord current;
  credential_lookup(current, "", key, 0, path);
  std::remove(path.c_str());
  return current.value;
}

TEST(CredStore, NewRecordsAreFoundByTheRunsLookup) {
  std::string content = set_ok("", "LOGIN", "scott");
  content = set_ok(content, "PASS", "t;i=g e\xE4r");
  content = set_ok(content, "DATABASE", std::string(41, 'd'));
  EXPECT_EQ(content.substr(0, 14), "KESTAL;LOGIN;\n");
  for (const std::string& text : {content, to_crlf(content)}) {
    EXPECT_EQ(run_lookup(text, "LOGIN"), "scott");
    EXPECT_EQ(run_lookup(text, "PASS"), "t;i=g e\xE4r");
    EXPECT_EQ(run_lookup(text, "DATABASE"), std::string(41, 'd'));
    EXPECT_EQ(run_lookup(text, "DB_SYSTEM"), "");
  }
  StoreLayout layout = store_split(content);
  ASSERT_EQ(layout.records.size(), 3u);
  EXPECT_EQ(layout.records[0].record.number, 1);
  EXPECT_EQ(layout.records[1].record.number, 2);
  EXPECT_EQ(layout.records[2].record.number, 3);
  EXPECT_EQ(store_keys(layout), (std::vector<std::string>{"LOGIN", "PASS", "DATABASE"}));
}

TEST(CredStore, ReplaceKeepsEverythingElse) {
  std::string first = set_ok("", "LOGIN", "old");
  std::string content = set_ok(first, "PASS", "p");
  std::string rest = content.substr(first.size());
  content = set_ok(content, "LOGIN", "a much longer new value");
  EXPECT_EQ(content.substr(content.size() - rest.size()), rest);
  EXPECT_EQ(run_lookup(content, "LOGIN"), "a much longer new value");
  StoreLayout layout = store_split(content);
  EXPECT_EQ(layout.records.size(), 2u);
  EXPECT_EQ(layout.records[0].record.number, 1);  // the old number is kept
}

TEST(CredStore, NewRecordsGoBeforeACtrlZ) {
  // Readers stop at a Ctrl-Z, so a record after it could never be found.
  std::string tail =
      "\x1A"
      "KESTAL;HIDDEN;\n1;HIDDEN;00\n";
  std::string stored = set_ok("", "LOGIN", "scott");
  std::string content = set_ok(stored + tail, "PASS", "tiger");
  EXPECT_EQ(content.substr(0, stored.size()), stored);
  EXPECT_EQ(content.substr(content.size() - tail.size()), tail);
  EXPECT_EQ(run_lookup(content, "PASS"), "tiger");
  EXPECT_EQ(run_lookup(content, "LOGIN"), "scott");
  EXPECT_EQ(store_keys(store_split(content)), (std::vector<std::string>{"LOGIN", "PASS"}));
  EXPECT_NE(store_set("", "A\x1A", "v").error, "");
}

TEST(CredStore, KeepsTheFilesLineEndsAndUnpairedLines) {
  std::string crlf = to_crlf(set_ok("", "LOGIN", "a"));
  std::string content = set_ok(crlf, "PASS", "b");
  EXPECT_EQ(content.substr(0, crlf.size()), crlf);
  EXPECT_EQ(content.find('\n', crlf.size()), content.find("\r\n", crlf.size()) + 1);
  EXPECT_EQ(run_lookup(content, "PASS"), "b");

  // A last line without a partner stays last; the new record goes before it.
  std::string odd = set_ok("", "LOGIN", "a") + "dangling";
  content = set_ok(odd, "PASS", "b");
  EXPECT_EQ(content.substr(content.size() - 8), "dangling");
  EXPECT_EQ(run_lookup(content, "PASS"), "b");

  // A last body line without a line end gets one before the new record.
  std::string open = set_ok("", "LOGIN", "a");
  open.pop_back();
  content = set_ok(open, "PASS", "b");
  EXPECT_EQ(run_lookup(content, "LOGIN"), "a");
  EXPECT_EQ(run_lookup(content, "PASS"), "b");
}

TEST(CredStore, NumbersStayUniqueAndNonZero) {
  std::string content = "X;Q;\n1;A;00\nX;Q;\n3;B;00\n";
  content = set_ok(content, "LOGIN", "v");
  EXPECT_EQ(store_split(content).records[2].record.number, 2);
  // A replaced record whose number another record shares gets a free one.
  content = "X;Q;\n4;LOGIN;00\nX;Q;\n4;B;00\n";
  content = set_ok(content, "LOGIN", "v");
  EXPECT_EQ(store_split(content).records[0].record.number, 1);
}

TEST(CredStore, WarnsWhenAnEarlierRecordShadowsTheNewOne) {
  StoreEdit edit = store_set("no qualifier\n7;OTHER;00\n", "LOGIN", "v");
  EXPECT_EQ(edit.error, "");
  EXPECT_NE(edit.warning.find("record 1"), std::string::npos);
  edit = store_set("X;Q;\n0;OTHER;00\n", "LOGIN", "v");
  EXPECT_NE(edit.warning, "");
}

TEST(CredStore, RefusesWhatTheStoreCannotHold) {
  EXPECT_NE(store_set("", "", "v").error, "");
  EXPECT_NE(store_set("", "A;B", "v").error, "");
  EXPECT_NE(store_set("", "A\nB", "v").error, "");
  EXPECT_NE(store_set("", "A\rB", "v").error, "");
  EXPECT_NE(store_set("", "K", "a\nb").error, "");
  EXPECT_NE(store_set("", "K", "a\rb").error, "");
  EXPECT_NE(store_set("", "K", std::string("a\0b", 3)).error, "");
  // Head line "KESTAL;" + key + ";" must stay within 198 characters.
  EXPECT_EQ(store_set("", std::string(190, 'k'), "v").error, "");
  EXPECT_NE(store_set("", std::string(191, 'k'), "v").error, "");
  // Body "1;K;" + hex: 394 hex digits would exceed 398, 384 (24 blocks) fit.
  std::string content = set_ok("", "K", std::string(192, 'v'));
  EXPECT_EQ(run_lookup(content, "K"), std::string(192, 'v'));
  EXPECT_NE(store_set("", "K", std::string(193, 'v')).error, "");
  std::string refused = "X;Q;\n1;A;00\n";
  StoreEdit edit = store_set(refused, "K", "a\nb");
  EXPECT_EQ(edit.content, "");
}

TEST(CredStore, SplitsLikeTheLineReader) {
  // A 199-character head line is read in two pieces, shifting the pairing.
  StoreLayout layout = store_split(std::string(199, 'h') + "\nbody\n");
  ASSERT_EQ(layout.pieces.size(), 3u);
  EXPECT_EQ(layout.pieces[1].line, "\n");
  EXPECT_EQ(layout.records.size(), 1u);
  layout = store_split(std::string(198, 'h') + "\r\nbody\r\n");
  ASSERT_EQ(layout.pieces.size(), 2u);
  EXPECT_TRUE(layout.crlf);
  EXPECT_EQ(layout.pieces[0].line, std::string(198, 'h') + "\n");
  EXPECT_EQ(layout.pieces[1].raw, "body\r\n");
}

}  // namespace
