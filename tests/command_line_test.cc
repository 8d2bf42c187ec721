// Command-line errors of kestalentry, run as its callers run it: every error prints
// its console text, logs its reason after the two opening lines, and exits 91. The
// companions answer --version and a refused option alike.
#include <gtest/gtest.h>

#include "harness/install_tree.h"
#include "harness/process.h"
#include "kestal_version.h"

namespace {

struct Rejection {
  const char* label;
  std::vector<std::string> arguments;
  const char* console;
  const char* log;
};

ProcessResult run_in(const InstallTree& tree, const std::vector<std::string>& arguments) {
  return run_process(KESTALENTRY_PATH, arguments, tree.working_directory().string());
}

void expect_rejected(const Rejection& r) {
  SCOPED_TRACE(r.label);
  InstallTree tree(std::string("cli-") + r.label);
  ProcessResult result = run_in(tree, r.arguments);
  EXPECT_EQ(result.exit_code, 91);
  EXPECT_EQ(result.out, r.console);
  std::vector<std::string> lines = tree.log_lines();
  ASSERT_EQ(lines.size(), 5u) << tree.read_log();
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "========================================>");
  EXPECT_EQ(mask_timestamps(lines[3]), "Start : <TS>");
  EXPECT_EQ(lines[4], r.log);
}

const std::string kUser50(50, 'u');
const std::string kTerminal255(255, 't');

TEST(CommandLine, EveryErrorPrintsLogsAndExits91) {
  const Rejection cases[] = {
      {"none", {}, "fehlender Parameter\n", "falsche Parameteranzahl --> Abbruch"},
      {"two", {"user", "term"}, "fehlender Parameter\n", "falsche Parameteranzahl --> Abbruch"},
      {"user51",
       {kUser50 + "u", "term", "*STO"},
       "Benutzername zu lang !!!\n",
       "Benutzername zu lang --> Abbruch"},
      {"terminal256",
       {kUser50, kTerminal255 + "t", "*STO"},
       "Terminalname zu lang !!!\n",
       "Terminalname zu lang --> Abbruch"},
      {"mode5",
       {kUser50, kTerminal255, "*STOX"},
       "falscher Modus !!!\n",
       "falscher Modus --> Abbruch"},
      // The user name is checked before the terminal name, and both before the mode.
      {"order",
       {kUser50 + "u", kTerminal255 + "t", "*STOX"},
       "Benutzername zu lang !!!\n",
       "Benutzername zu lang --> Abbruch"},
  };
  for (const Rejection& r : cases) expect_rejected(r);
}

TEST(CommandLine, BoundaryLengthsPassTheArgumentCheck) {
  // 50, 255 and 4 characters pass; without a credential store the run then ends at
  // the database step instead of with 91.
  InstallTree tree("cli-boundary");
  ProcessResult result = run_in(tree, {kUser50, kTerminal255, "*gen", "/d", "ignored"});
  EXPECT_NE(result.exit_code, 91);
  EXPECT_EQ(result.out.rfind("Datenbankverbindung fehlgeschlagen, Fehler: ", 0), 0u) << result.out;
  std::vector<std::string> lines = tree.log_lines();
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[4].rfind("DbConnect-Fehler ", 0), 0u);
}

TEST(CommandLine, MissingLogDirectoryStillRejects) {
  InstallTree tree("cli-nolog", /*with_log_directory=*/false);
  ProcessResult result = run_in(tree, {"user"});
  EXPECT_EQ(result.exit_code, 91);
  EXPECT_EQ(result.out, "fehlender Parameter\n");
  EXPECT_FALSE(std::filesystem::exists(tree.root() / "Velmarion_php"));
}

TEST(CommandLine, RejectedRunsAppendToTheExistingLog) {
  InstallTree tree("cli-append");
  tree.write_file(tree.log_path(), "earlier line\n");
  run_in(tree, {});
  run_in(tree, {"a", "b"});
  std::vector<std::string> lines = tree.log_lines();
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[0], "earlier line");
  EXPECT_EQ(lines[5], "falsche Parameteranzahl --> Abbruch");
  EXPECT_EQ(lines[10], "falsche Parameteranzahl --> Abbruch");
  EXPECT_EQ(tree.read_log().find("Programm beendet"), std::string::npos);
}

struct CompanionAnswer {
  const char* program;
  const char* name;
  const char* argument;
  int exit_code;
  std::string out;
  std::string err;
};

TEST(CompanionCommandLine, VersionAndRefusalsAnswerAlike) {
  const std::string version = KESTAL_VERSION;
  const CompanionAnswer cases[] = {
      {KESTAL_SIM_PATH, "kestal-sim", "--version", 0, "kestal-sim " + version + "\n", ""},
      {KESTAL_FLEET_PATH, "kestal-fleet", "--version", 0, "kestal-fleet " + version + "\n", ""},
      {KESTAL_SIM_PATH, "kestal-sim", "--nope", 2, "",
       "kestal-sim: unknown or incomplete option: --nope\nTry 'kestal-sim --help'.\n"},
      {KESTAL_FLEET_PATH, "kestal-fleet", "--nope", 2, "",
       "kestal-fleet: unknown or incomplete option: --nope\nTry 'kestal-fleet --help'.\n"},
  };
  for (const CompanionAnswer& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + c.argument);
    ProcessResult result = run_process(c.program, {c.argument}, ".");
    EXPECT_EQ(result.exit_code, c.exit_code);
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, c.err);
  }
}

}  // namespace
