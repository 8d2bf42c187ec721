// The entry table assembly against the real PostgreSQL cluster, through the ODBC data
// source that scripts/with-postgres.sh sets up: what the server runs and returns.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "entries/entry_table.h"

namespace {

namespace fs = std::filesystem;
using Items = std::vector<std::string>;

constexpr const char* kDatabaseSystem = "PGTEST";

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::optional<Items> items_of(const StringListRef& list) {
  if (!list) return std::nullopt;
  return Items(list->items.begin(), list->items.begin() + list->count);
}

class EntryTableTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string dsn = environment("KESTAL_PG_DSN");
    if (dsn.empty()) return;
    db_ = new DatabaseConnection;
    connected_ = db_connect(*db_, environment("KESTAL_PG_USER"), environment("KESTAL_PG_PASSWORD"),
                            dsn) == 0;
  }

  void SetUp() override {
    ASSERT_FALSE(environment("KESTAL_PG_DSN").empty())
        << "run under scripts/with-postgres.sh (KESTAL_PG_DSN is not set)";
    ASSERT_TRUE(connected_) << "no connection to the data source";
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    directory_ = fs::temp_directory_path() /
                 ("kestal-entries-" + std::to_string(getpid()) + "-" + info->name());
    fs::remove_all(directory_);
    fs::create_directories(directory_);
    saved_cwd_ = fs::current_path();
    fs::current_path(directory_);
    report_.log = RunLog{(directory_ / "run.log").string(), (directory_ / "run.bak").string()};
    report_.console.capture = &console_;
  }

  void TearDown() override {
    if (db_ != nullptr) {
      query_close(*db_);
      site_cursor_close(*db_);
    }
    if (!saved_cwd_.empty()) fs::current_path(saved_cwd_);
    if (!directory_.empty()) fs::remove_all(directory_);
  }

  void write_definitions(const std::string& text) {
    std::ofstream(directory_ / (std::string("KESTALENTRY.") + kDatabaseSystem + ".INI"),
                  std::ios::binary)
        << text;
  }

  // Runs `sql` on a statement of its own, outside the cursors under test.
  void execute(const std::string& sql) {
    SQLHSTMT statement = SQL_NULL_HSTMT;
    ASSERT_NE(SQL_ERROR, SQLAllocHandle(SQL_HANDLE_STMT, db_->connection.get(), &statement));
    std::string text = sql;
    SQLRETURN rc = SQLExecDirect(statement, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    ASSERT_TRUE(rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO || rc == SQL_NO_DATA)
        << "failed: " << sql;
  }

  void set_sites(const std::vector<std::string>& numbers) {
    execute("DELETE FROM VXSYSTEM.VXS113STO");
    for (const std::string& number : numbers) {
      execute("INSERT INTO VXSYSTEM.VXS113STO (StoNum, StoSta) VALUES (" + number + ", 1)");
    }
  }

  std::int32_t build(const std::string& mode, bool verbose = false,
                     const std::string& terminal = "127.0.0.90") {
    run_.mode = mode;
    run_.terminal_name = terminal;
    run_.verbose = verbose;
    report_.verbose = verbose;
    DatabaseRows rows(*db_);
    return build_entry_table(table_, EntrySources{rows, run_, database_system_, report_});
  }

  std::string log() const { return read_file(directory_ / "run.log"); }
  const std::string& executed() const { return db_->statement_text; }

  static inline DatabaseConnection* db_ = nullptr;  // lives as long as the process
  static inline bool connected_ = false;
  fs::path directory_;
  fs::path saved_cwd_;
  RunContext run_;
  std::string database_system_ = kDatabaseSystem;
  std::string console_;
  Report report_;
  EntryTable table_;
};

TEST_F(EntryTableTest, StatementFromFragmentsEndsAtTheFirstGap) {
  write_definitions(
      "[REGVAL]\n"
      "SQL001=SELECT 'x' AS first,\n"
      "SQL002='y' AS second\n"
      "SQL004=FROM nowhere\n"
      "[TYPE]\nTYP001=STRING,STRING\n"
      "[NAME]\nNAM001=A,B\n");
  const std::uintmax_t log_start = [] {
    std::error_code ec;
    auto size = fs::file_size(environment("KESTAL_PG_LOG"), ec);
    return ec ? std::uintmax_t{0} : size;
  }();
  ASSERT_EQ(0, build("*GEN"));
  const std::string expected = " SELECT 'x' AS first, 'y' AS second ";
  EXPECT_EQ(expected, executed());
  const std::string server_log = environment("KESTAL_PG_LOG");
  if (!server_log.empty()) {
    // What the server received, as its statement log shows it.
    std::string text = read_file(server_log);
    text = log_start <= text.size() ? text.substr(log_start) : text;
    EXPECT_NE(std::string::npos, text.find(": " + expected + "\n")) << text;
  }
  EXPECT_EQ((Items{"x", "y"}), items_of(table_.values));
  EXPECT_EQ((Items{"STRING", "STRING"}), items_of(table_.types));
  EXPECT_EQ((Items{"A", "B"}), items_of(table_.names));
  EXPECT_EQ(
      "allgemeine Eintr\xE4"
      "ge (*GEN) :\n\n",
      log());
  EXPECT_EQ("", console_);
}

