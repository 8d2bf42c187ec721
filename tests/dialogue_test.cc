// Tests of the login and entry dialogue against kestal-sim over loopback TCP: the
// bytes on the wire, the run log and console texts, and every injected fault.
#include "terminal/dialogue.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "harness/install_tree.h"
#include "harness/simulator.h"
#include "log/format.h"
#include "terminal/crc16.h"
#include "terminal/terminal_socket.h"

namespace fs = std::filesystem;

namespace {

// One transfer against a simulator of its own on `address`:5010.
struct DialogueRun {
  std::string address;
  fs::path folder;
  std::string console;
  Report report;
  std::vector<std::int32_t> statuses;
  std::unique_ptr<Simulator> sim;
  TerminalSocket* socket = nullptr;
  Dialogue dialogue;
  std::vector<Entry> entries;

  DialogueRun(const std::string& address_, std::vector<std::string> flags, int timeout = 2)
      : address(address_),
        folder(fs::temp_directory_path() /
               ("kestal-dialogue-" + std::to_string(getpid()) + "-" + address_)) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    report.log = RunLog{(folder / "KestalLog.txt").string(), (folder / "KestalLog.bak").string()};
    report.console.capture = &console;
    flags.push_back("--capture");
    flags.push_back((folder / "capture.bin").string());
    sim = std::make_unique<Simulator>(KESTAL_SIM_PATH, address, flags, folder);
    EXPECT_TRUE(sim->ready());
    std::int32_t error = 0;
    socket = tsock_create(error);
    tsock_set_host(socket, address);
    tsock_set_port(socket, 5010);
    tsock_set_timeout(socket, timeout);
    EXPECT_EQ(tsock_connect(socket), 0);
  }
  ~DialogueRun() {
    tsock_free(socket);
    sim.reset();
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  void add(const std::string& type, const std::string& name, const std::string& value) {
    entries.push_back({type, name, value});
  }
  std::int32_t transfer() {
    TerminalLink link{socket, address, report,
                      [this](std::int32_t code) { statuses.push_back(code); }};
    return transfer_entries(dialogue, entries, link);
  }
  std::vector<std::string> log() const {
    std::vector<std::string> lines;
    std::string text = read_whole_file(folder / "KestalLog.txt");
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
      lines.push_back(text.substr(start, end - start));
    return lines;
  }
  std::string capture() const { return read_whole_file(folder / "capture.bin"); }
};

const std::string kLogin = "USER Supervisor\r\nPASS m3k8r2p9w4tzqh\r\n";
const std::vector<std::string> kLoginLog = {
    "-->Registry schreiben: ", "   200 kestal-sim terminal ready",
    "   331 user name okay, need password", "   230 user logged in"};

std::vector<std::string> login_log_and(const std::vector<std::string>& more) {
  std::vector<std::string> lines = kLoginLog;
  lines.insert(lines.end(), more.begin(), more.end());
  return lines;
}

}  // namespace

TEST(Dialogue, LoginAndEntriesGoOnTheWireExactly) {
  DialogueRun run("127.0.0.30", {});
  run.add("STRING", "StoNr3", "00003");
  run.add("STRING", "StoNr30", "00030");
  EXPECT_EQ(run.transfer(), 0);
  run.sim->stop();
  EXPECT_EQ(run.capture(), kLogin +
                               "UPDSYSDB 34f5 19 STRING StoNr3 00003\r\n"
                               "UPDSYSDB 2e7 20 STRING StoNr30 00030\r\n");
  EXPECT_EQ(run.sim->registry(), "STRING StoNr3 00003\nSTRING StoNr30 00030\n");
  EXPECT_EQ(run.log(),
            login_log_and({"an Terminal 127.0.0.30: 200UPDSYSDB 34f5 19 STRING StoNr3 00003",
                           "   200 entry accepted",
                           "an Terminal 127.0.0.30: 200UPDSYSDB 2e7 20 STRING StoNr30 00030",
                           "   200 entry accepted"}));
  EXPECT_EQ(run.console, "");
  EXPECT_EQ(run.dialogue.last_reply, "200 entry accepted");
  EXPECT_TRUE(run.statuses.empty());
  ASSERT_EQ(run.dialogue.command_sequence.size(), 7u);
  EXPECT_EQ(run.dialogue.command_sequence.at(5).command, "");
  EXPECT_EQ(run.dialogue.command_sequence.at(6).expected, "200");
  EXPECT_EQ(run.dialogue.command_sequence.at(6).command, "UPDSYSDB 2e7 20 STRING StoNr30 00030");
  EXPECT_EQ(run.dialogue.step_cursor, 7u);
}

