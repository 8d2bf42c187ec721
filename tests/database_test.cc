// The connection and the two cursors against the real PostgreSQL cluster of
// scripts/with-postgres.sh, including the exact site query the server received.
#include "db/database.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/database_fixture.h"

namespace {

using dbfix::pg_exec;

class Database : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dbfix::pg_available()) << "run under scripts/with-postgres.sh";
    cluster_ = dbfix::pg_cluster();
    dbfix::pg_reset_tables();
    ASSERT_EQ(db_connect(db_, cluster_.user, cluster_.password, cluster_.dsn), 0);
  }
  void TearDown() override { dbfix::pg_reset_tables(); }

  dbfix::PgCluster cluster_;
  DatabaseConnection db_;
};

TEST_F(Database, ConnectFailsForAWrongPasswordOrAnUnknownSource) {
  DatabaseConnection wrong;
  EXPECT_EQ(db_connect(wrong, cluster_.user, "wrong", cluster_.dsn), -1);
  DatabaseConnection unknown;
  EXPECT_EQ(db_connect(unknown, cluster_.user, cluster_.password, "no_such_source"), -1);
  // Login texts longer than 23 characters are passed whole, not cut into a valid login.
  DatabaseConnection longer;
  EXPECT_EQ(
      db_connect(longer, cluster_.user, cluster_.password + std::string(30, 'x'), cluster_.dsn),
      -1);
}

TEST_F(Database, StatementWithoutResultColumnsOpensButDoesNotFetch) {
  pg_exec("INSERT INTO vxsystem.vxs113sto (stonum) VALUES (5);");
  EXPECT_EQ(query_open(db_, "UPDATE vxsystem.vxs113sto SET stosta = 1 WHERE stonum = 5"), 0);
  EXPECT_EQ(db_.query_column_count, 0);
  QueryRow row;
  row.column_count = 7;
  row.columns[0][0] = 'x';
  EXPECT_EQ(query_fetch_row(db_, row), -1);
  EXPECT_EQ(row.column_count, 7);
  EXPECT_EQ(row.columns[0][0], 'x');
  EXPECT_EQ(query_close(db_), 0);
  // An update that matches no row passes the driver's no-data code on unchanged.
  EXPECT_EQ(query_open(db_, "UPDATE vxsystem.vxs113sto SET stosta = 1 WHERE stonum = 6"), 100);
  EXPECT_EQ(query_close(db_), 0);
}

TEST_F(Database, QueryWithoutRowReportsNoDataAndLeavesTheRowUntouched) {
  ASSERT_EQ(query_open(db_, "SELECT stonum, stosta FROM vxsystem.vxs113sto"), 0);
  EXPECT_EQ(db_.query_column_count, 2);
  QueryRow row;
  row.column_count = 3;
  row.columns[0][0] = 'x';
  EXPECT_EQ(query_fetch_row(db_, row), 100);
  EXPECT_EQ(row.column_count, 3);
  EXPECT_EQ(row.columns[0][0], 'x');
  // The cursor stays open after no data, until it is closed.
  EXPECT_TRUE(db_.query_statement);
  EXPECT_EQ(query_close(db_), 0);
  EXPECT_FALSE(db_.query_statement);
}

TEST_F(Database, NullColumnIsEmptyAndLongColumnKeepsNinetyNineCharacters) {
  ASSERT_EQ(query_open(db_, "SELECT 'a', NULL, repeat('x', 150), 42, ''"), 0);
  QueryRow row;
  row.columns[7][0] = 'z';  // slots beyond the result are cleared
  ASSERT_EQ(query_fetch_row(db_, row), 0);
  EXPECT_EQ(row.column_count, 5);
  EXPECT_STREQ(row.columns[0], "a");
  EXPECT_STREQ(row.columns[1], "");
  EXPECT_EQ(std::string(row.columns[2]), std::string(99, 'x'));
  EXPECT_STREQ(row.columns[3], "42");
  EXPECT_STREQ(row.columns[4], "");
  EXPECT_EQ(row.columns[7][0], '\0');
  EXPECT_EQ(query_close(db_), 0);
}

TEST_F(Database, ResultsWiderThanThirtyColumnsFillOnlyTheThirtySlots) {
  std::string sql = "SELECT 1";
  for (int i = 2; i <= 35; ++i) sql += ", " + std::to_string(i);
  ASSERT_EQ(query_open(db_, sql), 0);
  EXPECT_EQ(db_.query_column_count, 35);
  QueryRow row;
  ASSERT_EQ(query_fetch_row(db_, row), 0);
  EXPECT_EQ(row.column_count, 30);
  EXPECT_STREQ(row.columns[0], "1");
  EXPECT_STREQ(row.columns[29], "30");
  EXPECT_EQ(query_close(db_), 0);
}

