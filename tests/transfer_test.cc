// Whole runs of kestalentry as the back office starts them: its own process, a
// temporary installation tree, the loopback PostgreSQL cluster through psqlODBC, and
// kestal-sim on an address of its own. Checks exit code, output, run log, status row,
// the statements the server received and the bytes the terminal accepted.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "harness/install_tree.h"
#include "harness/postgres.h"
#include "harness/process.h"
#include "harness/simulator.h"
#include "harness/sqlite.h"

namespace fs = std::filesystem;

namespace {

class Transfer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(env_or_empty("KESTAL_PG_DSN").empty())
        << "run under scripts/with-postgres.sh (KESTAL_PG_DSN is not set)";
    name_ = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    tree_ = std::make_unique<InstallTree>("e2e-" + name_);
    psql("DELETE FROM vxsystem.vxs1140trm; DELETE FROM vxsystem.vxs113sto;");
    write_store({{"LOGIN", env_or_empty("KESTAL_PG_USER")},
                 {"PASS", env_or_empty("KESTAL_PG_PASSWORD")},
                 {"DB_SYSTEM", "POSTGRES"},
                 {"DATABASE", env_or_empty("KESTAL_PG_DSN")}});
  }

  void write_store(const std::vector<std::pair<std::string, std::string>>& settings) {
    fs::remove(tree_->credential_store_path());
    for (const auto& [key, value] : settings) {
      ProcessResult r = run_process(KESTAL_CRED_PATH,
                                    {"set", tree_->credential_store_path().string(), key, value},
                                    tree_->root().string());
      ASSERT_EQ(r.exit_code, 0) << r.err;
    }
  }

  ProcessResult run(const std::vector<std::string>& arguments,
                    const std::vector<std::pair<std::string, std::string>>& environment = {}) {
    log_offset_ = server_log_size();
    return run_process(KESTALENTRY_PATH, arguments, tree_->working_directory().string(),
                       environment);
  }

  // The tool's statements the server received during the last run.
  std::vector<std::string> statements() {
    std::vector<std::string> ours;
    for (std::string& s : statements_logged_since(log_offset_))
      if (s.find("VXSYSTEM.") != std::string::npos) ours.push_back(mask_timestamps(s));
    return ours;
  }

  std::vector<std::string> masked_log() {
    std::vector<std::string> lines = tree_->log_lines();
    for (std::string& l : lines) l = mask_timestamps(l);
    return lines;
  }

  std::unique_ptr<Simulator> start_sim(const std::string& address,
                                       const std::vector<std::string>& flags = {}) {
    return start_simulator(KESTAL_SIM_PATH, address, flags, tree_->root());
  }

  std::string name_;
  std::unique_ptr<InstallTree> tree_;
  std::uintmax_t log_offset_ = 0;
};

std::string last_line(const std::string& out) {
  if (out.empty() || out.back() != '\n') return "<no line end>";
  std::size_t start = out.rfind('\n', out.size() - 2);
  return out.substr(start == std::string::npos ? 0 : start + 1,
                    out.size() - 1 - (start == std::string::npos ? 0 : start + 1));
}

}  // namespace

namespace {

// Checks that `lines` begin with the opening pair of every run.
void expect_opening(const std::vector<std::string>& lines) {
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], kRunSeparator);
  EXPECT_EQ(lines[3], "Start : <TS>");
}