TEST_F(EntryTableTest, EmptyAndBlankColumnsGiveEmptyValues) {
  write_definitions(
      "[REGVAL]\nSQL001=SELECT '', '  \t ', CAST(NULL AS VARCHAR(5))\n"
      "[TYPE]\nTYP001=STRING,STRING,STRING\n[NAME]\nNAM001=E,B,N\n");
  ASSERT_EQ(0, build("*GEN"));
  EXPECT_EQ((Items{"", "", ""}), items_of(table_.values));
}

TEST_F(EntryTableTest, StatementFailures) {
  // Without result columns nothing is fetched: no values, so the counts differ.
  write_definitions(
      "[REGVAL]\nSQL001=SET application_name TO 'kestal'\n"
      "[TYPE]\nTYP001=STRING\n[NAME]\nNAM001=A\n");
  EXPECT_EQ(91, build("*GEN"));
  EXPECT_EQ(nullptr, table_.values);
  EXPECT_EQ(1, string_list_count(table_.types));
  EXPECT_EQ(1, string_list_count(table_.names));

  // No row: 100, before the type and name lists are read, without a message.
  table_ = EntryTable{};
  fs::remove(directory_ / "run.log");
  write_definitions("[REGVAL]\nSQL001=SELECT 'a' WHERE 1 = 0\n[TYPE]\nTYP001=STRING\n");
  EXPECT_EQ(100, build("*GEN"));
  EXPECT_EQ(nullptr, table_.values);
  EXPECT_EQ(nullptr, table_.types);
  EXPECT_EQ(
      "allgemeine Eintr\xE4"
      "ge (*GEN) :\n\n",
      log());

  // An error at execution ends the build with the cursor's status and the message.
  table_ = EntryTable{};
  fs::remove(directory_ / "run.log");
  write_definitions("[REGVAL]\nSQL001=SELEKT 1\n");
  EXPECT_EQ(-1, build("*GEN"));
  EXPECT_EQ("DbTabelle kann nicht geoeffnet werden, Fehler : -1\n", console_);
  EXPECT_EQ(
      "allgemeine Eintr\xE4"
      "ge (*GEN) :\n\n"
      "DbTabelle kann nicht geoeffnet werden, Fehler : -1\n\n",
      log());
}

TEST_F(EntryTableTest, SitesBecomeNumberedEntries) {
  set_sites({"0", "7", "12345", "123456"});
  ASSERT_EQ(0, build("*STO"));
  EXPECT_EQ((Items{"STRING", "STRING", "STRING"}), items_of(table_.types));
  EXPECT_EQ((Items{"StoNr1", "StoNr2", "StoNr3"}), items_of(table_.names));
  EXPECT_EQ((Items{"7", "12345", "23456"}), items_of(table_.values));
  EXPECT_EQ("Standortnummern (*STO) :\n\n", log());
  EXPECT_EQ("", console_);

  table_ = EntryTable{};
  set_sites({});
  ASSERT_EQ(0, build("*STO"));
  EXPECT_EQ(nullptr, table_.types);
  EXPECT_EQ(nullptr, table_.names);
  EXPECT_EQ(nullptr, table_.values);
}

TEST_F(EntryTableTest, ShippedPostgresDefinitionsReadTheTerminalRow) {
  fs::copy_file(fs::path(KESTAL_EXAMPLES_DIR) / "KESTALENTRY.POSTGRES.INI",
                directory_ / "KESTALENTRY.POSTGRES.INI");
  database_system_ = "POSTGRES";
  const std::string terminal = "127.0.0.91";
  execute("DELETE FROM VXSYSTEM.VXS1140TRM WHERE TrmNam = '" + terminal + "'");
  execute("INSERT INTO VXSYSTEM.VXS1140TRM (TrmNam, TrmDtd, TrmDbe, TrmDtp, TrmDac) VALUES ('" +
          terminal + "', '20260101120000', 'op', 40, 0)");
  std::int32_t status = build("*GEN", false, terminal);
  execute("DELETE FROM VXSYSTEM.VXS1140TRM WHERE TrmNam = '" + terminal + "'");
  ASSERT_EQ(0, status);
  EXPECT_EQ((Items{terminal, "op", "40", "20260101120000"}), items_of(table_.values));
  EXPECT_EQ((Items{"STRING", "STRING", "DWORD", "STRING"}), items_of(table_.types));
  EXPECT_EQ((Items{"TerminalName", "LastUser", "TransferType", "LastUpdate"}),
            items_of(table_.names));
}

}  // namespace
