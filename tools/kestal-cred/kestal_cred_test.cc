// Runs the built kestal-cred program on real files: round trips through the run's
// lookup, the refusals and the usage rules.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "harness/files.h"
#include "settings/credentials.h"

namespace {

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string shell_quoted(const std::string& text) {
  std::string q = "'";
  for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

class KestalCred : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("kestal_cred_tool_" + std::to_string(getpid()) + "_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    store_ = (dir_ / "Velmarion.Ini").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  Result run(const std::vector<std::string>& args, const std::string& input = "") {
    std::string err = (dir_ / "stderr").string();
    std::string in = (dir_ / "stdin").string();
    std::ofstream(in, std::ios::binary) << input;
    std::string command = shell_quoted(KESTAL_CRED_BINARY);
    for (const std::string& arg : args) command += " " + shell_quoted(arg);
    command += " <" + shell_quoted(in) + " 2>" + shell_quoted(err);
    Result result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[256];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = read_whole_file(err);
    return result;
  }

  std::string lookup(std::string_view key) {
    CredentialRecord current;
    credential_lookup(current, "", key, 0, store_);
    return current.value;
  }

  std::filesystem::path dir_;
  std::string store_;
};

TEST_F(KestalCred, SetGetListAndReplace) {
  EXPECT_EQ(run({"set", store_, "LOGIN", "scott"}).status, 0);
  EXPECT_EQ(run({"set", store_, "PASS", "ti ger;="}).status, 0);
  EXPECT_EQ(run({"set", store_, "DB_SYSTEM", "PGSQL"}).status, 0);
  Result get = run({"get", store_, "PASS"});
  EXPECT_EQ(get.status, 0);
  EXPECT_EQ(get.out, "ti ger;=\n");
  EXPECT_EQ(run({"list", store_}).out, "LOGIN\nPASS\nDB_SYSTEM\n");
  EXPECT_EQ(run({"set", store_, "LOGIN", "admin"}).status, 0);
  EXPECT_EQ(run({"get", store_, "LOGIN"}).out, "admin\n");
  EXPECT_EQ(run({"list", store_}).out, "LOGIN\nPASS\nDB_SYSTEM\n");
  EXPECT_EQ(lookup("LOGIN"), "admin");
  EXPECT_EQ(lookup("PASS"), "ti ger;=");
  EXPECT_EQ(lookup("DB_SYSTEM"), "PGSQL");

  struct stat info {};
  ASSERT_EQ(stat(store_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 077, 0u);  // a new store is private to its owner
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_),
                          std::filesystem::directory_iterator()),
            3);  // the store, plus this test's stdin and stderr files: no temporaries left
}

TEST_F(KestalCred, CrLfStoreStillFoundAndKept) {
  ASSERT_EQ(run({"set", store_, "LOGIN", "scott"}).status, 0);
  ASSERT_EQ(run({"set", store_, "PASS", "tiger"}).status, 0);
  std::string lf = read_whole_file(store_);
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  std::ofstream(store_, std::ios::binary | std::ios::trunc) << crlf;
  EXPECT_EQ(lookup("LOGIN"), "scott");
  EXPECT_EQ(lookup("PASS"), "tiger");
  ASSERT_EQ(run({"set", store_, "DATABASE", "dsn"}).status, 0);
  std::string after = read_whole_file(store_);
  EXPECT_EQ(after.substr(0, crlf.size()), crlf);
  EXPECT_EQ(after.substr(after.size() - 2), "\r\n");
  EXPECT_EQ(lookup("DATABASE"), "dsn");
  EXPECT_EQ(run({"get", store_, "PASS"}).out, "tiger\n");
}

TEST_F(KestalCred, ValueFromStandardInput) {
  ASSERT_EQ(run({"set", store_, "PASS", "-"}, "secret value\n").status, 0);
  EXPECT_EQ(lookup("PASS"), "secret value");
}

TEST_F(KestalCred, RefusalsLeaveTheStoreAlone) {
  ASSERT_EQ(run({"set", store_, "LOGIN", "scott"}).status, 0);
  std::string before = read_whole_file(store_);
  for (const auto& args :
       std::vector<std::vector<std::string>>{{"set", store_, "PASS", "two\nlines"},
                                             {"set", store_, "PASS", "carriage\rreturn"},
                                             {"set", store_, "A;B", "v"},
                                             {"set", store_, "A\nB", "v"},
                                             {"set", store_, "", "v"},
                                             {"set", store_, "PASS", std::string(300, 'x')}}) {
    Result result = run(args);
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.err.find("kestal-cred: "), std::string::npos);
  }
  EXPECT_EQ(read_whole_file(store_), before);
  Result absent = run({"get", store_, "PASS"});
  EXPECT_EQ(absent.status, 1);
  EXPECT_EQ(absent.out, "");
  EXPECT_NE(absent.err, "");
  EXPECT_EQ(run({"get", store_ + ".none", "PASS"}).status, 1);
}

TEST_F(KestalCred, ConcurrentSetsAllSurvive) {
  std::string command;
  for (int i = 0; i < 8; ++i)
    command += shell_quoted(KESTAL_CRED_BINARY) + " set " + shell_quoted(store_) + " KEY" +
               std::to_string(i) + " value" + std::to_string(i) + " & ";
  ASSERT_EQ(std::system((command + "wait").c_str()), 0);
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(run({"get", store_, "KEY" + std::to_string(i)}).out,
              "value" + std::to_string(i) + "\n");
}

TEST_F(KestalCred, SetKeepsOwnerModeAndLinkAndClearsStaleTemporaries) {
  namespace fs = std::filesystem;
  ASSERT_EQ(run({"set", store_, "LOGIN", "scott"}).status, 0);
  ASSERT_EQ(chmod(store_.c_str(), 0640), 0);
  bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(store_.c_str(), 1, 1), 0);
  }
  const fs::path link = dir_ / "link.ini";
  fs::create_symlink(store_, link);
  const std::string stale = store_ + ".kestal-cred-Ab12Cd";
  std::ofstream(stale) << "x;PASS;\n1;PASS;00\n";

  ASSERT_EQ(run({"set", link.string(), "PASS", "tiger"}).status, 0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(lookup("PASS"), "tiger");
  EXPECT_FALSE(fs::exists(stale));
  struct stat info {};
  ASSERT_EQ(stat(store_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(info.st_uid, 1u);
  }
}

TEST_F(KestalCred, AFifoIsRefusedWithoutWaiting) {
  ASSERT_EQ(mkfifo(store_.c_str(), 0600), 0);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"list", store_}, {"get", store_, "PASS"}, {"set", store_, "PASS", "x"}}) {
    Result result = run(args);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("not a regular file"), std::string::npos) << result.err;
  }
}

TEST_F(KestalCred, Usage) {
  Result help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: kestal-cred"), std::string::npos);
  EXPECT_EQ(run({"-h"}).status, 0);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"set", store_, "K"}, {"get", store_}, {"list"}, {"remove", store_, "K"}}) {
    Result result = run(args);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("Usage: kestal-cred"), std::string::npos);
  }
}

}  // namespace
