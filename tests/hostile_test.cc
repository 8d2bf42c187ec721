// Hostile input end to end: names that try to end SQL literals, entry definition
// files and credential stores that are huge, binary or malformed, and terminals that
// answer byte by byte, never stop, or flood. Each run must end as designed, with the
// right exit code, an intact status table and no file written where none belongs.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "harness/install_tree.h"
#include "harness/postgres.h"
#include "harness/process.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// A terminal of the test's own on <address>:5010: accepts one connection and plays
// its script on it; records every byte the tool sent.
class TinyTerminal {
 public:
  using Script = std::function<void(TinyTerminal&)>;

  TinyTerminal(const std::string& address, Script script) : script_(std::move(script)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(5010);
    inet_pton(AF_INET, address.c_str(), &where.sin_addr);
    ready_ = ::bind(listener_, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0 &&
             ::listen(listener_, 4) == 0;
    if (ready_) thread_ = std::thread([this] { serve(); });
  }
  ~TinyTerminal() { finish(); }
  TinyTerminal(const TinyTerminal&) = delete;
  TinyTerminal& operator=(const TinyTerminal&) = delete;

  bool ready() const { return ready_; }
  bool connected() const { return connected_; }

  // Stops waiting for a connection and collects the thread; afterwards received().
  void finish() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) ::close(listener_);
    listener_ = -1;
  }
  const std::string& received() const { return received_; }

  // For scripts. False once the tool has closed the connection.
  bool send(std::string_view bytes) {
    while (!bytes.empty()) {
      ssize_t sent = ::send(connection_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
  }
  // The next line the tool sent, without its CR LF; empty after a close or time-out.
  std::string read_line(std::chrono::milliseconds timeout = 40s) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      std::size_t end = received_.find("\r\n", consumed_);
      if (end != std::string::npos) {
        std::string line = received_.substr(consumed_, end - consumed_);
        consumed_ = end + 2;
        return line;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !read_more(static_cast<int>(left.count()))) return {};
    }
  }
  // Reads until the tool closes the connection (or the time-out passes).
  void drain(std::chrono::milliseconds timeout = 40s) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !read_more(static_cast<int>(left.count()))) return;
    }
  }

 private:
  bool read_more(int timeout_ms) {
    pollfd p{connection_, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0) return false;
    char buffer[4096];
    ssize_t got = ::recv(connection_, buffer, sizeof buffer, 0);
    if (got <= 0) return false;
    received_.append(buffer, static_cast<std::size_t>(got));
    return true;
  }

  void serve() {
    pollfd p{listener_, POLLIN, 0};
    while (!stop_) {
      if (::poll(&p, 1, 50) <= 0) continue;
      connection_ = ::accept(listener_, nullptr, nullptr);
      if (connection_ < 0) return;
      connected_ = true;
      script_(*this);
      ::close(connection_);
      return;
    }
  }

  Script script_;
  int listener_ = -1;
  int connection_ = -1;
  bool ready_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<bool> connected_{false};
  std::thread thread_;
  std::string received_;
  std::size_t consumed_ = 0;
};

// A terminal that answers every command as it should.
void well_behaved(TinyTerminal& t) {
  if (!t.send("200 ready\r\n")) return;
  if (t.read_line().empty() || !t.send("331 user ok\r\n")) return;
  if (t.read_line().empty() || !t.send("230 logged in\r\n")) return;
  for (;;) {
    std::string line = t.read_line();
    if (line.empty() || !t.send("200 OK\r\n")) return;
  }
}

// The entry texts of the UPDSYSDB lines in what the terminal received; each line's
// length field must count its entry text.
std::vector<std::string> entry_texts(const std::string& received) {
  std::vector<std::string> texts;
  std::size_t pos = 0;
  while ((pos = received.find("UPDSYSDB ", pos)) != std::string::npos) {
    std::size_t end = received.find("\r\n", pos);
    std::string line = received.substr(pos, end - pos);
    std::size_t crc_end = line.find(' ', 9);
    std::size_t length_end = line.find(' ', crc_end + 1);
    std::string text = line.substr(length_end + 1);
    EXPECT_EQ(std::stoul(line.substr(crc_end + 1, length_end - crc_end - 1)), text.size()) << line;
    texts.push_back(text);
    pos = end;
  }
  return texts;
}

// Deterministic bytes of every value, NUL, CR and LF included.
std::string garbage(std::size_t size, std::uint32_t seed) {
  std::string bytes;
  bytes.reserve(size);
  for (std::size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes.push_back(static_cast<char>(seed >> 16));
  }
  return bytes;
}

