// Status-row updates against the real PostgreSQL cluster: their effect on the row,
// the exact statements the server received, unknown and quoted names, failures.
#include "db/status_row.h"

#include <gtest/gtest.h>

#include "harness/postgres.h"

namespace {

class StatusRow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(env_or_empty("KESTAL_PG_DSN").empty()) << "run under scripts/with-postgres.sh";
    psql(
        "DELETE FROM vxsystem.vxs1140trm; INSERT INTO vxsystem.vxs1140trm (trmnam, trmdtd, trmdbe, "
        "trmdnm, trmdtp, trmdst, trmdpg, trmdac) VALUES ('term-1', '19990101000000', 'old', 'X', "
        "3, 17, 9, 0), ('it''s', NULL, NULL, NULL, NULL, NULL, 0, 0), ('other', NULL, 'keep', "
        "NULL, NULL, 5, 5, 1);");
    ASSERT_EQ(db_connect(db_, env_or_empty("KESTAL_PG_USER"), env_or_empty("KESTAL_PG_PASSWORD"),
                         env_or_empty("KESTAL_PG_DSN")),
              0);
  }
  static std::string row(const std::string& where) {
    return psql(
        "SELECT trmdtd, trmdbe, trmdnm, trmdtp, coalesce(trmdst::text, 'NULL'), trmdpg, trmdac "
        "FROM vxsystem.vxs1140trm WHERE " +
        where + ";");
  }
  DatabaseConnection db_;
};

TEST_F(StatusRow, StartProgressAndEndWriteTheRowWithTheExactTexts) {
  std::uintmax_t offset = server_log_size();
  EXPECT_EQ(status_mark_started(db_, "term-1", "20261207090503", "alice", "Registry", 40), 0);
  EXPECT_EQ(row("trmnam = 'term-1'"), "20261207090503|alice|Registry|40|NULL|0|1\n");
  EXPECT_EQ(status_set_progress(db_, "term-1", "20261207090504", 10061, 0), 0);
  EXPECT_EQ(row("trmnam = 'term-1'"), "20261207090504|alice|Registry|40|10061|0|1\n");
  EXPECT_EQ(status_mark_finished(db_, "term-1", "20261207090505"), 0);
  EXPECT_EQ(row("trmnam = 'term-1'"), "20261207090505|alice|Registry|40|10061|0|0\n");
  EXPECT_EQ(row("trmnam = 'other'"), "|keep|||5|5|1\n");

  std::vector<std::string> logged = statements_logged_since(offset);
  std::vector<std::string> updates;
  for (const auto& s : logged)
    if (s.rfind("UPDATE VXSYSTEM", 0) == 0) updates.push_back(s);
  EXPECT_EQ(updates,
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
  std::string before = psql("SELECT * FROM vxsystem.vxs1140trm ORDER BY trmnam;");
  EXPECT_EQ(status_mark_started(db_, "nobody", "20261207090503", "u", "Registry", 40), 100);
  EXPECT_EQ(status_set_progress(db_, "nobody", "20261207090503", 530, 0), 100);
  EXPECT_EQ(status_mark_finished(db_, "nobody", "20261207090503"), 100);
  EXPECT_EQ(psql("SELECT * FROM vxsystem.vxs1140trm ORDER BY trmnam;"), before);
}

TEST_F(StatusRow, QuotesInNamesStayInsideTheLiterals) {
  EXPECT_EQ(status_mark_started(db_, "it's", "20261207090503", "O'Brien", "Registry", 40), 0);
  EXPECT_EQ(row("trmnam = 'it''s'"), "20261207090503|O'Brien|Registry|40|NULL|0|1\n");
  EXPECT_EQ(row("trmnam = 'term-1'"), "19990101000000|old|X|3|17|9|0\n");
  // A name that tries to widen the WHERE clause matches no row at all.
  EXPECT_EQ(status_mark_finished(db_, "x' OR '1'='1", "20261207090503"), 100);
  EXPECT_EQ(row("trmnam = 'other'"), "|keep|||5|5|1\n");
}

TEST_F(StatusRow, FailedUpdateReportsTheNativeError) {
  psql("ALTER TABLE vxsystem.vxs1140trm RENAME TO vxs1140trm_away;");
  std::int32_t status = status_mark_finished(db_, "term-1", "20261207090503");
  psql("ALTER TABLE vxsystem.vxs1140trm_away RENAME TO vxs1140trm;");
  EXPECT_NE(status, 0);
  EXPECT_NE(status, -1);
  EXPECT_EQ(status, db_.diagnostics.native_error);
}

TEST_F(StatusRow, ProgressCodeIsWrittenAsSixteenBits) {
  EXPECT_EQ(status_set_progress(db_, "term-1", "20261207090503", 11001, 0), 0);
  EXPECT_EQ(row("trmnam = 'term-1'"), "20261207090503|old|X|3|11001|0|0\n");
}

}  // namespace