TEST_F(Database, StatementTextsBeyondOneThousandCharactersRunWhole) {
  std::string sql = "SELECT length('" + std::string(3000, 'q') + "')";
  std::uintmax_t marker = dbfix::pg_log_marker();
  ASSERT_EQ(query_open(db_, sql), 0);
  QueryRow row;
  ASSERT_EQ(query_fetch_row(db_, row), 0);
  EXPECT_STREQ(row.columns[0], "3000");
  EXPECT_EQ(query_close(db_), 0);
  EXPECT_EQ(dbfix::pg_statements_since(marker), std::vector<std::string>{sql});
}

TEST_F(Database, SyntaxErrorClosesTheCursorAndRecordsTheNativeError) {
  DiagnosticRecord failure;
  EXPECT_EQ(query_open(db_, "SELEKT nothing FROM nowhere", {}, &failure), -1);
  EXPECT_NE(failure.native_error, 0);
  EXPECT_EQ(failure.state, "42601");
  EXPECT_NE(failure.message, "");
  EXPECT_FALSE(db_.query_statement);
  EXPECT_EQ(query_close(db_), -1);
  QueryRow row;
  EXPECT_EQ(query_fetch_row(db_, row), -1);
  // The connection stays usable for the next statement.
  EXPECT_EQ(query_open(db_, "SELECT 1"), 0);
  EXPECT_EQ(query_close(db_), 0);
}

TEST_F(Database, SiteCursorYieldsDistinctQualifyingSitesInOrder) {
  pg_exec(
      "INSERT INTO vxsystem.vxs113sto (stonum, stosta) VALUES (12345, 1), (7, NULL), (7, 2), "
      "(500, 4), (600, 8), (0, 0), (123456789, 3), (99, 5), (600, NULL);");
  std::string site = "untouched";
  EXPECT_EQ(site_cursor_fetch(db_, site), -1);
  EXPECT_EQ(site, "untouched");

  std::uintmax_t marker = dbfix::pg_log_marker();
  ASSERT_EQ(site_cursor_open(db_), 0);
  std::vector<std::string> sites;
  std::int32_t status;
  while ((status = site_cursor_fetch(db_, site)) == 0) sites.push_back(site);
  EXPECT_EQ(status, 100);
  // 600 qualifies through its row without a status; 123456789 does not fit the 9-byte
  // binding and arrives cut to 8 characters.
  EXPECT_EQ(sites, (std::vector<std::string>{"0", "7", "99", "600", "12345", "12345678"}));
  EXPECT_EQ(site_cursor_fetch(db_, site), 100);
  EXPECT_EQ(site_cursor_close(db_), 0);
  EXPECT_FALSE(db_.site_statement);
  EXPECT_EQ(site_cursor_fetch(db_, site), -1);

  EXPECT_EQ(dbfix::pg_statements_since(marker),
            std::vector<std::string>{
                "SELECT DISTINCT StoNum  FROM  VXSYSTEM.VXS113STO  WHERE ((StoSta <> 4 AND "
                "StoSta <> 8) OR StoSta IS NULL)  ORDER BY StoNum"});
}

TEST_F(Database, SiteCursorWithoutSitesReportsNoDataAtOnce) {
  pg_exec("INSERT INTO vxsystem.vxs113sto (stonum, stosta) VALUES (1, 4), (2, 8);");
  ASSERT_EQ(site_cursor_open(db_), 0);
  std::string site = "kept";
  EXPECT_EQ(site_cursor_fetch(db_, site), 100);
  EXPECT_EQ(site, "kept");
  EXPECT_EQ(site_cursor_close(db_), 0);
}

TEST_F(Database, SiteCursorOnAMissingTableFailsAndStaysClosed) {
  pg_exec("ALTER TABLE vxsystem.vxs113sto RENAME TO vxs113sto_away;");
  DiagnosticRecord failure;
  EXPECT_EQ(site_cursor_open(db_, &failure), -1);
  EXPECT_NE(failure.native_error, 0);
  EXPECT_FALSE(db_.site_statement);
  std::string site;
  EXPECT_EQ(site_cursor_fetch(db_, site), -1);
  EXPECT_EQ(site_cursor_close(db_), -1);
}

}  // namespace