std::string last_line(const std::string& out) {
  if (out.empty() || out.back() != '\n') return "<no line end>";
  std::size_t start = out.rfind('\n', out.size() - 2);
  start = start == std::string::npos ? 0 : start + 1;
  return out.substr(start, out.size() - 1 - start);
}

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}
std::string tail_of(const std::string& text) {
  return text.substr(text.size() > 300 ? text.size() - 300 : 0);
}

const char kControlTerminal[] = "control-terminal";

class Hostile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(env_or_empty("KESTAL_PG_DSN").empty())
        << "run under scripts/with-postgres.sh (KESTAL_PG_DSN is not set)";
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    tree_ = std::make_unique<InstallTree>("hostile-" + name);
    psql("DELETE FROM vxsystem.vxs1140trm; DELETE FROM vxsystem.vxs113sto;");
    psql(std::string("INSERT INTO vxsystem.vxs1140trm (trmnam, trmdtd, trmdbe, trmdnm, trmdtp, "
                     "trmdst, trmdpg, trmdac) VALUES ('") +
         kControlTerminal + "', '20200101000000', 'someone', 'Registry', 40, 3, 2, 1);");
    psql("INSERT INTO vxsystem.vxs113sto (stonum, stosta) VALUES ('7', 1), ('12345', 2);");
    write_store({{"LOGIN", env_or_empty("KESTAL_PG_USER")},
                 {"PASS", env_or_empty("KESTAL_PG_PASSWORD")},
                 {"DB_SYSTEM", "POSTGRES"},
                 {"DATABASE", env_or_empty("KESTAL_PG_DSN")}});
    // The tool's texts are Windows-1252 bytes; the driver would otherwise declare
    // UTF-8 to the server, which then refuses every byte above 127.
    std::string ini = read_whole_file(env_or_empty("ODBCINI"));
    std::size_t section_end = ini.find("\n[", ini.find("[" + env_or_empty("KESTAL_PG_DSN") + "]"));
    ini.insert(section_end == std::string::npos ? ini.size() : section_end + 1,
               "ConnSettings = SET client_encoding TO 'WIN1252'\n");
    tree_->write_file(odbc_ini_path(), ini);
    expected_files_ = {store_path(), tree_->log_path(), odbc_ini_path()};
  }
  fs::path odbc_ini_path() const { return tree_->root() / "odbc.ini"; }

  void write_store(const std::vector<std::pair<std::string, std::string>>& settings) {
    fs::remove(store_path());
    for (const auto& [key, value] : settings) {
      ProcessResult r = run_process(KESTAL_CRED_PATH, {"set", store_path().string(), key, value},
                                    tree_->root().string());
      ASSERT_EQ(r.exit_code, 0) << r.err;
    }
  }
  fs::path store_path() const { return tree_->credential_store_path(); }

  void write_entry_file(const std::string& content) {
    fs::path path = tree_->working_directory() / "KESTALENTRY.POSTGRES.INI";
    tree_->write_file(path, content);
    expected_files_.insert(path);
  }

  // Lets `name` resolve to `address` in the tool, without any name server.
  void add_host(const std::string& address, const std::string& name) {
    hosts_ += address + "\t" + name + "\n";
    tree_->write_file(hosts_path(), hosts_);
    expected_files_.insert(hosts_path());
  }
  fs::path hosts_path() const { return tree_->root() / "hosts"; }

  void add_terminal(const std::string& name) {
    psql("INSERT INTO vxsystem.vxs1140trm (trmnam, trmdst, trmdpg, trmdac) VALUES (" +
         sql_quoted(name) + ", 7, 5, 0);");
  }

  ProcessResult run(const std::vector<std::string>& arguments) {
    before_ = tables();
    std::string asan = env_or_empty("ASAN_OPTIONS");
    // The preloaded resolver comes before the sanitizer runtime in the library list.
    asan += std::string(asan.empty() ? "" : ":") + "verify_asan_link_order=0";
    // The driver's own leak is not the tool's (see tests/lsan.supp).
    std::string lsan = env_or_empty("LSAN_OPTIONS");
    lsan += std::string(lsan.empty() ? "" : ":") + "suppressions=" + KESTAL_LSAN_SUPPRESSIONS;
    return run_process(KESTALENTRY_PATH, arguments, tree_->working_directory().string(),
                       {{"LD_PRELOAD", KESTAL_RESOLVER_SHIM},
                        {"ODBCINI", odbc_ini_path().string()},
                        {"KESTAL_TEST_HOSTS", hosts_path().string()},
                        {"ASAN_OPTIONS", asan},
                        {"LSAN_OPTIONS", lsan}});
  }

  // A run against a terminal of the test's own on `address`, playing `script`; what the
  // tool sent goes to `received`.
  ProcessResult run_with_terminal(const std::string& address, const TinyTerminal::Script& script,
                                  const std::vector<std::string>& arguments,
                                  std::string* received = nullptr) {
    TinyTerminal terminal(address, script);
    EXPECT_TRUE(terminal.ready());
    ProcessResult result = run(arguments);
    terminal.finish();
    if (received != nullptr) *received = terminal.received();
    return result;
  }

  // Both tables as psql lists them, one row a line.
  std::string tables() {
    return psql(
        "SELECT trmnam, trmdtd, trmdbe, trmdnm, trmdtp, trmdst, trmdpg, trmdac "
        "FROM vxsystem.vxs1140trm ORDER BY trmnam; "
        "SELECT stonum, stosta FROM vxsystem.vxs113sto ORDER BY stonum;");
  }
  // Every row but the terminal's own (`changed`) is as it was before the last run.
  void expect_tables_intact(const std::string& changed = {}) {
    auto without = [&changed](const std::string& rows) {
      std::string kept;
      std::size_t start = 0;
      while (start < rows.size()) {
        std::size_t end = rows.find('\n', start);
        if (end == std::string::npos) end = rows.size();
        std::string line = rows.substr(start, end - start);
        if (changed.empty() || line.rfind(changed + "|", 0) != 0) kept += line + "\n";
        start = end + 1;
      }
      return kept;
    };
    EXPECT_EQ(without(tables()), without(before_));
  }

  // Only the store, the run log, the entry file and the hosts file may exist.
  void expect_no_stray_files() {
    std::set<fs::path> found;
    for (const auto& entry : fs::recursive_directory_iterator(tree_->root()))
      if (entry.is_regular_file()) found.insert(entry.path());
    for (const fs::path& path : found)
      EXPECT_TRUE(expected_files_.count(path) != 0) << "unexpected file " << path;
  }

  // A run that ended before the terminal stage: only the database failure or the
  // entry table's status, no status update, nothing else written.
  void expect_stopped_early(const ProcessResult& result, int exit_code) {
    EXPECT_EQ(result.exit_code, exit_code) << result.out << result.err;
    EXPECT_EQ(tree_->read_log().find("Programm beendet"), std::string::npos);
    expect_tables_intact();
    expect_no_stray_files();
  }

  std::unique_ptr<InstallTree> tree_;
  std::string hosts_;
  std::string before_;
  std::set<fs::path> expected_files_;
};

