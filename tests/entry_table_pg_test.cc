// The entry table assembly against the real PostgreSQL cluster, through the ODBC data
// source that scripts/with-postgres.sh sets up: what the server runs and returns.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "entries/entry_table_fixture.h"
#include "run/database_rows.h"

namespace {

namespace fs = std::filesystem;

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

class EntryTableTest : public EntryTableFixture {
 protected:
  static void SetUpTestSuite() {
    const std::string dsn = environment("KESTAL_PG_DSN");
    if (dsn.empty()) return;
    db_ = new DatabaseConnection;
    connected_ = db_connect(*db_, environment("KESTAL_PG_USER"), environment("KESTAL_PG_PASSWORD"),
                            dsn) == 0;
    rows_ = new DatabaseRows(*db_);
  }

  void SetUp() override {
    ASSERT_FALSE(environment("KESTAL_PG_DSN").empty())
        << "run under scripts/with-postgres.sh (KESTAL_PG_DSN is not set)";
    ASSERT_TRUE(connected_) << "no connection to the data source";
    EntryTableFixture::SetUp();
  }
  void TearDown() override {
    if (db_ != nullptr) {
      query_close(*db_);
      site_cursor_close(*db_);
    }
    EntryTableFixture::TearDown();
  }
  RowSource& rows() override { return *rows_; }

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

  static inline DatabaseConnection* db_ = nullptr;  // lives as long as the process
  static inline bool connected_ = false;
  static inline DatabaseRows* rows_ = nullptr;  // the same
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
  // What the server received, as its statement log shows it.
  const std::string server_log = environment("KESTAL_PG_LOG");
  ASSERT_FALSE(server_log.empty()) << "KESTAL_PG_LOG is not set";
  std::string text = read_text(server_log);
  text = log_start <= text.size() ? text.substr(log_start) : text;
  EXPECT_NE(std::string::npos, text.find(": " + expected + "\n")) << text;
  EXPECT_EQ((Items{"x", "y"}), items_of(table_, &Entry::value));
  EXPECT_EQ((Items{"STRING", "STRING"}), items_of(table_, &Entry::type));
  EXPECT_EQ((Items{"A", "B"}), items_of(table_, &Entry::name));
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
  EXPECT_EQ((Items{"", "", ""}), items_of(table_, &Entry::value));
}

TEST_F(EntryTableTest, StatementFailures) {
  // Without result columns nothing is fetched: no values, so the counts differ.
  write_definitions(
      "[REGVAL]\nSQL001=SET application_name TO 'kestal'\n"
      "[TYPE]\nTYP001=STRING\n[NAME]\nNAM001=A\n");
  EXPECT_EQ(91, build("*GEN"));
  EXPECT_TRUE(table_.empty());
  EXPECT_EQ(failed_, EntryStep::kLists);

  // No row: 100, before the type and name lists are read, without a message.
  table_ = EntryTable{};
  fs::remove(folder_ / "run.log");
  write_definitions("[REGVAL]\nSQL001=SELECT 'a' WHERE 1 = 0\n[TYPE]\nTYP001=STRING\n");
  EXPECT_EQ(100, build("*GEN"));
  EXPECT_TRUE(table_.empty());
  EXPECT_EQ(failed_, EntryStep::kValueRow);
  EXPECT_EQ(
      "allgemeine Eintr\xE4"
      "ge (*GEN) :\n\n",
      log());

  // An error at execution ends the build with the cursor's status and the message.
  table_ = EntryTable{};
  fs::remove(folder_ / "run.log");
  write_definitions("[REGVAL]\nSQL001=SELEKT 1\n");
  EXPECT_EQ(-1, build("*GEN"));
  EXPECT_EQ("DbTabelle kann nicht geoeffnet werden, Fehler : -1\n", console_);
  EXPECT_EQ(failed_, EntryStep::kValueStatement);
  EXPECT_EQ(
      "allgemeine Eintr\xE4"
      "ge (*GEN) :\n\n"
      "DbTabelle kann nicht geoeffnet werden, Fehler : -1\n\n",
      log());
}

TEST_F(EntryTableTest, SitesBecomeNumberedEntries) {
  set_sites({"0", "7", "12345", "123456"});
  ASSERT_EQ(0, build("*STO"));
  EXPECT_EQ((Items{"STRING", "STRING", "STRING"}), items_of(table_, &Entry::type));
  EXPECT_EQ((Items{"StoNr1", "StoNr2", "StoNr3"}), items_of(table_, &Entry::name));
  EXPECT_EQ((Items{"7", "12345", "23456"}), items_of(table_, &Entry::value));
  EXPECT_EQ("Standortnummern (*STO) :\n\n", log());
  EXPECT_EQ("", console_);

  table_ = EntryTable{};
  set_sites({});
  ASSERT_EQ(0, build("*STO"));
  EXPECT_TRUE(table_.empty());
}

TEST_F(EntryTableTest, ShippedPostgresDefinitionsReadTheTerminalRow) {
  fs::copy_file(fs::path(KESTAL_EXAMPLES_DIR) / "KESTALENTRY.POSTGRES.INI",
                folder_ / "KESTALENTRY.POSTGRES.INI");
  system_ = "POSTGRES";
  const std::string terminal = "127.0.0.91";
  execute("DELETE FROM VXSYSTEM.VXS1140TRM WHERE TrmNam = '" + terminal + "'");
  execute("INSERT INTO VXSYSTEM.VXS1140TRM (TrmNam, TrmDtd, TrmDbe, TrmDtp, TrmDac) VALUES ('" +
          terminal + "', '20260101120000', 'op', 40, 0)");
  std::int32_t status = build("*GEN", false, terminal);
  execute("DELETE FROM VXSYSTEM.VXS1140TRM WHERE TrmNam = '" + terminal + "'");
  ASSERT_EQ(0, status);
  EXPECT_EQ((Items{terminal, "op", "40", "20260101120000"}), items_of(table_, &Entry::value));
  EXPECT_EQ((Items{"STRING", "STRING", "DWORD", "STRING"}), items_of(table_, &Entry::type));
  EXPECT_EQ((Items{"TerminalName", "LastUser", "TransferType", "LastUpdate"}),
            items_of(table_, &Entry::name));
}

}  // namespace