bool starts_with(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

TEST_F(Transfer, TypicalSiteTransfer) {
  const std::string terminal = "127.0.0.101";
  add_terminal_row(terminal);
  add_site_rows({{"7", "1"}, {"12345", "NULL"}, {"500", "4"}, {"600", "8"}, {"0", "1"}});
  auto sim = start_sim(terminal);
  ProcessResult result = run({"clerk", terminal, "*sto"});
  sim->stop();

  EXPECT_EQ(result.exit_code, 0) << result.out;
  // Last reply began with 200: printed whole.
  EXPECT_TRUE(starts_with(last_line(result.out), "200")) << result.out;
  EXPECT_EQ(result.out.find("Terminal"), std::string::npos);

  std::vector<std::string> log = masked_log();
  expect_opening(log);
  ASSERT_EQ(log.size(), 15u) << tree_->read_log();
  EXPECT_EQ(log[4], "Standortnummern (*STO) :");
  EXPECT_EQ(log[5], "");
  EXPECT_EQ(log[6], "-->Registry schreiben: ");
  EXPECT_TRUE(starts_with(log[7], "   200")) << log[7];
  EXPECT_TRUE(starts_with(log[8], "   331")) << log[8];
  EXPECT_TRUE(starts_with(log[9], "   230")) << log[9];
  EXPECT_EQ(log[10], "an Terminal 127.0.0.101: 200UPDSYSDB a0d5 15 STRING StoNr1 7");
  EXPECT_TRUE(starts_with(log[11], "   200")) << log[11];
  EXPECT_EQ(log[12], "an Terminal 127.0.0.101: 200UPDSYSDB 4eab 19 STRING StoNr2 12345");
  EXPECT_TRUE(starts_with(log[13], "   200")) << log[13];
  EXPECT_EQ(log[14], "Programm beendet");

  EXPECT_EQ(sim->registry(), "STRING StoNr1 7\nSTRING StoNr2 12345\n");
  EXPECT_EQ(status_row_text(terminal), "clerk|Registry|40||0|0\n");
  EXPECT_EQ(
      statements(),
      (std::vector<std::string>{
          "SELECT DISTINCT StoNum  FROM  VXSYSTEM.VXS113STO  WHERE ((StoSta <> 4 AND StoSta "
          "<> 8) OR StoSta IS NULL)  ORDER BY StoNum",
          "UPDATE VXSYSTEM.VXS1140TRM SET   TrmDtd = '<TS>',    TrmDbe = 'clerk',    TrmDnm = "
          "'Registry',    TrmDtp = 40,     TrmDst = NULL,   TrmDpg = 0,   TrmDac = 1  WHERE "
          "TrmNam = '127.0.0.101' ",
          "UPDATE VXSYSTEM.VXS1140TRM SET   TrmDtd = '<TS>',   TrmDac = 0  WHERE TrmNam = "
          "'127.0.0.101' "}));
}

}  // namespace

namespace {

TEST_F(Transfer, GeneralEntriesWithSeveralTypesPerKeyAndEmptyValues) {
  const std::string terminal = "127.0.0.102";
  add_terminal_row(terminal);
  tree_->write_file(tree_->working_directory() / "KESTALENTRY.POSTGRES.INI",
                    "[REGVAL]\n"
                    "SQL001=SELECT trmdbe, '', '  ', trmdtp\n"
                    "SQL002=FROM VXSYSTEM.VXS1140TRM WHERE TrmNam = '$parm01'\n"
                    "[TYPE]\n"
                    "TYP001=STRING,\"STRING\"\n"
                    "TYP002=STRING,DWORD\n"
                    "[NAME]\n"
                    "NAM001=User,Empty,Blank,Type\n");
  auto sim = start_sim(terminal);
  ProcessResult result = run({"clerk", terminal, "*GEN"});
  sim->stop();
  EXPECT_EQ(result.exit_code, 0) << result.out;
  EXPECT_TRUE(starts_with(last_line(result.out), "200")) << result.out;
  // Empty and blank values are sent as "0".
  EXPECT_EQ(sim->registry(), "STRING User night\nSTRING Empty 0\nSTRING Blank 0\nDWORD Type 3\n");
  std::vector<std::string> log = masked_log();
  expect_opening(log);
  ASSERT_GE(log.size(), 6u);
  EXPECT_EQ(log[4], "allgemeine Eintr\xE4ge (*GEN) :");
  EXPECT_EQ(status_row_text(terminal), "clerk|Registry|40||0|0\n");
  std::vector<std::string> sql = statements();
  ASSERT_EQ(sql.size(), 3u);
  EXPECT_EQ(sql[0],
            " SELECT trmdbe, '', '  ', trmdtp FROM VXSYSTEM.VXS1140TRM WHERE TrmNam = "
            "'127.0.0.102' ");
}

TEST_F(Transfer, RefusedPasswordEndsWith530) {
  const std::string terminal = "127.0.0.103";
  add_terminal_row(terminal);
  add_site_rows({{"7", "1"}});
  auto sim = start_sim(terminal, {"--reject-password"});
  ProcessResult result = run({"clerk", terminal, "*STO"});
  sim->stop();
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, "Anmeldung an Term. fehlgeschlagen, Fehler 530530\n");
  std::vector<std::string> log = masked_log();
  ASSERT_EQ(log.size(), 13u) << tree_->read_log();
  EXPECT_TRUE(starts_with(log[9], "   530")) << log[9];
  EXPECT_EQ(log[10], "   unerwartete Antwort v. Terminal : 530");
  EXPECT_EQ(log[11], "Anmeldung an Term. fehlgeschlagen, Fehler 530");
  EXPECT_EQ(log[12], "Programm beendet");
  EXPECT_EQ(sim->registry(), "");
  EXPECT_EQ(status_row_text(terminal), "clerk|Registry|40|530|0|0\n");
}