// ---------------------------------------------------------------------------
// Names that try to leave their SQL literals, or to be substituted twice.

const char kNameStatement[] =
    "[REGVAL]\n"
    "SQL001=SELECT trmnam, trmdst FROM vxsystem.vxs1140trm\n"
    "SQL002=WHERE trmnam = '$parm01'\n"
    "[TYPE]\n"
    "TYP001=STRING,STRING\n"
    "[NAME]\n"
    "NAM001=Name,Status\n";

std::string max_length_name() {
  std::string name;
  while (name.size() < 255) name += "';DROP TABLE vxsystem.vxs113sto;--\"$parm01";
  return name.substr(0, 255);
}

TEST_F(Hostile, TerminalNamesStayInsideTheirLiterals) {
  const std::vector<std::string> names = {
      "o'brien",         "t1'; DELETE FROM vxsystem.vxs1140trm; --",
      "x' OR '1'='1",    "$parm01",
      "$parm01$parm01'", "term\"quoted\",comma",
      "100%s%n%x",       "K\xE4se\xD6\xFF",
      max_length_name(),
  };
  write_entry_file(kNameStatement);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    SCOPED_TRACE("terminal name " + name);
    std::string address = "127.0.0." + std::to_string(150 + i);
    add_terminal(name);
    add_host(address, name);
    std::string received;
    ProcessResult result =
        run_with_terminal(address, well_behaved, {"operator", name, "*GEN"}, &received);

    EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
    EXPECT_EQ(last_line(result.out), "200 OK");
    EXPECT_EQ(status_row_text(name), "operator|Registry|40||0|0\n");
    expect_tables_intact(name);
    // The value statement found the terminal's own row: the name came back whole
    // (up to the 99 characters of a column), quotes and all.
    std::vector<std::string> texts = entry_texts(received);
    ASSERT_EQ(texts.size(), 2u) << received;
    EXPECT_EQ(texts[0], "STRING Name " + name.substr(0, 99));
    EXPECT_EQ(texts[1], "STRING Status 7");
    expect_no_stray_files();
  }
}

