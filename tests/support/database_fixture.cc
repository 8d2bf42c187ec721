// Database helpers for tests: psql and sqlite3 run as child processes, so the rows a
// test sets up or reads back never pass through the code under test.
#include "support/database_fixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "harness/postgres.h"
#include "harness/process.h"

namespace dbfix {
namespace {

namespace fs = std::filesystem;

constexpr char kFieldSeparator = '\x1f';

// Splits tool output in which every record ends with `record_end`.
std::vector<Row> split_rows(const std::string& out, char record_end) {
  std::vector<Row> rows;
  std::size_t start = 0;
  while (start < out.size()) {
    std::size_t end = out.find(record_end, start);
    if (end == std::string::npos) end = out.size();
    Row row;
    std::size_t field = start;
    for (;;) {
      std::size_t next = out.find(kFieldSeparator, field);
      if (next == std::string::npos || next > end) next = end;
      row.push_back(out.substr(field, next - field));
      if (next == end) break;
      field = next + 1;
    }
    rows.push_back(row);
    start = end + 1;
  }
  return rows;
}

ProcessResult run_psql(const std::vector<std::string>& options, const std::string& sql) {
  std::vector<std::string> arguments = {"-X", "-q", "-v", "ON_ERROR_STOP=1"};
  arguments.insert(arguments.end(), options.begin(), options.end());
  arguments.push_back("-c");
  arguments.push_back(sql);
  // psql would otherwise pick an encoding from the locale; bytes must pass unchanged.
  ProcessResult r = run_process("/usr/bin/psql", arguments, fs::temp_directory_path().string(),
                                {{"PGCLIENTENCODING", "SQL_ASCII"}});
  EXPECT_EQ(r.exit_code, 0) << "psql failed for: " << sql << "\n" << r.err;
  return r;
}

ProcessResult run_sqlite(const SqliteSource& source, const std::string& sql) {
  // The leading blank keeps a text that starts with "-" from reading as an option.
  ProcessResult r =
      run_process("/usr/bin/sqlite3",
                  {"-batch", "-bail", "-noheader", "-separator", std::string(1, kFieldSeparator),
                   "-newline", "\x1e", "-nullvalue", kNull, source.database.string(), " " + sql},
                  fs::temp_directory_path().string());
  EXPECT_EQ(r.exit_code, 0) << "sqlite3 failed for: " << sql << "\n" << r.err;
  return r;
}

std::string value_or_null(const std::string& value) {
  return value == kNull ? std::string("NULL") : "'" + sql_literal(value) + "'";
}

const char* const kTerminalColumns =
    "trmdtd, trmdbe, trmdnm, trmdtp, trmdst, trmdpg, trmdac FROM vxsystem.vxs1140trm";

Row single_row(const std::vector<Row>& rows) {
  EXPECT_LE(rows.size(), 1u) << "the terminal name is not unique";
  return rows.empty() ? Row{} : rows.front();
}

}  // namespace

bool pg_available() {
  for (const char* name :
       {"KESTAL_PG_DSN", "KESTAL_PG_USER", "KESTAL_PG_PASSWORD", "KESTAL_PG_LOG"})
    if (env_or_empty(name).empty()) return false;
  return true;
}

PgCluster pg_cluster() {
  PgCluster cluster{env_or_empty("KESTAL_PG_DSN"), env_or_empty("KESTAL_PG_USER"),
                    env_or_empty("KESTAL_PG_PASSWORD"), env_or_empty("KESTAL_PG_LOG")};
  for (const char* name :
       {"KESTAL_PG_DSN", "KESTAL_PG_USER", "KESTAL_PG_PASSWORD", "KESTAL_PG_LOG"})
    if (env_or_empty(name).empty())
      ADD_FAILURE() << name << " is not set: run the tests under scripts/with-postgres.sh";
  return cluster;
}

void pg_exec(const std::string& sql) {
  run_psql({}, sql);
}

std::vector<Row> pg_query(const std::string& sql) {
  ProcessResult r = run_psql(
      {"-A", "-t", "-F", std::string(1, kFieldSeparator), "-0", "-P", std::string("null=") + kNull},
      sql);
  return split_rows(r.out, '\0');
}

void pg_reset_tables() {
  pg_exec(
      "DO $$ BEGIN "
      "IF to_regclass('vxsystem.vxs1140trm') IS NULL AND "
      "to_regclass('vxsystem.vxs1140trm_away') IS NOT NULL THEN "
      "ALTER TABLE vxsystem.vxs1140trm_away RENAME TO vxs1140trm; END IF; "
      "IF to_regclass('vxsystem.vxs113sto') IS NULL AND "
      "to_regclass('vxsystem.vxs113sto_away') IS NOT NULL THEN "
      "ALTER TABLE vxsystem.vxs113sto_away RENAME TO vxs113sto; END IF; "
      "END $$; "
      "DELETE FROM vxsystem.vxs1140trm; DELETE FROM vxsystem.vxs113sto;");
}

void pg_insert_terminal(const TerminalRow& row) {
  pg_exec(
      "INSERT INTO vxsystem.vxs1140trm (trmnam, trmdtd, trmdbe, trmdnm, trmdtp, trmdst, trmdpg, "
      "trmdac) VALUES (" +
      value_or_null(row.name) + ", " + value_or_null(row.timestamp) + ", " +
      value_or_null(row.user) + ", " + value_or_null(row.transfer) + ", " +
      value_or_null(row.type) + ", " + value_or_null(row.status) + ", " +
      value_or_null(row.progress) + ", " + value_or_null(row.active) + ");");
}

Row pg_terminal(const std::string& name) {
  return single_row(pg_query(std::string("SELECT ") + kTerminalColumns + " WHERE trmnam = '" +
                             sql_literal(name) + "'"));
}

// The end-to-end harness reads the same server log; one reader serves both.
std::uintmax_t pg_log_marker() {
  return server_log_size();
}

std::vector<std::string> pg_statements_since(std::uintmax_t marker) {
  return statements_logged_since(marker);
}

std::string sql_literal(const std::string& text) {
  std::string quoted;
  for (char c : text) {
    quoted.push_back(c);
    if (c == '\'') quoted.push_back('\'');
  }
  return quoted;
}

SqliteSource sqlite_create(const fs::path& folder, const std::string& dsn) {
  SqliteSource source{folder, folder / "kestal.sqlite", folder / "odbc.ini", dsn};
  fs::remove_all(folder);
  fs::create_directories(folder);
  std::ifstream schema(KESTAL_SOURCE_DIR "/db/sqlite-schema.sql", std::ios::binary);
  EXPECT_TRUE(schema.good()) << "db/sqlite-schema.sql not found";
  std::ostringstream text;
  text << schema.rdbuf();
  run_sqlite(source, text.str());
  std::ofstream(source.odbc_ini) << "[" << dsn << "]\n"
                                 << "Driver = " << KESTAL_SQLITE_ODBC_DRIVER << "\n"
                                 << "Database = " << source.database.string() << "\n"
                                 << "LoadExt = " << KESTAL_VXSYSTEM_EXTENSION << "\n"
                                 << "Timeout = 5000\n";
  return source;
}

void sqlite_use(const SqliteSource& source) {
  setenv("ODBCINI", source.odbc_ini.c_str(), 1);
}

void sqlite_exec(const SqliteSource& source, const std::string& sql) {
  run_sqlite(source, sql);
}

std::vector<Row> sqlite_query(const SqliteSource& source, const std::string& sql) {
  return split_rows(run_sqlite(source, sql).out, '\x1e');
}

Row sqlite_terminal(const SqliteSource& source, const std::string& name) {
  // The shell has no schema VXSYSTEM (the extension is loaded by the ODBC driver only).
  std::string columns = kTerminalColumns;
  columns.replace(columns.find("vxsystem."), 9, "");
  return single_row(
      sqlite_query(source, "SELECT " + columns + " WHERE trmnam = '" + sql_literal(name) + "'"));
}

}  // namespace dbfix
