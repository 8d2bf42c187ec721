// Whole runs of the Windows kestalentry.exe under Wine, one per path through the run:
// argument errors, database failure, *STO and *GEN transfers, refused password,
// unknown name, refused connection, peer closing, log rotation. CR LF is expected on
// the console and in the run log; the terminal is the Linux kestal-sim on loopback.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>

#include "harness/install_tree.h"
#include "harness/postgres.h"
#include "harness/simulator.h"
#include "windows/wine_run.h"

namespace fs = std::filesystem;

namespace {

// Blanks make the name invalid before any resolver is asked: nothing leaves the machine.
const std::string kUnknownHost = "no such terminal";

// Credential stores written once by the Windows kestal-cred.exe, then copied per test.
struct Stores {
  std::string good;
  std::string bad_password;
};

std::string make_store(const std::vector<std::pair<std::string, std::string>>& settings) {
  InstallTree tree("win-store");
  std::string path = tree.credential_store_path().string();
  for (const auto& [key, value] : settings) {
    ProcessResult r = run_windows(KESTAL_CRED_EXE, {"set", path, key, value}, tree.root().string());
    EXPECT_EQ(r.exit_code, 0) << "kestal-cred.exe set " << key << ": " << r.out << r.err;
  }
  return read_whole_file(tree.credential_store_path());
}

const Stores& stores() {
  static const Stores s = [] {
    std::vector<std::pair<std::string, std::string>> settings = {
        {"LOGIN", env_or_empty("KESTAL_PG_USER")},
        {"PASS", env_or_empty("KESTAL_PG_PASSWORD")},
        {"DB_SYSTEM", "POSTGRES"},
        {"DATABASE", env_or_empty("KESTAL_PG_DSN")}};
    Stores made;
    made.good = make_store(settings);
    settings[1].second = "not-the-password";
    made.bad_password = make_store(settings);
    return made;
  }();
  return s;
}

class WindowsRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(env_or_empty("KESTAL_PG_DSN").empty())
        << "run under scripts/with-postgres.sh (KESTAL_PG_DSN is not set)";
    ASSERT_FALSE(env_or_empty("WINEPREFIX").empty()) << "run through tests/windows/run-subset.sh";
    name_ = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    tree_ = std::make_unique<InstallTree>("win-" + name_);
    psql("DELETE FROM vxsystem.vxs1140trm; DELETE FROM vxsystem.vxs113sto;");
    tree_->write_file(tree_->credential_store_path(), stores().good);
  }

  ProcessResult run(const std::vector<std::string>& arguments) {
    return run_windows(KESTALENTRY_EXE, arguments, tree_->working_directory().string());
  }

  std::unique_ptr<Simulator> start_sim(const std::string& address,
                                       const std::vector<std::string>& flags = {}) {
    return start_simulator(KESTAL_SIM_PATH, address, flags, tree_->root());
  }

  // The run log as CR LF lines, timestamps masked; a bare LF fails the test.
  std::vector<std::string> log_lines() {
    CrLfText log = split_crlf(tree_->read_log());
    EXPECT_FALSE(log.bare_lf) << "the run log has a line without CR LF";
    EXPECT_EQ(log.rest, "") << "the run log does not end with CR LF";
    for (std::string& line : log.lines) line = mask_timestamps(line);
    return log.lines;
  }

  static bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  std::string name_;
  std::unique_ptr<InstallTree> tree_;
};

TEST_F(WindowsRun, ArgumentErrorsPrintAndLogWithCrLfAndExit91) {
  struct Case {
    std::vector<std::string> arguments;
    const char* console;
    const char* log;
  };
  const Case cases[] = {
      {{}, "fehlender Parameter\r\n", "falsche Parameteranzahl --> Abbruch"},
      {{std::string(51, 'u'), "term", "*STO"},
       "Benutzername zu lang !!!\r\n",
       "Benutzername zu lang --> Abbruch"},
      {{"user", std::string(256, 't'), "*STO"},
       "Terminalname zu lang !!!\r\n",
       "Terminalname zu lang --> Abbruch"},
      {{"user", "term", "*STOX"}, "falscher Modus !!!\r\n", "falscher Modus --> Abbruch"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.log);
    fs::remove(tree_->log_path());
    ProcessResult r = run(c.arguments);
    EXPECT_EQ(r.exit_code, 91);
    EXPECT_EQ(r.out, c.console);
    // The separator's own two line feeds become empty CR LF lines in the file.
    EXPECT_EQ(log_lines(),
              (std::vector<std::string>{"", "", kRunSeparator, "Start : <TS>", c.log}));
  }
}