TEST_F(Hostile, UserNamesStayInsideTheirLiterals) {
  const std::vector<std::string> users = {
      "u'; DROP TABLE vxsystem.vxs113sto; --",
      std::string(50, '\''),
      "$parm01",
      "M\xFCller \xC4\xD6",
      std::string(49, ';') + "'",
  };
  write_entry_file(kNameStatement);
  const std::string terminal_name = "127.0.0.170";
  add_terminal(terminal_name);
  for (const std::string& user : users) {
    SCOPED_TRACE("user name " + user);
    std::string received;
    ProcessResult result =
        run_with_terminal(terminal_name, well_behaved, {user, terminal_name, "*GEN"}, &received);
    EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
    EXPECT_EQ(status_row_text(terminal_name), user + "|Registry|40||0|0\n");
    expect_tables_intact(terminal_name);
    EXPECT_EQ(entry_texts(received).size(), 2u);
  }
}

// ---------------------------------------------------------------------------
// Entry definition files.

TEST_F(Hostile, LinesOfTenThousandCharactersAreReadInParts) {
  // The 120-byte reader cuts the long value after 112 characters; the rest of the
  // line comes as parts without "=", which are skipped, and the next key still counts.
  write_entry_file(
      "[REGVAL]\n"
      "SQL001=SELECT 'v1', 'v2'\n"
      "[TYPE]\n"
      "TYP001=STRING,STRING\n" +
      std::string(10000, 'g') + "\n" +
      "[NAME]\n"
      "NAM001=" +
      std::string(10000, 'n') +
      "\n"
      "NAM002=Zweiter\n");
  const std::string terminal_name = "127.0.0.171";
  add_terminal(terminal_name);
  std::string received;
  ProcessResult result = run_with_terminal(terminal_name, well_behaved,
                                           {"operator", terminal_name, "*GEN"}, &received);
  EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
  std::vector<std::string> texts = entry_texts(received);
  ASSERT_EQ(texts.size(), 2u) << received;
  EXPECT_EQ(texts[0], "STRING " + std::string(112, 'n') + " v1");
  EXPECT_EQ(texts[1], "STRING Zweiter v2");
  expect_tables_intact(terminal_name);
  expect_no_stray_files();
}

TEST_F(Hostile, NineHundredNinetyNineKeysAndNoMore) {
  // 999 statement fragments make one long statement; a thousandth key is never read.
  std::string file = "[REGVAL]\nSQL001=SELECT 'a'\n";
  for (int n = 2; n <= 999; ++n) file += "SQL" + std::to_string(1000 + n).substr(1) + "=|| ''\n";
  file += "SQL1000=this would break the statement\n";
  file += "[TYPE]\nTYP001=STRING\n[NAME]\nNAM001=Einzig\n";
  write_entry_file(file);
  const std::string terminal_name = "127.0.0.172";
  add_terminal(terminal_name);
  std::string received;
  ProcessResult result = run_with_terminal(terminal_name, well_behaved,
                                           {"operator", terminal_name, "*GEN"}, &received);
  EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
  std::vector<std::string> texts = entry_texts(received);
  ASSERT_EQ(texts.size(), 1u) << received;
  EXPECT_EQ(texts[0], "STRING Einzig a");
  expect_tables_intact(terminal_name);
}

TEST_F(Hostile, NineHundredNinetyNineTypesForOneValueAreRefused) {
  std::string file = "[REGVAL]\nSQL001=SELECT 'a'\n[TYPE]\n";
  for (int n = 1; n <= 999; ++n) file += "TYP" + std::to_string(1000 + n).substr(1) + "=STRING\n";
  file += "TYP1000=NEVER\n[NAME]\nNAM001=Einzig\n";
  write_entry_file(file);
  const std::string terminal_name = "127.0.0.173";
  add_terminal(terminal_name);
  TinyTerminal terminal(terminal_name, well_behaved);
  ASSERT_TRUE(terminal.ready());
  ProcessResult result = run({"operator", terminal_name, "*GEN", "/D"});
  terminal.finish();
  expect_stopped_early(result, 91);
  EXPECT_FALSE(terminal.connected());
  std::string log = tree_->read_log();
  EXPECT_NE(log.find("\n FEHLENDER PARAMETER IN INI-DATEI !!\n"), std::string::npos);
  EXPECT_EQ(log.find("NEVER"), std::string::npos);
  std::size_t types = 0;
  for (const std::string& line : tree_->log_lines()) types += line == "STRING" ? 1 : 0;
  EXPECT_EQ(types, 999u);
}

