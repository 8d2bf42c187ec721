// What a push is given: bounded name lists, names kestalentry cannot take, the
// terminals an earlier push's JSON left undone, and words for a remote shell.
#include "fleet_input.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "fleet_report.h"
#include "fleet_ssh.h"

namespace {

namespace fs = std::filesystem;

struct Scratch {
  fs::path dir = fs::temp_directory_path() / ("fleet-input-" + std::to_string(getpid()));
  Scratch() { fs::create_directories(dir); }
  ~Scratch() { fs::remove_all(dir); }
  std::string write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return (dir / name).string();
  }
};

TEST(FleetInput, ReadsNamesWithinBoundsAndRefusesWhatIsNoList) {
  Scratch s;
  std::vector<std::string> names;
  std::string error;
  std::string list = std::string("a\r\n\nb\0c\n", 8) + std::string(300, 'x') + "\n" +
                     std::string(70000, 'y') + "\nlast";
  ASSERT_TRUE(read_name_list(s.write("list", list), names, error)) << error;
  ASSERT_EQ(names.size(), 5u);
  EXPECT_EQ(names[1], std::string("b\0c", 3));
  EXPECT_EQ(names[2].size(), 300u);
  EXPECT_EQ(names[3].size(), 4096u);  // a line is kept only so far
  EXPECT_EQ(name_problem(names[0]), "");
  EXPECT_NE(name_problem(names[1]).find("NUL"), std::string::npos);
  EXPECT_NE(name_problem(names[2]).find("255"), std::string::npos);
  EXPECT_NE(name_problem("a\nb").find("line feed"), std::string::npos);
  for (const std::string& bad :
       {s.dir.string(), std::string("/dev/zero"), (s.dir / "none").string()}) {
    error.clear();
    EXPECT_FALSE(read_name_list(bad, names, error)) << bad;
    EXPECT_NE(error.find("cannot read"), std::string::npos) << error;
  }
  std::string many(100001 * 2, '\n');
  for (std::size_t i = 0; i < many.size(); i += 2) many[i] = 'n';
  EXPECT_FALSE(read_name_list(s.write("many", many), names, error));
}

TEST(FleetInput, ResumesTheTerminalsThatDidNotEndOk) {
  Scratch s;
  std::string lines;
  const char* names[] = {"ok-one", "M\xFCnchen \x80\"\\\x01", "third"};
  const Outcome outcomes[] = {Outcome::kOk, Outcome::kKilled, Outcome::kInterrupted};
  for (int i = 0; i < 3; ++i) {
    TerminalResult r;
    r.terminal = names[i];
    r.outcome = outcomes[i];
    r.last_line = "\"outcome\":\"ok\"";
    lines += push_json_line(r) + "\n";
  }
  std::vector<std::string> again;
  std::string error;
  ASSERT_TRUE(read_resume(s.write("push.json", lines), again, error)) << error;
  EXPECT_EQ(again, (std::vector<std::string>{names[1], names[2]}));
  EXPECT_FALSE(read_resume(s.write("bad.json", "{\"terminal\":\"x\"}\n"), again, error));
}

TEST(FleetInput, QuotedWordsReachTheShellWhole) {
  for (std::string word : {"plain", "it's", "$(id) `id` \"x\" \\ *", "::::", "a\nb", ""}) {
    std::string command = "printf %s " + shell_quote(word);
    FILE* shell = popen(command.c_str(), "r");
    ASSERT_NE(shell, nullptr);
    std::string got;
    for (int c; (c = std::fgetc(shell)) != EOF;) got += static_cast<char>(c);
    EXPECT_EQ(pclose(shell), 0);
    EXPECT_EQ(got, word);
  }
}

TEST(FleetInput, ReadsSshLoginsInGnuParallelsFormat) {
  Scratch s;
  std::vector<Machine> machines;
  std::string error;
  std::string file = s.write("logins", "# comment\nssh -p 2222 push@host2\n4/push@host3\n:\n");
  ASSERT_TRUE(read_sshloginfile(file, 8, machines, error)) << error;
  ASSERT_EQ(machines.size(), 3u);
  EXPECT_EQ(machines[0].ssh, (std::vector<std::string>{"ssh", "-p", "2222", "push@host2"}));
  EXPECT_EQ(machines[0].slots, 8);
  EXPECT_EQ(machines[1].ssh, (std::vector<std::string>{"ssh", "push@host3"}));
  EXPECT_EQ(machines[1].slots, 4);
  EXPECT_EQ(machines[2].label, "local");
  EXPECT_TRUE(machines[2].ssh.empty());
}

// The remote command as the login shell there runs it: the words arrive whole, and
// the end of its input stops the run (SIGTERM: status 143) instead of leaving it.
TEST(FleetInput, RemoteCommandTakesWordsWholeAndStopsWhenItsInputEnds) {
  Machine m;
  m.ssh = {"ssh", "host"};
  struct Case {
    std::string input;
    std::vector<std::string> command;
    std::string output;
    int status;
  } cases[] = {{"sleep 1", {"printf", "%s|", "it's", "$(id) *", "a\nb"}, "it's|$(id) *|a\nb|", 0},
               {"true", {"sleep", "20"}, "", 143}};
  for (const Case& c : cases) {
    std::string line = c.input + " | sh -c " + shell_quote(transfer_argv(m, "/", c.command).back());
    FILE* shell = popen(line.c_str(), "r");
    ASSERT_NE(shell, nullptr);
    std::string got;
    for (int ch; (ch = std::fgetc(shell)) != EOF;) got += static_cast<char>(ch);
    int status = pclose(shell);
    EXPECT_EQ(got, c.output);
    EXPECT_EQ(WEXITSTATUS(status), c.status) << line;
  }
}

}  // namespace