TEST_F(WindowsRun, MissingLogFolderIsSilent) {
  fs::remove_all(tree_->root() / "Velmarion_php");
  ProcessResult r = run({"user"});
  EXPECT_EQ(r.exit_code, 91);
  EXPECT_EQ(r.out, "fehlender Parameter\r\n");
  EXPECT_FALSE(fs::exists(tree_->log_path()));
}

TEST_F(WindowsRun, RefusedDatabaseLoginEndsWithItsStatusAndMasksThePassword) {
  tree_->write_file(tree_->credential_store_path(), stores().bad_password);
  ProcessResult r = run({"user", "127.0.0.201", "*sto", "/d"});
  // SQL_ERROR (-1) reaches the caller as its low byte.
  EXPECT_EQ(r.exit_code, 255);
  EXPECT_EQ(r.out,
            "Datenbankverbindung fehlgeschlagen, Fehler: -1\r\n"
            "DBSys   : POSTGRES\r\n"
            "User    : " +
                env_or_empty("KESTAL_PG_USER") +
                "\r\n"
                "Passwort: **********\r\n"
                "Net8    : " +
                env_or_empty("KESTAL_PG_DSN") +
                "\r\n"
                "Schema  : Vxsystem\r\n");
  EXPECT_EQ(r.out.find("not-the-password"), std::string::npos);
  std::vector<std::string> lines = log_lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "DbConnect-Fehler -1   --> Abbruch");
}

TEST_F(WindowsRun, MissingDefinitionFileEndsWith3BeforeTheRow) {
  const std::string terminal = "127.0.0.207";
  add_terminal_row(terminal);
  ProcessResult r = run({"user", terminal, "*GEN"});
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_EQ(r.out, "");
  // The row keeps what it had: the start mark comes after the entry table.
  EXPECT_EQ(status_row_text(terminal), "night||3|7|5|0\n");
  std::vector<std::string> lines = log_lines();
  EXPECT_FALSE(contains(lines, "Programm beendet")) << tree_->read_log();
}

TEST_F(WindowsRun, StoTransfersTheSitesAndMarksTheRow) {
  const std::string terminal = "127.0.0.202";
  add_terminal_row(terminal);
  add_site_rows({{"0", "1"}, {"7", "1"}, {"12345", "NULL"}, {"44", "4"}, {"88", "8"}});
  auto sim = start_sim(terminal);
  ProcessResult r = run({"op'1", terminal, "*sto"});
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_EQ(last_crlf_line(r.out).substr(0, 3), "200") << r.out;
  EXPECT_EQ(sim->registry(), "STRING StoNr1 7\nSTRING StoNr2 12345\n");
  EXPECT_EQ(status_row_text(terminal), "op'1|Registry|40||0|0\n");
  std::vector<std::string> lines = log_lines();
  EXPECT_TRUE(contains(lines, "Standortnummern (*STO) :")) << tree_->read_log();
  EXPECT_TRUE(contains(lines, "an Terminal " + terminal + ": 200UPDSYSDB a0d5 15 STRING StoNr1 7"))
      << tree_->read_log();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "Programm beendet");
}

TEST_F(WindowsRun, TheWindowsSimulatorTakesAWindowsTransfer) {
  const std::string terminal = "127.0.0.209";
  add_terminal_row(terminal);
  add_site_rows({{"7", "1"}, {"30", "1"}});
  // The Windows build of the simulator, started through Wine like the tool itself.
  Simulator sim({KESTAL_WINE64, KESTAL_SIM_EXE}, terminal, {}, tree_->root(), 30);
  ASSERT_TRUE(sim.ready()) << "kestal-sim.exe did not start on " << terminal;
  ProcessResult r = run({"user", terminal, "*STO"});
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_EQ(last_crlf_line(r.out), "200 entry accepted") << r.out;
  EXPECT_EQ(status_row_text(terminal), "user|Registry|40||0|0\n");
  EXPECT_EQ(sim.registry(), "STRING StoNr1 7\nSTRING StoNr2 30\n");
  std::string seen = sim.log();
  EXPECT_NE(seen.find("<- UPDSYSDB f63 16 STRING StoNr2 30"), std::string::npos) << seen;
  EXPECT_NE(seen.find("<- PASS **********"), std::string::npos) << seen;
}