TEST_F(Hostile, AStatementOfFortyColumnsGivesThirtyValues) {
  // Only 30 columns are bound; the ten after them are never read into the row.
  std::string regval = "[REGVAL]\n";
  std::string types = "[TYPE]\n";
  std::string names = "[NAME]\n";
  for (int column = 1; column <= 40; ++column) {
    std::string key = std::to_string(1000 + column).substr(1);
    regval +=
        "SQL" + key + "=" + (column > 1 ? ", '" : "SELECT '") + std::to_string(column) + "'\n";
    if (column > 30) continue;
    types += "TYP" + key + "=STRING\n";
    names += "NAM" + key + "=N" + std::to_string(column) + "\n";
  }
  write_entry_file(regval + types + names);
  const std::string terminal_name = "127.0.0.182";
  add_terminal(terminal_name);
  std::string received;
  ProcessResult result = run_with_terminal(terminal_name, well_behaved,
                                           {"operator", terminal_name, "*GEN"}, &received);
  EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
  std::vector<std::string> texts = entry_texts(received);
  ASSERT_EQ(texts.size(), 30u) << received;
  EXPECT_EQ(texts[0], "STRING N1 1");
  EXPECT_EQ(texts[29], "STRING N30 30");
  expect_tables_intact(terminal_name);
}

TEST_F(Hostile, BinaryGarbageEntryFileEndsWithStatusThree) {
  write_entry_file(garbage(64 * 1024, 11));
  const std::string terminal_name = "127.0.0.174";
  add_terminal(terminal_name);
  TinyTerminal terminal(terminal_name, well_behaved);
  ASSERT_TRUE(terminal.ready());
  ProcessResult result = run({"operator", terminal_name, "*GEN", "/D"});
  terminal.finish();
  expect_stopped_early(result, 3);
  EXPECT_FALSE(terminal.connected());
}

TEST_F(Hostile, BinaryGarbageInsideSectionsIsSkipped) {
  // Garbage lines without "=" or a leading "[" are skipped wherever they stand. (A
  // Ctrl-Z would end the file there, as in Windows text mode.)
  auto noise = [](std::uint32_t seed) {
    std::string bytes = garbage(3000, seed);
    std::string kept;
    for (char c : bytes)
      if (c != '=' && c != '[' && c != '\n' && c != '\r' && c != '\x1A') kept.push_back(c);
    for (std::size_t at = 150; at < kept.size(); at += 151) kept[at] = '\n';
    return kept + "\n";
  };
  write_entry_file(noise(1) + "[REGVAL]\n" + noise(2) + "SQL001=SELECT 'x'\n" + noise(3) +
                   "[TYPE]\n" + noise(4) + "TYP001=DWORD\n" + noise(5) + "[NAME]\n" + noise(6) +
                   "NAM001=Wert\n" + noise(7));
  const std::string terminal_name = "127.0.0.175";
  add_terminal(terminal_name);
  std::string received;
  ProcessResult result = run_with_terminal(terminal_name, well_behaved,
                                           {"operator", terminal_name, "*GEN"}, &received);
  EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
  std::vector<std::string> texts = entry_texts(received);
  ASSERT_EQ(texts.size(), 1u) << received;
  EXPECT_EQ(texts[0], "DWORD Wert x");
}

// ---------------------------------------------------------------------------
// Credential stores: every broken store ends at the connection with -1 (exit 255),
// the message, and in verbose mode a dump that masks the password.

const char kConnectFailed[] = "Datenbankverbindung fehlgeschlagen, Fehler: -1\n";

TEST_F(Hostile, BrokenCredentialStoresEndAtTheConnection) {
  struct Store {
    const char* label;
    std::string content;
  };
  const Store stores[] = {
      {"empty", ""},
      {"binary", garbage(16 * 1024, 5)},
      {"long lines", std::string(100000, 'A') + "\n" + std::string(100000, 'B') + "\r\n"},
      {"long lines with fields",
       "x;" + std::string(100000, ';') + "\n0;LOGIN;" + std::string(100000, 'F') + "\n"},
      {"not hex",
       "x;A;\n1;LOGIN;not hex at all!\nx;B;\n2;PASS;zz;zz;\nx;C;\n3;DB_SYSTEM;\xFF\xFE\x01\nx;D;"
       "\n4;DATABASE;abcdef0123456789abcdef0123456789\n"},
  };
  for (const Store& store : stores) {
    SCOPED_TRACE(store.label);
    tree_->write_file(store_path(), store.content);
    ProcessResult result = run({"operator", "127.0.0.176", "*STO", "/D"});
    expect_stopped_early(result, 255);
    EXPECT_EQ(result.out.rfind(kConnectFailed, 0), 0u) << result.out;
    EXPECT_NE(result.out.find("Passwort: **********\n"), std::string::npos) << result.out;
    EXPECT_NE(tree_->read_log().find("DbConnect-Fehler -1   --> Abbruch"), std::string::npos);
  }
}

