// Database helpers for tests: the loopback PostgreSQL cluster that scripts/with-postgres.sh
// starts, and throwaway SQLite databases served by the SQLite3 ODBC driver.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace dbfix {

// One result row; a NULL value reads as kNull.
using Row = std::vector<std::string>;
inline constexpr const char* kNull = "NULL";

// --- PostgreSQL (run the test under scripts/with-postgres.sh) -----------------------

// What the cluster script exports: KESTAL_PG_DSN, KESTAL_PG_USER, KESTAL_PG_PASSWORD
// and KESTAL_PG_LOG (the server log, every statement logged).
struct PgCluster {
  std::string dsn;
  std::string user;
  std::string password;
  std::string log;
};

// True when all four variables are set.
bool pg_available();

// The cluster's variables. A missing one fails the current test with a message that
// names it; call it under ASSERT_NO_FATAL_FAILURE or check pg_available() first.
PgCluster pg_cluster();

// Runs SQL (one or more statements) through psql as the test role; the current test
// fails with psql's message when a statement fails.
void pg_exec(const std::string& sql);

// Runs one query through psql and returns its rows, every value as text (bytes above
// 127 pass unchanged).
std::vector<Row> pg_query(const std::string& sql);

// Empties vxsystem.vxs1140trm and vxsystem.vxs113sto (renaming back a table that a
// test renamed to <name>_away), so each test starts from no rows.
void pg_reset_tables();

// A terminal row as tests usually seed it: the name plus the written columns, where
// kNull leaves a column NULL.
struct TerminalRow {
  std::string name;
  std::string timestamp = kNull;  // TrmDtd
  std::string user = kNull;       // TrmDbe
  std::string transfer = kNull;   // TrmDnm
  std::string type = kNull;       // TrmDtp
  std::string status = kNull;     // TrmDst
  std::string progress = "0";     // TrmDpg
  std::string active = "0";       // TrmDac
};
void pg_insert_terminal(const TerminalRow& row);
// The row of `name` as {TrmDtd, TrmDbe, TrmDnm, TrmDtp, TrmDst, TrmDpg, TrmDac}; empty
// when no row has that name.
Row pg_terminal(const std::string& name);

// The current end of the server log, and every statement the server logged after
// such a marker, in order (the text after "statement: ", first line of each).
std::uintmax_t pg_log_marker();
std::vector<std::string> pg_statements_since(std::uintmax_t marker);

// Doubles every single quote, for building SQL literals in tests.
std::string sql_literal(const std::string& text);

// --- SQLite ------------------------------------------------------------------------

// A SQLite database with the tool's schema (db/sqlite-schema.sql) and an odbc.ini in
// which DSN `dsn` names it through the SQLite3 ODBC driver and loads the VXSYSTEM
// extension. Point ODBCINI at odbc_ini (sqlite_use) before connecting.
struct SqliteSource {
  std::filesystem::path folder;
  std::filesystem::path database;
  std::filesystem::path odbc_ini;
  std::string dsn;
};

// Creates `folder` (emptied first) with both files; fails the current test when the
// schema cannot be made.
SqliteSource sqlite_create(const std::filesystem::path& folder,
                           const std::string& dsn = "kestal_sqlite");
// Sets ODBCINI to the source's odbc.ini for this process.
void sqlite_use(const SqliteSource& source);
// Runs SQL through the sqlite3 shell; the current test fails when it fails.
void sqlite_exec(const SqliteSource& source, const std::string& sql);
// Runs one query through the sqlite3 shell and returns its rows as text.
std::vector<Row> sqlite_query(const SqliteSource& source, const std::string& sql);
// As pg_terminal, from the SQLite database.
Row sqlite_terminal(const SqliteSource& source, const std::string& name);

}  // namespace dbfix
