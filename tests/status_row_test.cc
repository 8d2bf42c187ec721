// Status-row updates against the real PostgreSQL cluster (their effect on the row, the
// exact statements the server received, unknown and quoted names, failures) and against
// the SQLite default through the SQLite3 ODBC driver.
#include "db/status_row.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/database_fixture.h"

namespace {

using dbfix::pg_terminal;
using dbfix::Row;

// The status updates among the statements the server logged after `marker` (the
// test's own reads through psql are logged too).
std::vector<std::string> updates_since(std::uintmax_t marker) {
  std::vector<std::string> updates;
  for (const std::string& statement : dbfix::pg_statements_since(marker))
    if (statement.rfind("UPDATE VXSYSTEM.", 0) == 0) updates.push_back(statement);
  return updates;
}

class StatusRow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dbfix::pg_available()) << "run under scripts/with-postgres.sh";
    dbfix::PgCluster cluster = dbfix::pg_cluster();
    dbfix::pg_reset_tables();
    dbfix::pg_insert_terminal({"term-1", "19990101000000", "old", "X", "3", "17", "9", "0"});
    dbfix::pg_insert_terminal({"it's"});
    dbfix::pg_insert_terminal(
        {"other", dbfix::kNull, "keep", dbfix::kNull, dbfix::kNull, "5", "5", "1"});
    ASSERT_EQ(db_connect(db_, cluster.user, cluster.password, cluster.dsn), 0);
  }
  void TearDown() override { dbfix::pg_reset_tables(); }

  static std::vector<Row> table() {
    return dbfix::pg_query("SELECT * FROM vxsystem.vxs1140trm ORDER BY trmnam");
  }

  DatabaseConnection db_;
};

TEST_F(StatusRow, StartProgressAndEndWriteTheRowWithTheExactTexts) {
  std::uintmax_t marker = dbfix::pg_log_marker();
  EXPECT_EQ(status_mark_started(db_, "term-1", "20261207090503", "alice", "Registry", 40), 0);
  EXPECT_EQ(pg_terminal("term-1"),
            (Row{"20261207090503", "alice", "Registry", "40", "NULL", "0", "1"}));
  EXPECT_EQ(status_set_progress(db_, "term-1", "20261207090504", 10061, 0), 0);
  EXPECT_EQ(pg_terminal("term-1"),
            (Row{"20261207090504", "alice", "Registry", "40", "10061", "0", "1"}));
  EXPECT_EQ(status_mark_finished(db_, "term-1", "20261207090505"), 0);
  EXPECT_EQ(pg_terminal("term-1"),
            (Row{"20261207090505", "alice", "Registry", "40", "10061", "0", "0"}));
  EXPECT_EQ(pg_terminal("other"), (Row{"NULL", "keep", "NULL", "NULL", "5", "5", "1"}));

  EXPECT_EQ(updates_since(marker),
            (std::vector<std::string>{
                "UPDATE VXSYSTEM.VXS1140TRM SET   TrmDtd = '20261207090503',    TrmDbe = 'alice',  "
                "  TrmDnm = 'Registry',    TrmDtp = 40,     TrmDst = NULL,   TrmDpg = 0,   TrmDac "
                "= 1  WHERE TrmNam = 'term-1' ",
                "UPDATE VXSYSTEM.VXS1140TRM SET   TrmDtd = '20261207090504',   TrmDst = 10061,    "
                "TrmDpg = 0   WHERE TrmNam = 'term-1' ",
                "UPDATE VXSYSTEM.VXS1140TRM SET   TrmDtd = '20261207090505',   TrmDac = 0  WHERE "
                "TrmNam = 'term-1' "}));
}

TEST_F(StatusRow, UnknownTerminalReportsNoDataAndChangesNothing) {
  std::vector<Row> before = table();
  EXPECT_EQ(status_mark_started(db_, "nobody", "20261207090503", "u", "Registry", 40), 100);
  EXPECT_EQ(status_set_progress(db_, "nobody", "20261207090503", 530, 0), 100);
  EXPECT_EQ(status_mark_finished(db_, "nobody", "20261207090503"), 100);
  EXPECT_EQ(table(), before);
}