TEST_F(Hostile, AStoreWithABrokenDataSourceNeverShowsThePassword) {
  const std::string password = env_or_empty("KESTAL_PG_PASSWORD");
  write_store(
      {{"LOGIN", env_or_empty("KESTAL_PG_USER")}, {"PASS", password}, {"DB_SYSTEM", "POSTGRES"}});
  std::string content = read_whole_file(store_path());
  tree_->write_file(store_path(), content + "x;D;\n4;DATABASE;0123456789abcdefXYZ;;\n");
  ProcessResult result = run({"operator", "127.0.0.177", "*STO", "/D"});
  expect_stopped_early(result, 255);
  EXPECT_NE(result.out.find("Passwort: **********\n"), std::string::npos) << result.out;
  if (!password.empty()) {
    EXPECT_EQ(result.out.find(password), std::string::npos);
    EXPECT_EQ(tree_->read_log().find(password), std::string::npos);
  }
}

// ---------------------------------------------------------------------------
// Terminals that misbehave on the wire. Replies are not framed: whatever one
// receive delivers (at least three bytes) is a reply.

// Every logged reply is cut to 190 characters after its three blanks.
void expect_reply_lines_cut(const InstallTree& tree) {
  for (const std::string& line : tree.log_lines())
    EXPECT_LE(line.size(), 368u) << line.substr(0, 80);
  std::string log = tree.read_log();
  EXPECT_LT(log.size(), 64u * 1024) << "the run log took in the flood";
}

TEST_F(Hostile, AReplyThatNeverEndsFailsTheLogin) {
  const std::string terminal_name = "127.0.0.178";
  add_terminal(terminal_name);
  TinyTerminal terminal(terminal_name, [](TinyTerminal& t) {
    if (!t.send("200 ready\r\n") || t.read_line().empty()) return;
    // "331 " and then bytes without end until the tool hangs up.
    std::string chunk(4096, 'x');
    if (!t.send("331 ")) return;
    for (int i = 0; i < 4096 && t.send(chunk); ++i) {
    }
  });
  ASSERT_TRUE(terminal.ready());
  auto started = std::chrono::steady_clock::now();
  ProcessResult result = run({"operator", terminal_name, "*STO", "/D"});
  terminal.finish();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 25s);
  EXPECT_EQ(result.exit_code, 0) << result.out.substr(0, 200);
  // "331 xxx..." matched the USER step; the PASS step's reply is "xxx...": code 99.
  // The failure text has no line end: the last reply's code follows it directly.
  const std::string tail = "Anmeldung an Term. fehlgeschlagen, Fehler 99xxx\n";
  EXPECT_TRUE(ends_with(result.out, tail)) << tail_of(result.out);
  EXPECT_EQ(status_row_text(terminal_name), "operator|Registry|40|99|0|0\n");
  EXPECT_NE(result.out.find("An Terminal gesendet: PASS **********\n"), std::string::npos);
  EXPECT_EQ(result.out.find("UPDSYSDB"), std::string::npos);
  expect_reply_lines_cut(*tree_);
  expect_tables_intact(terminal_name);
}

TEST_F(Hostile, RepliesOfThreeBytesArrivingOneByteAtATimeSucceed) {
  const std::string terminal_name = "127.0.0.179";
  add_terminal(terminal_name);
  TinyTerminal terminal(terminal_name, [](TinyTerminal& t) {
    auto slowly = [&t](std::string_view reply) {
      for (char c : reply) {
        if (!t.send(std::string_view(&c, 1))) return false;
        std::this_thread::sleep_for(30ms);
      }
      return true;
    };
    if (!slowly("200")) return;
    for (const char* reply : {"331", "230"})
      if (t.read_line().empty() || !slowly(reply)) return;
    while (!t.read_line().empty())
      if (!slowly("200")) return;
  });
  ASSERT_TRUE(terminal.ready());
  ProcessResult result = run({"operator", terminal_name, "*STO"});
  terminal.finish();
  EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
  EXPECT_EQ(status_row_text(terminal_name), "operator|Registry|40||0|0\n");
  std::vector<std::string> texts = entry_texts(terminal.received());
  ASSERT_EQ(texts.size(), 2u) << terminal.received();
  EXPECT_EQ(texts[0], "STRING StoNr1 7");
  EXPECT_EQ(texts[1], "STRING StoNr2 12345");
  expect_tables_intact(terminal_name);
}