TEST_F(Transfer, ErrorReplyToOneEntryDoesNotStopTheNext) {
  const std::string terminal = "127.0.0.104";
  add_terminal_row(terminal);
  add_site_rows({{"7", "1"}, {"8", "1"}});
  auto sim = start_sim(terminal, {"--fail-entry", "1:550"});
  ProcessResult result = run({"clerk", terminal, "*STO"});
  sim->stop();
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_TRUE(starts_with(last_line(result.out), "200")) << result.out;
  EXPECT_EQ(sim->registry(), "STRING StoNr2 8\n");
  std::vector<std::string> log = masked_log();
  ASSERT_EQ(log.size(), 16u) << tree_->read_log();
  EXPECT_TRUE(starts_with(log[11], "   550")) << log[11];
  EXPECT_EQ(log[12], "   unerwartete Antwort v. Terminal : 550");
  EXPECT_EQ(log[13], "an Terminal 127.0.0.104: 200UPDSYSDB a465 15 STRING StoNr2 8");
  EXPECT_EQ(status_row_text(terminal), "clerk|Registry|40|550|0|0\n");
}

TEST_F(Transfer, UnresolvableTerminalIsRecordedInTheStatusRow) {
  // Blanks make the name invalid before any resolver is asked: nothing leaves the machine.
  const std::string terminal = "no such terminal";
  add_terminal_row(terminal);
  add_site_rows({{"7", "1"}});
  ProcessResult result = run({"clerk", terminal, "*STO"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, "Terminal nicht gefunden!\n\n");
  std::vector<std::string> log = masked_log();
  ASSERT_EQ(log.size(), 8u) << tree_->read_log();
  ASSERT_TRUE(starts_with(log[6], "Socket-Error : 1100")) << log[6];
  std::string code = log[6].substr(std::string("Socket-Error : ").size());
  EXPECT_EQ(log[7], "Programm beendet");
  EXPECT_EQ(status_row_text(terminal), "clerk|Registry|40|" + code + "|0|0\n");
}

TEST_F(Transfer, RefusedConnectionIsReportedAtOnce) {
  const std::string terminal = "127.0.0.105";  // nothing listens here
  add_terminal_row(terminal);
  auto started = std::chrono::steady_clock::now();
  ProcessResult result = run({"clerk", terminal, "*STO", "/D"});
  auto elapsed = std::chrono::steady_clock::now() - started;
  EXPECT_LT(elapsed, std::chrono::seconds(10));
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out,
            "DbConnect\nStart Socket\n\nSocketOpen-Error: 10061Socket-Error: 10061\n\n");
  std::vector<std::string> log = masked_log();
  ASSERT_EQ(log.size(), 8u) << tree_->read_log();
  EXPECT_EQ(log[6], "Socket-Error : 10061");
  EXPECT_EQ(status_row_text(terminal), "clerk|Registry|40|10061|0|0\n");
}

TEST_F(Transfer, FailedStartMarkDoesNotStopTheRun) {
  const std::string terminal = "127.0.0.106";  // no status row: every update reports 100
  add_site_rows({{"7", "1"}});
  auto sim = start_sim(terminal);
  ProcessResult result = run({"clerk", terminal, "*STO", "/d"});
  sim->stop();
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_NE(result.out.find("Schreiben in Tab Vxs1140Trm fehlgeschlagen, Error: 100\n"),
            std::string::npos);
  EXPECT_NE(result.out.find("\nSchreiben in Tab Vxs1140Trm fehlgeschlagen, Error: 100\n"),
            std::string::npos);
  EXPECT_EQ(sim->registry(), "STRING StoNr1 7\n");
  std::vector<std::string> log = masked_log();
  ASSERT_GE(log.size(), 8u);
  EXPECT_EQ(log[6], "Fehler Schreiben Vxs1140Trm : 100");
  EXPECT_EQ(log[7], "");
  EXPECT_EQ(psql("SELECT count(*) FROM vxsystem.vxs1140trm;"), "0\n");
}