TEST_F(StatusRow, QuotesInNamesStayInsideTheLiterals) {
  std::uintmax_t marker = dbfix::pg_log_marker();
  EXPECT_EQ(status_mark_started(db_, "it's", "20261207090503", "O'Brien", "Registry", 40), 0);
  EXPECT_EQ(pg_terminal("it's"),
            (Row{"20261207090503", "O'Brien", "Registry", "40", "NULL", "0", "1"}));
  EXPECT_EQ(updates_since(marker),
            std::vector<std::string>{
                "UPDATE VXSYSTEM.VXS1140TRM SET   TrmDtd = '20261207090503',    TrmDbe = "
                "'O''Brien',    TrmDnm = 'Registry',    TrmDtp = 40,     TrmDst = NULL,   TrmDpg "
                "= 0,   TrmDac = 1  WHERE TrmNam = 'it''s' "});
  EXPECT_EQ(pg_terminal("term-1"), (Row{"19990101000000", "old", "X", "3", "17", "9", "0"}));

  // Names that try to widen the WHERE clause or end the statement match no row at all.
  std::vector<Row> before = table();
  EXPECT_EQ(status_mark_finished(db_, "x' OR '1'='1", "20261207090504"), 100);
  EXPECT_EQ(status_mark_started(db_, "nobody", "20261207090504",
                                "u'; DELETE FROM vxsystem.vxs1140trm; --", "Registry", 40),
            100);
  EXPECT_EQ(table(), before);
}

TEST_F(StatusRow, LongNamesAndBytesAboveAsciiArriveWhole) {
  const std::string name = std::string(254, 'n') + "\xD6";
  const std::string user = "J\xF6rg " + std::string(45, 'u');
  dbfix::pg_insert_terminal({name});
  EXPECT_EQ(status_mark_started(db_, name, "20261207090503", user, "Registry", 40), 0);
  EXPECT_EQ(pg_terminal(name), (Row{"20261207090503", user, "Registry", "40", "NULL", "0", "1"}));
}

TEST_F(StatusRow, FailedUpdateReportsTheNativeErrorAndChangesNothing) {
  dbfix::pg_exec("ALTER TABLE vxsystem.vxs1140trm RENAME TO vxs1140trm_away;");
  DiagnosticRecord failure;
  std::int32_t status = status_mark_finished(db_, "term-1", "20261207090503", &failure);
  dbfix::pg_exec("ALTER TABLE vxsystem.vxs1140trm_away RENAME TO vxs1140trm;");
  EXPECT_NE(status, 0);
  EXPECT_NE(status, -1);
  EXPECT_EQ(status, failure.native_error);
  EXPECT_EQ(failure.state, "42P01");
  EXPECT_EQ(pg_terminal("term-1"), (Row{"19990101000000", "old", "X", "3", "17", "9", "0"}));
}

TEST_F(StatusRow, StatusCodeIsWrittenAsSixteenBits) {
  EXPECT_EQ(status_set_progress(db_, "term-1", "20261207090503", 70000, 0), 0);
  EXPECT_EQ(pg_terminal("term-1"), (Row{"20261207090503", "old", "X", "3", "4464", "0", "0"}));
  EXPECT_EQ(status_set_progress(db_, "term-1", "20261207090504", -2, 0), 0);
  EXPECT_EQ(pg_terminal("term-1")[4], "-2");
}

TEST_F(StatusRow, UpdatesLeaveAnOpenCursorAsItIs) {
  dbfix::pg_exec("INSERT INTO vxsystem.vxs113sto (stonum) VALUES (3), (4);");
  ASSERT_EQ(site_cursor_open(db_), 0);
  std::string site;
  ASSERT_EQ(site_cursor_fetch(db_, site), 0);
  EXPECT_EQ(site, "3");
  EXPECT_EQ(status_mark_finished(db_, "term-1", "20261207090503"), 0);
  ASSERT_EQ(site_cursor_fetch(db_, site), 0);
  EXPECT_EQ(site, "4");
  EXPECT_EQ(site_cursor_close(db_), 0);
}