TEST_F(Hostile, LongRepliesArrivingOneByteAtATimeFailCleanly) {
  // Each reply is complete after three bytes, so the rest of "200 ready\r\n" starts
  // the next reply and the login fails with whatever code that start reads as.
  const std::string terminal_name = "127.0.0.180";
  add_terminal(terminal_name);
  TinyTerminal terminal(terminal_name, [](TinyTerminal& t) {
    auto slowly = [&t](std::string_view reply) {
      for (char c : reply) {
        if (!t.send(std::string_view(&c, 1))) return false;
        std::this_thread::sleep_for(10ms);
      }
      return true;
    };
    if (!slowly("200 ready\r\n")) return;
    for (const char* reply : {"331 user ok\r\n", "230 logged in\r\n"})
      if (t.read_line(5s).empty() || !slowly(reply)) return;
    t.drain(5s);
  });
  ASSERT_TRUE(terminal.ready());
  ProcessResult result = run({"operator", terminal_name, "*STO"});
  terminal.finish();
  EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
  const std::string prefix = "Anmeldung an Term. fehlgeschlagen, Fehler ";
  std::size_t at = result.out.find(prefix);
  ASSERT_NE(at, std::string::npos) << result.out;
  int code = std::atoi(result.out.c_str() + at + prefix.size());
  EXPECT_NE(code, 0);
  EXPECT_EQ(status_row_text(terminal_name),
            "operator|Registry|40|" + std::to_string(code) + "|0|0\n");
  EXPECT_EQ(terminal.received().find("UPDSYSDB"), std::string::npos);
  expect_tables_intact(terminal_name);
}

TEST_F(Hostile, AFloodOfOneMebibyteIsCutIntoReplies) {
  const std::string terminal_name = "127.0.0.181";
  add_terminal(terminal_name);
  TinyTerminal terminal(terminal_name, [](TinyTerminal& t) {
    std::string flood = "200 " + std::string(1024 * 1024, 'A') + "%s%n\r\n";
    t.send(flood);  // fails part-way once the tool has hung up
  });
  ASSERT_TRUE(terminal.ready());
  auto started = std::chrono::steady_clock::now();
  ProcessResult result = run({"operator", terminal_name, "*STO", "/D"});
  terminal.finish();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 25s);
  EXPECT_EQ(result.exit_code, 0) << result.out.substr(0, 200);
  // "200 AAA..." is the greeting; the next piece of the flood answers USER: code 99.
  const std::string tail = "Anmeldung an Term. fehlgeschlagen, Fehler 99AAA\n";
  EXPECT_TRUE(ends_with(result.out, tail)) << tail_of(result.out);
  EXPECT_EQ(status_row_text(terminal_name), "operator|Registry|40|99|0|0\n");
  // The USER line went out, nothing after it; the console shows it masked.
  EXPECT_EQ(result.out.find("An Terminal gesendet: PASS"), std::string::npos);
  EXPECT_NE(result.out.find("An Terminal gesendet: USER **********\n"), std::string::npos);
  std::size_t logged_replies = 0;
  for (const std::string& line : tree_->log_lines()) {
    if (line.rfind("   200 AAA", 0) == 0 || line.rfind("   AAA", 0) == 0) {
      ++logged_replies;
      EXPECT_LE(line.size(), 3u + 190u);  // cut at 190, or shorter if it came short
    }
  }
  EXPECT_EQ(logged_replies, 2u);
  expect_reply_lines_cut(*tree_);
  expect_tables_intact(terminal_name);
}

}  // namespace

// ---------------------------------------------------------------------------
// A hostile installation or database around an ordinary run.

namespace {

TEST_F(Hostile, AFifoOrDeviceInPlaceOfAFileCountsAsOneThatCannotBeOpened) {
  const std::string terminal_name = "127.0.0.183";
  add_terminal(terminal_name);
  fs::remove(tree_->log_path());
  ASSERT_EQ(mkfifo(tree_->log_path().c_str(), 0600), 0);
  ProcessResult result =
      run_with_terminal(terminal_name, well_behaved, {"operator", terminal_name, "*STO"});
  EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
  EXPECT_EQ(last_line(result.out), "200 OK");
  fs::remove(tree_->log_path());

  const fs::path entry_file = tree_->working_directory() / "KESTALENTRY.POSTGRES.INI";
  fs::create_symlink("/dev/zero", entry_file);
  expect_stopped_early(run({"operator", terminal_name, "*GEN"}), 3);
  fs::remove(entry_file);
  ASSERT_EQ(mkfifo(entry_file.c_str(), 0600), 0);
  expect_stopped_early(run({"operator", terminal_name, "*GEN"}), 3);

  fs::remove(store_path());
  ASSERT_EQ(mkfifo(store_path().c_str(), 0600), 0);
  expect_stopped_early(run({"operator", terminal_name, "*STO"}), 255);
}

TEST_F(Hostile, ControlBytesInRepliesAreWrittenAsEscapes) {
  const std::string terminal_name = "127.0.0.184";
  add_terminal(terminal_name);
  ProcessResult result = run_with_terminal(
      terminal_name,
      [](TinyTerminal& t) {
        if (!t.send("200 ready\r\n") || t.read_line().empty() || !t.send("331 user ok\r\n")) return;
        if (t.read_line().empty() || !t.send("230 logged in\r\n")) return;
        while (!t.read_line().empty())
          if (!t.send("200 ok\nForged line\x1b[2J\r\n")) return;
      },
      {"operator", terminal_name, "*STO", "/D"});
  EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
  const std::string shown = "200 ok\\x0aForged line\\x1b[2J";
  EXPECT_EQ(last_line(result.out), shown);
  EXPECT_NE(result.out.find("Terminalantwort: " + shown + "\r\n"), std::string::npos);
  std::vector<std::string> lines = tree_->log_lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "   " + shown), 2);
}

