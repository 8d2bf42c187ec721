// Run log: line format, rotation at the size limit, missing directory, many writers.
#include "log/run_log.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "harness/files.h"

namespace fs = std::filesystem;

namespace {

void write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class RunLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("runlog-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    log_ = RunLog{(dir_ / "KestalLog.txt").string(), (dir_ / "KestalLog.bak").string(), 100};
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
  RunLog log_;
};

TEST_F(RunLogTest, AppendsTextAndLineEnd) {
  log_line(log_, "first");
  log_line(log_, "\n\nsecond\n");
  log_line(log_, "");
  EXPECT_EQ(read_whole_file(log_.path), "first\n\n\nsecond\n\n\n");
}

TEST_F(RunLogTest, FileOfExactlyTheLimitIsNotRotated) {
  write_file(log_.path, std::string(90, 'x'));
  log_line(log_, "123456789");  // 9 + line end: exactly 100 bytes
  EXPECT_EQ(fs::file_size(log_.path), 100u);
  EXPECT_FALSE(fs::exists(log_.backup_path));
}

TEST_F(RunLogTest, CrossingLineCompletesTheFileThatBecomesTheBackup) {
  write_file(log_.path, std::string(95, 'x'));
  log_line(log_, "crossing line");
  ASSERT_FALSE(fs::exists(log_.path));
  EXPECT_EQ(read_whole_file(log_.backup_path), std::string(95, 'x') + "crossing line\n");
  log_line(log_, "next");
  EXPECT_EQ(read_whole_file(log_.path), "next\n");
}

TEST_F(RunLogTest, ExistingBackupIsReplaced) {
  write_file(log_.backup_path, "old backup\n");
  write_file(log_.path, std::string(100, 'y'));
  log_line(log_, "z");
  EXPECT_EQ(read_whole_file(log_.backup_path), std::string(100, 'y') + "z\n");
  EXPECT_FALSE(fs::exists(log_.path));
}

TEST_F(RunLogTest, MissingDirectoryIsSilent) {
  RunLog missing{(dir_ / "nope" / "KestalLog.txt").string(),
                 (dir_ / "nope" / "KestalLog.bak").string(), 100};
  log_line(missing, "lost");
  EXPECT_FALSE(fs::exists(dir_ / "nope"));
}

TEST_F(RunLogTest, DefaultLimitIsTenMebibytes) {
  EXPECT_EQ(default_run_log().limit, 10485760);
  RunLog real = default_run_log();
  real.path = log_.path;
  real.backup_path = log_.backup_path;
  write_file(real.path, std::string(10485760 - 2, 'a'));
  log_line(real, "b");  // exactly 10485760 bytes
  EXPECT_FALSE(fs::exists(real.backup_path));
  log_line(real, "c");
  EXPECT_TRUE(fs::exists(real.backup_path));
  EXPECT_EQ(fs::file_size(real.backup_path), 10485762u);
}

TEST_F(RunLogTest, ConcurrentRunsKeepEveryLineWholeAcrossARotation) {
  // Eight processes append at once; each round writes less than twice the limit, so
  // its one rotation must leave every line exactly once in the log or the backup.
  constexpr int kProcesses = 8;
  constexpr int kLines = 150;
  auto text = [](int process, int line) {
    return "run " + std::to_string(process) + " line " + std::to_string(line) +
           std::string(40, '.');
  };
  const std::int64_t written = kProcesses * kLines * static_cast<std::int64_t>(text(0, 0).size());
  RunLog shared{log_.path, log_.backup_path, written * 2 / 3};
  for (int round = 0; round < 10; ++round) {
    fs::remove(shared.path);
    fs::remove(shared.backup_path);
    for (int p = 0; p < kProcesses; ++p) {
      if (fork() == 0) {
        for (int l = 0; l < kLines; ++l) log_line(shared, text(p, l));
        _exit(0);
      }
    }
    int status = 0;
    while (wait(&status) > 0) ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::string all = read_whole_file(shared.backup_path) + read_whole_file(shared.path);
    ASSERT_TRUE(all.empty() || all.back() == '\n');
    std::map<std::string, int> seen;
    for (std::size_t start = 0, end; (end = all.find('\n', start)) != std::string::npos;
         start = end + 1)
      ++seen[all.substr(start, end - start)];
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kProcesses * kLines)) << "round " << round;
    for (int p = 0; p < kProcesses; ++p)
      for (int l = 0; l < kLines; ++l)
        ASSERT_EQ(seen[text(p, l)], 1) << "round " << round << ": " << text(p, l);
    EXPECT_TRUE(fs::exists(shared.backup_path));
  }
}

}  // namespace
