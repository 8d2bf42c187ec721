// The connection and the two cursors against the real PostgreSQL cluster.
#include "db/database.h"

#include <gtest/gtest.h>

#include "harness/postgres.h"

namespace {

class Database : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(env_or_empty("KESTAL_PG_DSN").empty()) << "run under scripts/with-postgres.sh";
    psql("DELETE FROM vxsystem.vxs113sto;");
    ASSERT_EQ(db_connect(db_, env_or_empty("KESTAL_PG_USER"), env_or_empty("KESTAL_PG_PASSWORD"),
                         env_or_empty("KESTAL_PG_DSN")),
              0);
  }
  DatabaseConnection db_;
};

TEST(DatabaseConnect, WrongPasswordOrUnknownSourceFails) {
  DatabaseConnection db;
  EXPECT_EQ(db_connect(db, env_or_empty("KESTAL_PG_USER"), "wrong", env_or_empty("KESTAL_PG_DSN")),
            -1);
  DatabaseConnection other;
  EXPECT_EQ(db_connect(other, "a", "b", "no_such_source"), -1);
  DatabaseConnection empty;
  EXPECT_EQ(db_connect(empty, "", "", ""), -1);
}

TEST_F(Database, StatementWithoutResultColumnsOpensButDoesNotFetch) {
  // An update that matches no row reports the driver's no-data code unchanged.
  EXPECT_EQ(query_open(db_, "UPDATE vxsystem.vxs113sto SET stosta = 1 WHERE stonum = -5"), 100);
  EXPECT_EQ(query_close(db_), 0);
  psql("INSERT INTO vxsystem.vxs113sto (stonum) VALUES (-5);");
  EXPECT_EQ(query_open(db_, "UPDATE vxsystem.vxs113sto SET stosta = 1 WHERE stonum = -5"), 0);
  QueryRow row;
  row.column_count = 7;
  EXPECT_EQ(query_fetch_row(db_, row), -1);
  EXPECT_EQ(row.column_count, 7);
  EXPECT_EQ(query_close(db_), 0);
}

TEST_F(Database, QueryWithoutRowLeavesTheRowUntouched) {
  ASSERT_EQ(query_open(db_, "SELECT stonum, stosta FROM vxsystem.vxs113sto"), 0);
  QueryRow row;
  row.column_count = 3;
  row.columns[0][0] = 'x';
  EXPECT_EQ(query_fetch_row(db_, row), 100);
  EXPECT_EQ(row.column_count, 3);
  EXPECT_EQ(row.columns[0][0], 'x');
  EXPECT_EQ(query_close(db_), 0);
  EXPECT_TRUE(db_.query_statement == SQL_NULL_HSTMT);
}

TEST_F(Database, NullColumnIsEmptyAndLongColumnKeepsNinetyNineCharacters) {
  ASSERT_EQ(query_open(db_, "SELECT 'a', NULL, repeat('x', 150), 42"), 0);
  QueryRow row;
  ASSERT_EQ(query_fetch_row(db_, row), 0);
  EXPECT_EQ(row.column_count, 4);
  EXPECT_STREQ(row.columns[0], "a");
  EXPECT_STREQ(row.columns[1], "");
  EXPECT_EQ(std::string(row.columns[2]), std::string(99, 'x'));
  EXPECT_STREQ(row.columns[3], "42");
  EXPECT_EQ(row.columns[4][0], '\0');
  EXPECT_EQ(query_close(db_), 0);
}

TEST_F(Database, SyntaxErrorClosesTheCursorAndRecordsTheNativeError) {
  EXPECT_EQ(query_open(db_, "SELEKT nothing FROM nowhere"), -1);
  EXPECT_NE(db_.diagnostics.native_error, 0);
  EXPECT_STREQ(db_.diagnostics.state, "42601");
  EXPECT_TRUE(db_.query_statement == SQL_NULL_HSTMT);
  EXPECT_EQ(query_close(db_), -1);
  QueryRow row;
  EXPECT_EQ(query_fetch_row(db_, row), -1);
}

TEST_F(Database, SiteCursorYieldsDistinctQualifyingSitesInOrder) {
  psql(
      "INSERT INTO vxsystem.vxs113sto (stonum, stosta) VALUES (12345, 1), (7, NULL), (7, 2), "
      "(500, 4), (600, 8), (0, 0), (123456789, 3), (99, 5);");
  std::string site = "untouched";
  EXPECT_EQ(site_cursor_fetch(db_, site), -1);
  EXPECT_EQ(site, "untouched");

  std::uintmax_t offset = server_log_size();
  ASSERT_EQ(site_cursor_open(db_), 0);
  std::vector<std::string> sites;
  std::int32_t status;
  while ((status = site_cursor_fetch(db_, site)) == 0) sites.push_back(site);
  EXPECT_EQ(status, 100);
  // 123456789 does not fit the 9-byte binding: the driver cuts it to 8 characters.
  EXPECT_EQ(sites, (std::vector<std::string>{"0", "7", "99", "12345", "12345678"}));
  EXPECT_EQ(site_cursor_close(db_), 0);
  EXPECT_EQ(site_cursor_fetch(db_, site), -1);

  std::vector<std::string> logged = statements_logged_since(offset);
  ASSERT_FALSE(logged.empty());
  EXPECT_EQ(
      logged.back(),
      "SELECT DISTINCT StoNum  FROM  VXSYSTEM.VXS113STO  WHERE ((StoSta <> 4 AND StoSta <> 8) "
      "OR StoSta IS NULL)  ORDER BY StoNum");
}

TEST_F(Database, SiteCursorOnAMissingTableFails) {
  psql("ALTER TABLE vxsystem.vxs113sto RENAME TO vxs113sto_away;");
  EXPECT_EQ(site_cursor_open(db_), -1);
  EXPECT_TRUE(db_.site_statement == SQL_NULL_HSTMT);
  std::string site;
  EXPECT_EQ(site_cursor_fetch(db_, site), -1);
  psql("ALTER TABLE vxsystem.vxs113sto_away RENAME TO vxs113sto;");
}

}  // namespace