TEST_F(WindowsRun, GenTransfersTheValuesOfACrLfDefinitionFile) {
  const std::string terminal = "127.0.0.203";
  add_terminal_row(terminal);
  // Written as a Windows editor writes it, with CR LF line ends.
  tree_->write_file(tree_->working_directory() / "KESTALENTRY.POSTGRES.INI",
                    "[REGVAL]\r\n"
                    // a CR of its own before the CR LF: text mode keeps it
                    "SQL001=SELECT trmnam, 'zwei', trmdpg\r\r\n"
                    "SQL002=FROM VXSYSTEM.VXS1140TRM WHERE trmnam = '$parm01'\r\n"
                    "[TYPE]\r\n"
                    "TYP001=\"STRING\",\"STRING\"\r\n"
                    "TYP002=DWORD\r\n"
                    "[NAME]\r\n"
                    "NAM001=TermName, Second, Progress\r\n");
  auto sim = start_sim(terminal);
  ProcessResult r = run({"user", terminal, "*gen", "/D"});
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_EQ(sim->registry(),
            "STRING TermName " + terminal + "\nSTRING Second zwei\nDWORD Progress 5\n");
  EXPECT_EQ(status_row_text(terminal), "user|Registry|40||0|0\n");
  // Verbose lines carry CR LF; a sent command keeps its own CR LF, so its console
  // line ends in CR CR LF, as text mode makes of it.
  EXPECT_NE(r.out.find("DbConnect\r\nListe mit Werten der Eintr\xE4"
                       "ge erstellen:\r\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Start Socket\r\n\r\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("An Terminal gesendet: USER **********\r\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("An Terminal gesendet: PASS **********\r\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("STRING Second zwei\r\r\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("m3k8r2p9w4tzqh"), std::string::npos) << "the terminal password leaked";
  EXPECT_EQ(last_crlf_line(r.out).substr(0, 3), "200") << r.out;
  std::vector<std::string> lines = log_lines();
  // The heading's own line feed gives an empty line; verbose mode logs each fragment.
  auto heading = std::find(lines.begin(), lines.end(),
                           "allgemeine Eintr\xE4"
                           "ge (*GEN) :");
  ASSERT_NE(heading, lines.end()) << tree_->read_log();
  ASSERT_NE(heading + 1, lines.end());
  EXPECT_EQ(heading[1], "");
  EXPECT_TRUE(contains(lines, "SELECT trmnam, 'zwei', trmdpg\r")) << tree_->read_log();
}

TEST_F(WindowsRun, RefusedPasswordEndsWith530) {
  const std::string terminal = "127.0.0.204";
  add_terminal_row(terminal);
  add_site_rows({{"7", "1"}});
  auto sim = start_sim(terminal, {"--reject-password"});
  ProcessResult r = run({"user", terminal, "*STO"});
  EXPECT_EQ(r.exit_code, 0);
  // The login message has no line end of its own, so the last reply's code follows it.
  EXPECT_EQ(r.out, "Anmeldung an Term. fehlgeschlagen, Fehler 530530\r\n");
  EXPECT_EQ(sim->registry(), "");
  EXPECT_EQ(status_row_text(terminal), "user|Registry|40|530|0|0\n");
  EXPECT_TRUE(contains(log_lines(), "   unerwartete Antwort v. Terminal : 530"));
}

TEST_F(WindowsRun, UnknownTerminalNameIsRecordedAs11001) {
  add_terminal_row(kUnknownHost);
  ProcessResult r = run({"user", kUnknownHost, "*STO"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "Terminal nicht gefunden!\r\n\r\n");
  EXPECT_EQ(status_row_text(kUnknownHost), "user|Registry|40|11001|0|0\n");
  std::vector<std::string> lines = log_lines();
  EXPECT_TRUE(contains(lines, "Socket-Error : 11001")) << tree_->read_log();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "Programm beendet");
}

TEST_F(WindowsRun, RefusedConnectionIsReportedAt10061AtOnce) {
  const std::string terminal = "127.0.0.205";  // nothing listens here
  add_terminal_row(terminal);
  auto start = std::chrono::steady_clock::now();
  ProcessResult r = run({"user", terminal, "*STO", "/D"});
  auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
          .count();
  EXPECT_LT(seconds, 15) << "a refused connect must not wait for the 30-second time-out";
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("SocketOpen-Error: 10061Socket-Error: 10061\r\n"), std::string::npos)
      << r.out;
  EXPECT_EQ(last_crlf_line(r.out), "");
  EXPECT_EQ(status_row_text(terminal), "user|Registry|40|10061|0|0\n");
  EXPECT_TRUE(contains(log_lines(), "Socket-Error : 10061")) << tree_->read_log();
}

TEST_F(WindowsRun, PeerClosingMidTransferFailsTheRemainingEntriesQuickly) {
  const std::string terminal = "127.0.0.206";
  add_terminal_row(terminal);
  add_site_rows({{"1", "1"}, {"2", "1"}, {"3", "1"}});
  // USER, PASS and the first entry are answered; then the terminal hangs up.
  auto sim = start_sim(terminal, {"--close-after", "3"});
  auto start = std::chrono::steady_clock::now();
  ProcessResult r = run({"user", terminal, "*STO"});
  auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
          .count();
  EXPECT_LT(seconds, 15) << "a closed connection must not wait for the 30-second time-out";
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(sim->registry(), "STRING StoNr1 1\n");
  std::vector<std::string> lines = log_lines();
  EXPECT_TRUE(contains(lines, "   Socket-Error Lesen : 10054") ||
              contains(lines, "   Socket-Error Schreiben : 10054"))
      << tree_->read_log();
  EXPECT_TRUE(contains(lines, "   Socket-Error Schreiben : 10022")) << tree_->read_log();
  EXPECT_NE(r.out.find("Write Error: 10022\r\n"), std::string::npos) << r.out;
  EXPECT_EQ(status_row_text(terminal), "user|Registry|40|10054|0|0\n");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "Programm beendet");
}