TEST(Dialogue, VerboseConsoleMasksLoginAndEmptyValueIsSentAsZero) {
  DialogueRun run("127.0.0.31", {});
  run.report.verbose = true;
  run.add("DWORD", "Flag", "");
  run.add("STRING", "PASSWORT", "x");
  EXPECT_EQ(run.transfer(), 0);
  std::string first =
      text_printf("UPDSYSDB %x 12 DWORD Flag 0", crc16_block("DWORD Flag 0", 12, 0));
  EXPECT_EQ(run.console,
            "Befehlsfolge festlegen.\n"
            "Terminalantwort: 200 kestal-sim terminal ready\r\n"
            "An Terminal gesendet: USER **********\n"
            "Terminalantwort: 331 user name okay, need password\r\n"
            "An Terminal gesendet: PASS **********\n"
            "Terminalantwort: 230 user logged in\r\n"
            "An Terminal gesendet: " +
                first +
                "\r\n"
                "Terminalantwort: 200 entry accepted\r\n"
                "An Terminal gesendet: UPDSY**********\n"
                "Terminalantwort: 200 entry accepted\r\n");
  run.sim->stop();
  EXPECT_EQ(run.sim->registry(), "DWORD Flag 0\nSTRING PASSWORT x\n");
}

TEST(Dialogue, NoEntriesEndsAfterTheLogin) {
  DialogueRun run("127.0.0.32", {});
  EXPECT_EQ(run.transfer(), 0);
  EXPECT_EQ(run.dialogue.command_sequence.size(), 3u);
  EXPECT_EQ(run.dialogue.last_reply, "230 user logged in");
  EXPECT_EQ(run.log(), kLoginLog);
  run.sim->stop();
  EXPECT_EQ(run.capture(), kLogin);
}

TEST(Dialogue, RejectedPasswordEndsTheTransferWith530) {
  DialogueRun run("127.0.0.33", {"--reject-password"});
  run.add("STRING", "StoNr1", "7");
  EXPECT_EQ(run.transfer(), 530);
  EXPECT_EQ(run.log(), std::vector<std::string>(
                           {"-->Registry schreiben: ", "   200 kestal-sim terminal ready",
                            "   331 user name okay, need password", "   530 login refused",
                            "   unerwartete Antwort v. Terminal : 530",
                            "Anmeldung an Term. fehlgeschlagen, Fehler 530"}));
  EXPECT_EQ(run.console, "Anmeldung an Term. fehlgeschlagen, Fehler 530");
  EXPECT_EQ(run.statuses, std::vector<std::int32_t>{530});
  EXPECT_EQ(run.dialogue.last_reply, "530");
  run.sim->stop();
  EXPECT_EQ(run.capture(), kLogin);
  EXPECT_EQ(run.sim->registry(), "");
}

TEST(Dialogue, ErrorReplyToOneEntryDoesNotStopTheNext) {
  DialogueRun run("127.0.0.34", {"--fail-entry", "1:550"});
  run.report.verbose = true;
  run.add("STRING", "StoNr1", "7");
  run.add("STRING", "StoNr2", "12345");
  EXPECT_EQ(run.transfer(), 0);  // the last entry's result
  EXPECT_EQ(run.statuses, std::vector<std::int32_t>{550});
  std::vector<std::string> log = run.log();
  ASSERT_EQ(log.size(), 9u);
  EXPECT_EQ(log[5], "   550 entry refused (injected fault)");
  EXPECT_EQ(log[6], "   unerwartete Antwort v. Terminal : 550");
  EXPECT_EQ(log[8], "   200 entry accepted");
  run.sim->stop();
  EXPECT_EQ(run.sim->registry(), "STRING StoNr2 12345\n");
}

TEST(Dialogue, ReplyCodeThatIsNotPositiveReports99) {
  DialogueRun run("127.0.0.35", {"--fail-entry", "1:0"});
  run.add("STRING", "StoNr1", "7");
  EXPECT_EQ(run.transfer(), 99);
  EXPECT_EQ(run.dialogue.last_reply, "000");
  EXPECT_EQ(run.statuses, std::vector<std::int32_t>{99});
}

TEST(Dialogue, NulReplyCountsAsNoAnswer) {
  DialogueRun run("127.0.0.36", {"--nul-reply", "1"});
  run.add("STRING", "StoNr1", "7");
  EXPECT_EQ(run.transfer(), 99);
  EXPECT_EQ(run.dialogue.last_reply, " 99");
  EXPECT_EQ(run.statuses, std::vector<std::int32_t>{99});
  std::string line =
      text_printf("UPDSYSDB %x 15 STRING StoNr1 7", crc16_block("STRING StoNr1 7", 15, 0));
  EXPECT_EQ(run.log(), login_log_and({"an Terminal 127.0.0.36: 200" + line, "   ",
                                      "   unerwartete Antwort v. Terminal : 99"}));
}