// The embedded default: the same updates through the SQLite3 ODBC driver, with the
// VXSYSTEM schema name provided by the extension.
class SqliteStatusRow : public ::testing::Test {
 protected:
  void SetUp() override {
    source_ = dbfix::sqlite_create(std::filesystem::temp_directory_path() /
                                   ("kestal-db-sqlite-" + std::to_string(getpid())));
    dbfix::sqlite_exec(source_,
                       "INSERT INTO vxs1140trm (trmnam, trmdst, trmdpg, trmdac) VALUES "
                       "('term-1', 17, 9, 0), ('it''s', NULL, 0, 0), ('other', 5, 5, 1);");
    dbfix::sqlite_use(source_);
    ASSERT_EQ(db_connect(db_, "", "", source_.dsn), 0);
  }
  void TearDown() override { std::filesystem::remove_all(source_.folder); }

  Row terminal(const std::string& name) { return dbfix::sqlite_terminal(source_, name); }

  dbfix::SqliteSource source_;
  DatabaseConnection db_;
};

TEST_F(SqliteStatusRow, StartProgressAndEndWriteTheRow) {
  EXPECT_EQ(status_mark_started(db_, "term-1", "20261207090503", "O'Brien", "Registry", 40), 0);
  EXPECT_EQ(terminal("term-1"),
            (Row{"20261207090503", "O'Brien", "Registry", "40", "NULL", "0", "1"}));
  EXPECT_EQ(status_set_progress(db_, "term-1", "20261207090504", 530, 0), 0);
  EXPECT_EQ(terminal("term-1"),
            (Row{"20261207090504", "O'Brien", "Registry", "40", "530", "0", "1"}));
  EXPECT_EQ(status_mark_finished(db_, "term-1", "20261207090505"), 0);
  EXPECT_EQ(terminal("term-1"),
            (Row{"20261207090505", "O'Brien", "Registry", "40", "530", "0", "0"}));
  EXPECT_EQ(terminal("other"), (Row{"NULL", "NULL", "NULL", "NULL", "5", "5", "1"}));
}

TEST_F(SqliteStatusRow, QuotedAndUnknownNamesMatchOnlyTheirOwnRow) {
  EXPECT_EQ(status_mark_finished(db_, "it's", "20261207090505"), 0);
  EXPECT_EQ(terminal("it's"), (Row{"20261207090505", "NULL", "NULL", "NULL", "NULL", "0", "0"}));
  // Like psqlODBC, the SQLite driver reports an update that matched no row as no data.
  EXPECT_EQ(status_mark_started(db_, "nobody", "20261207090505", "u", "Registry", 40), 100);
  EXPECT_EQ(status_set_progress(db_, "x' OR '1'='1", "20261207090505", 1, 0), 100);
  EXPECT_EQ(terminal("term-1"), (Row{"NULL", "NULL", "NULL", "NULL", "17", "9", "0"}));
  EXPECT_EQ(terminal("other"), (Row{"NULL", "NULL", "NULL", "NULL", "5", "5", "1"}));
}

TEST_F(SqliteStatusRow, FailedUpdateReportsTheNativeError) {
  dbfix::sqlite_exec(source_, "ALTER TABLE vxs1140trm RENAME TO vxs1140trm_away;");
  DiagnosticRecord failure;
  std::int32_t status = status_mark_finished(db_, "term-1", "20261207090503", &failure);
  EXPECT_NE(status, 0);
  EXPECT_NE(status, -1);
  EXPECT_EQ(status, failure.native_error);
}

TEST_F(SqliteStatusRow, SiteCursorReadsThroughTheSchemaName) {
  dbfix::sqlite_exec(source_,
                     "INSERT INTO vxs113sto (stonum, stosta) VALUES (12, NULL), (7, 1), (9, 4), "
                     "(7, 2), (8, 8);");
  ASSERT_EQ(site_cursor_open(db_), 0);
  std::string site;
  std::vector<std::string> sites;
  std::int32_t status;
  ASSERT_EQ(site_cursor_fetch(db_, site), 0);
  sites.push_back(site);
  // An update in the middle of the site rows takes effect and leaves the cursor going.
  EXPECT_EQ(status_mark_finished(db_, "other", "20261207090506"), 0);
  while ((status = site_cursor_fetch(db_, site)) == 0) sites.push_back(site);
  EXPECT_EQ(status, 100);
  EXPECT_EQ(sites, (std::vector<std::string>{"7", "12"}));
  EXPECT_EQ(terminal("other"), (Row{"20261207090506", "NULL", "NULL", "NULL", "5", "5", "0"}));
  EXPECT_EQ(site_cursor_close(db_), 0);
}

}  // namespace