TEST_F(WindowsRun, LogRotatesOncePastTheLimitCountingCrLfAsTwoBytes) {
  // 10485760 bytes minus 40: the first line (47 bytes with its three CR LF) passes the
  // limit, so the file with that line becomes the backup and the next line starts anew.
  const std::size_t size = 10485760 - 40;
  std::string filler(size, 'x');
  for (std::size_t i = 99; i < size; i += 100) {
    filler[i - 1] = '\r';
    filler[i] = '\n';
  }
  tree_->write_file(tree_->log_path(), filler);
  tree_->write_file(tree_->backup_path(), "older backup\r\n");
  ProcessResult r = run({});
  EXPECT_EQ(r.exit_code, 91);
  std::string backup = read_whole_file(tree_->backup_path());
  EXPECT_EQ(backup.size(), size + 47);
  EXPECT_EQ(backup.substr(size), "\r\n\r\n" + kRunSeparator + "\r\n");
  EXPECT_EQ(log_lines(),
            (std::vector<std::string>{"Start : <TS>", "falsche Parameteranzahl --> Abbruch"}));

  // A file of exactly the limit is kept.
  fs::remove(tree_->backup_path());
  const std::string line = "Start : 00000000000000\r\n";  // 24 bytes, as long as a start line
  std::string full(10485760 - 47 - 24 - 37, 'y');
  tree_->write_file(tree_->log_path(), full);
  r = run({});
  EXPECT_EQ(fs::file_size(tree_->log_path()), full.size() + 47 + line.size() + 37);
  EXPECT_FALSE(fs::exists(tree_->backup_path()));
}

TEST_F(WindowsRun, LogRotatesAlsoWhenAnEmptyLinePassesTheLimit) {
  // Under /D the value statement's fragments are logged, then an empty line for the
  // missing SQL003; that empty line is the one that takes the file past the limit.
  const std::string sql1 = "SELECT 'a'";
  const std::string sql2 = "FROM VXSYSTEM.VXS1140TRM";
  tree_->write_file(tree_->working_directory() / "KESTALENTRY.POSTGRES.INI",
                    "[REGVAL]\r\nSQL001=" + sql1 + "\r\nSQL002=" + sql2 +
                        "\r\n[TYPE]\r\nTYP001=STRING\r\n[NAME]\r\nNAM001=A\r\n");
  const std::string before = "\r\n\r\n" + kRunSeparator + "\r\nStart : 00000000000000\r\n" +
                             "allgemeine Eintr\xE4"
                             "ge (*GEN) :\r\n\r\n" +
                             sql1 + "\r\n" + sql2 + "\r\n";
  add_terminal_row("127.0.0.208");  // the value statement's row; nothing listens there
  const std::size_t size = 10485760 - before.size() - 1;
  tree_->write_file(tree_->log_path(), std::string(size, 'z'));
  ProcessResult r = run({"user", "127.0.0.208", "*GEN", "/D"});
  EXPECT_EQ(r.exit_code, 0) << r.out;
  ASSERT_TRUE(fs::exists(tree_->backup_path())) << "the log was not rotated";
  std::string backup = read_whole_file(tree_->backup_path());
  EXPECT_EQ(backup.size(), size + before.size() + 2);
  EXPECT_EQ(backup.substr(backup.size() - sql2.size() - 4), sql2 + "\r\n\r\n");
  std::vector<std::string> lines = log_lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "STRING");
  EXPECT_EQ(lines.back(), "Programm beendet");
}

TEST(WindowsCredentialTool, UpdatesAStoreInPlace) {
  InstallTree tree("win-cred-update");
  std::string path = tree.credential_store_path().string();
  for (const char* value : {"first", "second"}) {
    ProcessResult r =
        run_windows(KESTAL_CRED_EXE, {"set", path, "LOGIN", value}, tree.root().string());
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  }
  ProcessResult r = run_windows(KESTAL_CRED_EXE, {"get", path, "LOGIN"}, tree.root().string());
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(last_crlf_line(r.out), "second") << r.out;
}

}  // namespace