// The embedded default: the same updates through the SQLite3 ODBC driver, with the
// VXSYSTEM schema name provided by the extension.
#include <cstdlib>
#include <filesystem>

#include "harness/sqlite.h"

namespace {

class SqliteStatusRow : public ::testing::Test {
 protected:
  void SetUp() override {
    source_ = make_sqlite_source(std::filesystem::temp_directory_path() /
                                 ("kestal-sqlite-" + std::to_string(getpid())));
    sqlite_exec(
        source_,
        "INSERT INTO vxs1140trm (trmnam, trmdst, trmdpg, trmdac) VALUES ('term-1', 17, 9, 0), "
        "('other', 5, 5, 1);");
    setenv("ODBCINI", source_.odbc_ini.c_str(), 1);
    ASSERT_EQ(db_connect(db_, "", "", source_.dsn), 0);
  }
  void TearDown() override { std::filesystem::remove_all(source_.database.parent_path()); }
  std::string row(const std::string& name) {
    return sqlite_exec(source_,
                       "SELECT trmdtd, trmdbe, trmdnm, trmdtp, coalesce(trmdst, 'NULL'), trmdpg, "
                       "trmdac FROM vxs1140trm WHERE trmnam = '" +
                           name + "';");
  }
  SqliteSource source_;
  DatabaseConnection db_;
};

TEST_F(SqliteStatusRow, StartProgressAndEndWriteTheRow) {
  EXPECT_EQ(status_mark_started(db_, "term-1", "20261207090503", "O'Brien", "Registry", 40), 0);
  EXPECT_EQ(row("term-1"), "20261207090503|O'Brien|Registry|40|NULL|0|1\n");
  EXPECT_EQ(status_set_progress(db_, "term-1", "20261207090504", 530, 0), 0);
  EXPECT_EQ(row("term-1"), "20261207090504|O'Brien|Registry|40|530|0|1\n");
  EXPECT_EQ(status_mark_finished(db_, "term-1", "20261207090505"), 0);
  EXPECT_EQ(row("term-1"), "20261207090505|O'Brien|Registry|40|530|0|0\n");
  EXPECT_EQ(row("other"), "||||5|5|1\n");
}

TEST_F(SqliteStatusRow, UnknownTerminalChangesNothing) {
  // Like psqlODBC, the SQLite driver reports an update that matched no row as no data.
  EXPECT_EQ(status_mark_started(db_, "nobody", "20261207090505", "u", "Registry", 40), 100);
  EXPECT_EQ(status_mark_finished(db_, "nobody", "20261207090505"), 100);
  EXPECT_EQ(row("term-1"), "||||17|9|0\n");
}

TEST_F(SqliteStatusRow, SiteCursorReadsThroughTheSchemaName) {
  sqlite_exec(source_, "INSERT INTO vxs113sto (stonum, stosta) VALUES (12, NULL), (7, 1), (9, 4);");
  ASSERT_EQ(site_cursor_open(db_), 0);
  std::string site;
  std::vector<std::string> sites;
  while (site_cursor_fetch(db_, site) == 0) sites.push_back(site);
  EXPECT_EQ(sites, (std::vector<std::string>{"7", "12"}));
  EXPECT_EQ(site_cursor_close(db_), 0);
}

}  // namespace