TEST(Dialogue, LongReplyIsLoggedWithItsFirst190Characters) {
  DialogueRun run("127.0.0.37", {"--long-reply", "1"});
  run.add("STRING", "StoNr1", "7");
  EXPECT_EQ(run.transfer(), 0);
  const std::string& reply = run.dialogue.last_reply;
  ASSERT_GT(reply.size(), 190u);
  EXPECT_EQ(reply.compare(0, 4, "200 "), 0);
  EXPECT_EQ(run.log().back(), "   " + reply.substr(0, 190));
}

TEST(Dialogue, RepliesInPiecesAreGathered) {
  DialogueRun run("127.0.0.38", {"--split-replies"});
  run.add("STRING", "StoNr3", "00003");
  run.add("STRING", "StoNr30", "00030");
  EXPECT_EQ(run.transfer(), 0);
  EXPECT_EQ(run.log().size(), 8u);
  EXPECT_EQ(run.log()[7], "   200 entry accepted");
  run.sim->stop();
  EXPECT_EQ(run.sim->registry(), "STRING StoNr3 00003\nSTRING StoNr30 00030\n");
}

TEST(Dialogue, PeerClosingMidTransferFailsTheRemainingEntries) {
  DialogueRun run("127.0.0.39", {"--close-after", "3"});
  for (int i = 1; i <= 4; ++i) run.add("STRING", "StoNr" + std::to_string(i), "1");
  EXPECT_EQ(run.transfer(), 10022);
  std::vector<std::string> log = run.log();
  ASSERT_EQ(log.size(), 12u);
  EXPECT_EQ(log[5], "   200 entry accepted");
  EXPECT_EQ(log[7], "   Socket-Error Lesen : 10054");
  EXPECT_EQ(log[9], "   Socket-Error Schreiben : 10022");
  EXPECT_EQ(log[11], "   Socket-Error Schreiben : 10022");
  EXPECT_EQ(run.console, "Write Error: 10022\nWrite Error: 10022\n");
  // The failure that lost the connection is recorded once; the 10022s after it are not.
  EXPECT_EQ(run.statuses, std::vector<std::int32_t>{10054});
  run.sim->stop();
  EXPECT_EQ(run.sim->registry(), "STRING StoNr1 1\n");
}

TEST(Dialogue, MissingGreetingFailsTheLoginAfterTheTimeOut) {
  DialogueRun run("127.0.0.40", {"--no-greeting"}, 1);
  run.add("STRING", "StoNr1", "7");
  EXPECT_EQ(run.transfer(), 10035);  // the asynchronous connect's code
  EXPECT_EQ(run.log(),
            std::vector<std::string>({"-->Registry schreiben: ", "   Socket-Error Lesen : 10035",
                                      "Anmeldung an Term. fehlgeschlagen, Fehler 10035"}));
  EXPECT_EQ(run.dialogue.step_cursor, 0u);
  EXPECT_EQ(run.statuses, std::vector<std::int32_t>{10035});
}

TEST(Dialogue, SilentTerminalIsTakenAsGoneAfterOneTimeOut) {
  DialogueRun run("127.0.0.41", {"--silent-after", "2"}, 1);
  for (int i = 1; i <= 4; ++i) run.add("STRING", "StoNr" + std::to_string(i), "1");
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(run.transfer(), 10022);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1900));
  std::vector<std::string> log = run.log();
  ASSERT_EQ(log.size(), 12u);
  EXPECT_EQ(log[5], "   Socket-Error Lesen : 10035");
  EXPECT_EQ(log[7], "   Socket-Error Schreiben : 10022");
  EXPECT_EQ(log[11], "   Socket-Error Schreiben : 10022");
  EXPECT_EQ(run.console, "Write Error: 10022\nWrite Error: 10022\nWrite Error: 10022\n");
  EXPECT_EQ(run.statuses, std::vector<std::int32_t>{10035});  // the time-out's code stays
  run.sim->stop();
  EXPECT_EQ(run.capture(), kLogin + "UPDSYSDB a255 15 STRING StoNr1 1\r\n");
}

TEST(Dialogue, DelayedRepliesStillComplete) {
  DialogueRun run("127.0.0.42", {"--delay-ms", "250"}, 2);
  run.add("STRING", "StoNr1", "7");
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(run.transfer(), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4 * 250));
}