TEST_F(Transfer, UnreachableDatabaseEndsWith255) {
  write_store({{"LOGIN", "kestal"},
               {"PASS", "s3cret-pass"},
               {"DB_SYSTEM", "POSTGRES"},
               {"DATABASE", "no_such_source"}});
  ProcessResult quiet = run({"clerk", "127.0.0.107", "*STO"});
  EXPECT_EQ(quiet.exit_code, 255);
  EXPECT_EQ(quiet.out, "Datenbankverbindung fehlgeschlagen, Fehler: -1\n");
  ProcessResult verbose = run({"clerk", "127.0.0.107", "*STO", "/D"});
  EXPECT_EQ(verbose.exit_code, 255);
  EXPECT_EQ(verbose.out,
            "Datenbankverbindung fehlgeschlagen, Fehler: -1\n"
            "DBSys   : POSTGRES\nUser    : kestal\nPasswort: **********\n"
            "Net8    : no_such_source\nSchema  : Vxsystem\n");
  std::vector<std::string> log = masked_log();
  ASSERT_EQ(log.size(), 10u) << tree_->read_log();
  EXPECT_EQ(log[4], "DbConnect-Fehler -1   --> Abbruch");
  EXPECT_EQ(log[9], "DbConnect-Fehler -1   --> Abbruch");
  EXPECT_EQ(tree_->read_log().find("s3cret"), std::string::npos);
}

TEST_F(Transfer, EmptySiteTableEndsWithTheLoginReply) {
  const std::string terminal = "127.0.0.108";
  add_terminal_row(terminal);
  add_site_rows({{"0", "1"}, {"5", "4"}});
  auto sim = start_sim(terminal);
  ProcessResult result = run({"clerk", terminal, "*STO"});
  sim->stop();
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, "230\n");
  EXPECT_EQ(sim->registry(), "");
  EXPECT_EQ(status_row_text(terminal), "clerk|Registry|40||0|0\n");
}

TEST_F(Transfer, LogRotatesDuringTheRun) {
  const std::string terminal = "127.0.0.109";
  add_terminal_row(terminal);
  add_site_rows({{"7", "1"}});
  const std::string earlier(10485760 - 100, 'x');
  tree_->write_file(tree_->log_path(), earlier + "\n");
  auto sim = start_sim(terminal);
  ProcessResult result = run({"clerk", terminal, "*STO"});
  sim->stop();
  EXPECT_EQ(result.exit_code, 0);
  std::string backup = read_whole_file(tree_->backup_path());
  std::string current = tree_->read_log();
  ASSERT_GT(backup.size(), 10485760u);
  EXPECT_EQ(backup.compare(0, earlier.size(), earlier), 0);
  EXPECT_EQ(backup.back(), '\n');
  // Nothing lost and nothing torn across the two files.
  std::string whole = mask_timestamps((backup + current).substr(earlier.size() + 1));
  EXPECT_EQ(whole.rfind("\n\n" + kRunSeparator + "\nStart : <TS>\nStandortnummern (*STO) :\n", 0),
            0u);
  EXPECT_TRUE(current.size() >= 17 && current.substr(current.size() - 17) == "Programm beendet\n");
}

TEST_F(Transfer, MissingLogDirectoryDoesNotStopTheRun) {
  tree_ = std::make_unique<InstallTree>("e2e-nolog", /*with_log_directory=*/false);
  write_store({{"LOGIN", env_or_empty("KESTAL_PG_USER")},
               {"PASS", env_or_empty("KESTAL_PG_PASSWORD")},
               {"DB_SYSTEM", "POSTGRES"},
               {"DATABASE", env_or_empty("KESTAL_PG_DSN")}});
  const std::string terminal = "127.0.0.110";
  add_terminal_row(terminal);
  add_site_rows({{"7", "1"}});
  auto sim = start_sim(terminal);
  ProcessResult result = run({"clerk", terminal, "*STO"});
  sim->stop();
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_TRUE(starts_with(last_line(result.out), "200"));
  EXPECT_EQ(sim->registry(), "STRING StoNr1 7\n");
  EXPECT_FALSE(fs::exists(tree_->root() / "Velmarion_php"));
}

