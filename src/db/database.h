// The run's one ODBC connection and its two read cursors: the query cursor for the
// value statement and the site cursor for the site numbers. Never disconnected.
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/odbc_handle.h"
#include "db/query_row.h"

// The first diagnostic record of a failed call, handed to the caller that asked.
struct DiagnosticRecord {
  std::string state;
  std::string message;
  std::int32_t native_error = 0;
};

// The handles are freed with the connection, statements first; a connection that
// was opened is left open, since the run never disconnects: it ends with the process.
struct DatabaseConnection {
  OdbcHandle environment;
  OdbcHandle connection;
  OdbcHandle query_statement;
  std::int16_t query_column_count = 0;
  OdbcHandle site_statement;
  // Bound once when the site cursor opens; every fetch clears it first.
  char site_work[9] = {};
  SQLLEN site_length = 0;
  bool connected = false;
  std::int32_t last_status = 0;

  DatabaseConnection() = default;
  ~DatabaseConnection();
  DatabaseConnection(const DatabaseConnection&) = delete;
  DatabaseConnection& operator=(const DatabaseConnection&) = delete;
};

// A new handle of `type` under `parent`; an empty owner when the driver manager
// reports SQL_ERROR.
OdbcHandle odbc_allocate(SQLSMALLINT type, SQLHANDLE parent);

// 0 when connected, -1 when not.
std::int32_t db_connect(DatabaseConnection& db, std::string_view user_name,
                        std::string_view password, std::string_view data_source);

// A cursor operation that fails with SQL_ERROR closes its cursor and, where the
// caller passes `failure`, fills it with the first diagnostic record.

// `parameters` are bound, in order, to the "?" markers of `sql`.
std::int32_t query_open(DatabaseConnection& db, std::string_view sql,
                        const std::vector<std::string>& parameters = {},
                        DiagnosticRecord* failure = nullptr);
std::int32_t query_fetch_row(DatabaseConnection& db, QueryRow& row,
                             DiagnosticRecord* failure = nullptr);
std::int32_t query_close(DatabaseConnection& db);

std::int32_t site_cursor_open(DatabaseConnection& db, DiagnosticRecord* failure = nullptr);
// On 0, `site_number` holds the next site number (at most 8 characters).
std::int32_t site_cursor_fetch(DatabaseConnection& db, std::string& site_number,
                               DiagnosticRecord* failure = nullptr);
std::int32_t site_cursor_close(DatabaseConnection& db);

// Runs `sql` on `statement` with `parameters` bound, in order, as character values to
// its "?" markers.
SQLRETURN execute_with_parameters(SQLHSTMT statement, std::string_view sql,
                                  const std::vector<std::string>& parameters);

// The first diagnostic record of `handle`; empty when there is none.
DiagnosticRecord read_diagnostics(SQLSMALLINT handle_type, SQLHANDLE handle);
