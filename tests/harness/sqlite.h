// A SQLite database with the tool's schema and an odbc.ini that names it, as the
// embedded default installs it: the SQLite3 ODBC driver plus the VXSYSTEM extension.
#pragma once

#include <filesystem>
#include <string>

struct SqliteSource {
  std::filesystem::path database;  // the database file
  std::filesystem::path odbc_ini;  // point ODBCINI here
  std::string dsn = "kestal_sqlite";
};

// Creates both files in `folder`; fails the current test when the schema cannot be made.
SqliteSource make_sqlite_source(const std::filesystem::path& folder);

// Runs `sql` through the sqlite3 shell on the database; returns its '|'-separated rows.
std::string sqlite_exec(const SqliteSource& source, const std::string& sql);