TEST_F(Hostile, ADumpNeverShowsThePasswordUnderAnotherName) {
  write_store({{"PASS", "s3cret-pw"}});
  std::string store = read_whole_file(store_path());
  tree_->write_file(store_path(), "KESTAL" + store.substr(store.find('\n')));  // no qualifier
  ProcessResult result = run({"operator", "127.0.0.185", "*STO", "/D"});
  expect_stopped_early(result, 255);
  EXPECT_EQ(result.out.find("s3cret-pw"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("DBSys   : **********\nUser    : **********\nPasswort: **********\n"
                            "Net8    : **********\n"),
            std::string::npos);
}

TEST_F(Hostile, BackslashesCannotEndALiteralWhereTheServerEscapesWithThem) {
  std::string ini = read_whole_file(odbc_ini_path());
  const std::string setting = "SET client_encoding TO 'WIN1252'";
  ini.insert(ini.find(setting) + setting.size(), ";SET standard_conforming_strings TO off");
  tree_->write_file(odbc_ini_path(), ini);
  write_entry_file(kNameStatement);
  const std::string attack = "\\'; DELETE FROM vxsystem.vxs113sto;--";
  const std::string terminal_name = "t" + attack;
  add_terminal(terminal_name);
  add_host("127.0.0.186", terminal_name);
  std::string received;
  ProcessResult result =
      run_with_terminal("127.0.0.186", well_behaved, {attack, terminal_name, "*GEN"}, &received);
  EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
  EXPECT_EQ(status_row_text(terminal_name), attack + "|Registry|40||0|0\n");
  expect_tables_intact(terminal_name);
  std::vector<std::string> texts = entry_texts(received);
  ASSERT_EQ(texts.size(), 2u) << received;
  EXPECT_EQ(texts[0], "STRING Name " + terminal_name);
}

TEST_F(Hostile, AFailedEndMarkIsLoggedWithoutVerbose) {
  const std::string terminal_name = "127.0.0.187";
  add_terminal(terminal_name);
  // The database goes away after the start mark, while the entries are sent.
  auto script = [](TinyTerminal& t) {
    psql(
        "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE pid <> pg_backend_pid() "
        "AND backend_type = 'client backend';");
    well_behaved(t);
  };
  ProcessResult result =
      run_with_terminal(terminal_name, script, {"operator", terminal_name, "*STO"});
  EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
  EXPECT_EQ(last_line(result.out), "200 OK");
  EXPECT_EQ(status_row_text(terminal_name), "operator|Registry|40||0|1\n");
  std::string log = tree_->read_log();
  std::size_t end_mark = log.find("Fehler Schreiben Vxs1140Trm : ");
  ASSERT_NE(end_mark, std::string::npos) << log;
  EXPECT_LT(log.find("   200 OK"), end_mark);
}

TEST_F(Hostile, ADatabaseSystemWithASeparatorNamesNoFile) {
  const std::string terminal_name = "127.0.0.188";
  add_terminal(terminal_name);
  write_store({{"LOGIN", env_or_empty("KESTAL_PG_USER")},
               {"PASS", env_or_empty("KESTAL_PG_PASSWORD")},
               {"DB_SYSTEM", "x/../../../outside/evil"},
               {"DATABASE", env_or_empty("KESTAL_PG_DSN")}});
  fs::create_directories(tree_->working_directory() / "KESTALENTRY.x");
  tree_->write_file(tree_->root() / "outside" / "evil.INI", kNameStatement);
  expected_files_.insert(tree_->root() / "outside" / "evil.INI");
  std::string received;
  ProcessResult result = run_with_terminal(terminal_name, well_behaved,
                                           {"operator", terminal_name, "*GEN"}, &received);
  expect_stopped_early(result, 3);
  EXPECT_EQ(received, "");
}

}  // namespace