TEST_F(Transfer, QuotesInNamesReachTheRowUnchanged) {
  const std::string terminal = "127.0.0.111";
  const std::string user = "O'Brien'; DELETE FROM x; --";
  add_terminal_row(terminal);
  add_terminal_row("bystander");
  auto sim = start_sim(terminal);
  ProcessResult result = run({user, terminal, "*STO"});
  sim->stop();
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(status_row_text(terminal), user + "|Registry|40||0|0\n");
  EXPECT_EQ(status_row_text("bystander"), "night||3|7|5|0\n");
}

TEST_F(Transfer, TypicalSiteTransferOnTheSqliteDefault) {
  SqliteSource source = make_sqlite_source(tree_->root() / "sqlite");
  sqlite_exec(
      source,
      "INSERT INTO vxs1140trm (trmnam, trmdst, trmdpg, trmdac) VALUES ('127.0.0.112', 7, 5, "
      "0); INSERT INTO vxs113sto (stonum, stosta) VALUES (12345, NULL), (7, 1), (9, 8);");
  write_store(
      {{"LOGIN", "demo"}, {"PASS", "demo"}, {"DB_SYSTEM", "SQLITE"}, {"DATABASE", source.dsn}});
  auto sim = start_sim("127.0.0.112");
  ProcessResult result =
      run({"clerk", "127.0.0.112", "*STO"}, {{"ODBCINI", source.odbc_ini.string()}});
  sim->stop();
  EXPECT_EQ(result.exit_code, 0) << result.out;
  EXPECT_TRUE(starts_with(last_line(result.out), "200")) << result.out;
  EXPECT_EQ(sim->registry(), "STRING StoNr1 7\nSTRING StoNr2 12345\n");
  EXPECT_EQ(sqlite_exec(source,
                        "SELECT trmdbe, trmdnm, trmdtp, coalesce(trmdst, 'NULL'), trmdpg, trmdac "
                        "FROM vxs1140trm;"),
            "clerk|Registry|40|NULL|0|0\n");
  std::vector<std::string> log = masked_log();
  ASSERT_EQ(log.size(), 15u) << tree_->read_log();
  EXPECT_EQ(log[14], "Programm beendet");
}

}  // namespace

namespace {

TEST_F(Transfer, TerminalClosingMidTransferFailsTheRemainingEntries) {
  const std::string terminal = "127.0.0.113";
  add_terminal_row(terminal);
  add_site_rows({{"7", "1"}, {"8", "1"}, {"9", "1"}});
  // Answers USER, PASS and the first UPDSYSDB, then closes.
  auto sim = start_sim(terminal, {"--close-after", "3"});
  ProcessResult result = run({"clerk", terminal, "*STO"});
  sim->stop();
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(sim->registry(), "STRING StoNr1 7\n");
  std::vector<std::string> log = masked_log();
  ASSERT_EQ(log.size(), 17u) << tree_->read_log();
  EXPECT_EQ(log[12], "an Terminal 127.0.0.113: 200UPDSYSDB a465 15 STRING StoNr2 8");
  EXPECT_EQ(log[13], "   Socket-Error Lesen : 10054");
  EXPECT_EQ(log[14], "an Terminal 127.0.0.113: 200UPDSYSDB a4f5 15 STRING StoNr3 9");
  EXPECT_EQ(log[15], "   Socket-Error Schreiben : 10022");
  EXPECT_EQ(log[16], "Programm beendet");
  // The engine's own start reply of the last entry is the last reply the run saw.
  EXPECT_EQ(result.out, "Write Error: 10022\n2\n");
  // The row keeps the failure that lost the connection, not the 10022s after it.
  EXPECT_EQ(status_row_text(terminal), "clerk|Registry|40|10054|0|0\n");
}

}  // namespace

namespace {

const char* const kOutcomeFd = "KESTAL_OUTCOME_FD";

// The file a run writes its outcome line to: open without close-on-exec, so the run
// inherits the descriptor that KESTAL_OUTCOME_FD names.
class OutcomeFile {
 public:
  explicit OutcomeFile(const fs::path& path)
      : path_(path), fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600)) {}
  ~OutcomeFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  OutcomeFile(const OutcomeFile&) = delete;
  OutcomeFile& operator=(const OutcomeFile&) = delete;
  std::string fd() const { return std::to_string(fd_); }
  std::string text() const { return read_whole_file(path_); }

 private:
  fs::path path_;
  int fd_;
};

