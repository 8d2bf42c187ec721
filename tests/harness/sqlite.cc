// A SQLite database with the tool's schema and an odbc.ini that names it.
#include "harness/sqlite.h"

#include <gtest/gtest.h>

#include <fstream>

#include "harness/install_tree.h"
#include "harness/process.h"

namespace fs = std::filesystem;

SqliteSource make_sqlite_source(const fs::path& folder) {
  SqliteSource source;
  fs::create_directories(folder);
  source.database = folder / "kestal.sqlite";
  source.odbc_ini = folder / "odbc.ini";
  fs::remove(source.database);
  sqlite_exec(source, read_whole_file(KESTAL_SOURCE_DIR "/db/sqlite-schema.sql"));
  std::ofstream(source.odbc_ini) << "[" << source.dsn << "]\n"
                                 << "Driver = " << KESTAL_SQLITE_ODBC_DRIVER << "\n"
                                 << "Database = " << source.database.string() << "\n"
                                 << "LoadExt = " << KESTAL_VXSYSTEM_EXTENSION << "\n"
                                 << "Timeout = 5000\n";
  return source;
}

std::string sqlite_exec(const SqliteSource& source, const std::string& sql) {
  // A leading blank keeps a text that starts with "--" from reading as an option.
  ProcessResult r = run_process("/usr/bin/sqlite3", {source.database.string(), " " + sql},
                                fs::temp_directory_path().string());
  EXPECT_EQ(r.exit_code, 0) << "sqlite3 failed for: " << sql << "\n" << r.err;
  return r.out;
}