TEST_F(Transfer, OutcomeLineTellsHowTheRunEnded) {
  const struct {
    const char* terminal;
    std::vector<std::string> sim_flags;
    std::vector<std::string> arguments;
    const char* line;
  } cases[] = {
      {"127.0.0.114",
       {},
       {"clerk", "127.0.0.114", "*STO"},
       "kestalentry-outcome stage=sent step=- code=0 entries=2 sent=2 accepted=2 row=0 signal=0 "
       "exit=0\n"},
      {"127.0.0.115",
       {"--fail-entry", "1:550"},
       {"clerk", "127.0.0.115", "*STO"},
       "kestalentry-outcome stage=sent step=- code=550 entries=2 sent=2 accepted=1 row=0 "
       "signal=0 exit=0\n"},
      {"127.0.0.115",
       {},
       {"clerk", "127.0.0.115", "*XYZ"},
       "kestalentry-outcome stage=entries step=mode code=91 entries=0 sent=0 accepted=0 row=- "
       "signal=0 exit=91\n"},
  };
  add_site_rows({{"7", "1"}, {"8", "1"}});
  for (const auto& c : cases) {
    add_terminal_row(c.terminal);
    auto sim = start_sim(c.terminal, c.sim_flags);
    OutcomeFile outcome(tree_->root() / "outcome");
    ProcessResult result = run(c.arguments, {{kOutcomeFd, outcome.fd()}});
    sim->stop();
    EXPECT_EQ(outcome.text(), c.line) << c.arguments[2] << " " << c.terminal;
    psql("DELETE FROM vxsystem.vxs1140trm;");
  }
}

// kestalentry in the background with standard output in a file; it dies with the
// test process should that be killed.
pid_t start_in_background(const std::vector<std::string>& arguments, const fs::path& directory,
                          const fs::path& out, const OutcomeFile& outcome) {
  pid_t pid = fork();
  if (pid != 0) return pid;
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (freopen(out.c_str(), "w", stdout) == nullptr || chdir(directory.c_str()) != 0) _exit(127);
  setenv(kOutcomeFd, outcome.fd().c_str(), 1);
  std::vector<char*> argv{const_cast<char*>(KESTALENTRY_PATH)};
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(KESTALENTRY_PATH, argv.data());
  _exit(127);
}

TEST_F(Transfer, SigtermDuringTheTransferEndsAtOnceWithATrueRow) {
  const std::string terminal = "127.0.0.116";
  add_terminal_row(terminal);
  add_site_rows({{"7", "1"}, {"8", "1"}});
  // Logs in, then never answers the first entry: the run would wait 30 s.
  auto sim = start_sim(terminal, {"--silent-after", "2"});
  const fs::path out = tree_->root() / "sigterm.out";
  OutcomeFile outcome(tree_->root() / "sigterm.outcome");
  pid_t pid =
      start_in_background({"clerk", terminal, "*STO"}, tree_->working_directory(), out, outcome);
  ASSERT_GT(pid, 0);
  const std::string sent_line = "an Terminal " + terminal + ": 200UPDSYSDB";
  for (int i = 0; i < 1000 && tree_->read_log().find(sent_line) == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // into the receive wait

  const auto signalled = std::chrono::steady_clock::now();
  kill(pid, SIGTERM);
  int status = 0;
  pid_t ended = 0;
  while ((ended = waitpid(pid, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() - signalled < std::chrono::seconds(5))
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const auto took = std::chrono::steady_clock::now() - signalled;
  if (ended == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  sim->stop();

  EXPECT_LT(took, std::chrono::seconds(1));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(status_row_text(terminal), "clerk|Registry|40|10004|0|0\n");
  EXPECT_EQ(outcome.text(),
            "kestalentry-outcome stage=sent step=- code=10004 entries=2 sent=1 accepted=0 row=0 "
            "signal=15 exit=0\n");
  std::vector<std::string> log = masked_log();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "Abbruch durch Signal 15");
  EXPECT_EQ(log.back(), "Programm beendet");
}

}  // namespace
