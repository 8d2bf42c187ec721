// The run's one ODBC connection and its two read cursors. Statuses are ODBC return
// codes widened to 32 bits, with success-with-information counted as success.
#include "db/database.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* kSiteQuery =
    "SELECT DISTINCT StoNum  FROM  VXSYSTEM.VXS113STO  WHERE ((StoSta <> 4 AND StoSta <> 8) OR "
    "StoSta IS NULL)  ORDER BY StoNum";

std::int32_t widen(SQLRETURN rc) {
  return static_cast<std::int32_t>(rc);
}

SQLCHAR* sql_text(std::string& text) {
  return reinterpret_cast<SQLCHAR*>(text.data());
}

// Both cursors read forward only and ask for lock concurrency, so a row read for the
// transfer is not changed under it where the driver can promise that; drivers that
// cannot give it simply say so, and the cursor still works.
void set_cursor_attributes(SQLHSTMT statement) {
  SQLSetStmtAttr(statement, SQL_ATTR_CURSOR_SCROLLABLE,
                 reinterpret_cast<SQLPOINTER>(static_cast<SQLLEN>(SQL_NONSCROLLABLE)),
                 SQL_IS_INTEGER);
  SQLSetStmtAttr(statement, SQL_ATTR_CONCURRENCY,
                 reinterpret_cast<SQLPOINTER>(static_cast<SQLLEN>(SQL_CONCUR_LOCK)),
                 SQL_IS_INTEGER);
}

// A cursor that reports SQL_ERROR hands its diagnostics to a caller that asked and
// closes itself.
std::int32_t close_after_error(OdbcHandle& statement, DiagnosticRecord* failure) {
  if (failure != nullptr) *failure = read_diagnostics(SQL_HANDLE_STMT, statement.get());
  statement.reset();
  return -1;
}

}  // namespace

std::int16_t OdbcHandle::reset() noexcept {
  if (handle_ == nullptr) return 0;
  SQLRETURN rc = SQLFreeHandle(type_, handle_);
  handle_ = nullptr;
  return rc;
}

OdbcHandle odbc_allocate(SQLSMALLINT type, SQLHANDLE parent) {
  SQLHANDLE handle = SQL_NULL_HANDLE;
  if (SQLAllocHandle(type, parent, &handle) == SQL_ERROR) return {};
  return OdbcHandle(type, handle);
}

DatabaseConnection::~DatabaseConnection() {
  if (connected) {
    // Left to the end of the process, which closes the connection.
    connection.release();
    environment.release();
  }
}

std::int32_t db_connect(DatabaseConnection& db, std::string_view user_name,
                        std::string_view password, std::string_view data_source) {
  // Login texts of any length are passed whole.
  std::string user(user_name);
  std::string secret(password);
  std::string source(data_source);
  db.environment = odbc_allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
  if (!db.environment) return -1;
  SQLSetEnvAttr(db.environment.get(), SQL_ATTR_ODBC_VERSION,
                reinterpret_cast<SQLPOINTER>(static_cast<SQLLEN>(SQL_OV_ODBC3)), SQL_IS_INTEGER);
  db.connection = odbc_allocate(SQL_HANDLE_DBC, db.environment.get());
  if (!db.connection) return -1;
  SQLRETURN rc = SQLConnect(db.connection.get(), sql_text(source), SQL_NTS, sql_text(user), SQL_NTS,
                            sql_text(secret), SQL_NTS);
  // Keep no copy of the password longer than the call needs it.
  std::fill(secret.begin(), secret.end(), '\0');
  db.connected = rc != SQL_ERROR;
  return db.connected ? 0 : -1;
}

std::int32_t query_open(DatabaseConnection& db, std::string_view sql,
                        const std::vector<std::string>& parameters, DiagnosticRecord* failure) {
  db.query_column_count = 0;
  db.query_statement = odbc_allocate(SQL_HANDLE_STMT, db.connection.get());
  if (!db.query_statement) return 0;
  set_cursor_attributes(db.query_statement.get());
  SQLRETURN rc = execute_with_parameters(db.query_statement.get(), sql, parameters);
  db.last_status = widen(rc);
  if (rc == SQL_ERROR) {
    return close_after_error(db.query_statement, failure);
  }
  if (rc == SQL_SUCCESS_WITH_INFO) db.last_status = 0;
  if (db.last_status != 0) return db.last_status;
  SQLSMALLINT columns = 0;
  SQLNumResultCols(db.query_statement.get(), &columns);
  db.query_column_count = columns;
  return 0;
}

std::int32_t query_fetch_row(DatabaseConnection& db, QueryRow& row, DiagnosticRecord* failure) {
  QueryRow work;
  SQLLEN lengths[kQueryColumns] = {};
  if (!db.query_statement || db.query_column_count == 0) return -1;
  // Columns beyond the row's thirty slots are not bound, so nothing is written past it.
  int bound = db.query_column_count < kQueryColumns ? db.query_column_count : kQueryColumns;
  for (int i = 1; i <= bound; ++i) {
    SQLBindCol(db.query_statement.get(), static_cast<SQLUSMALLINT>(i), SQL_C_CHAR,
               work.columns[i - 1], kColumnBytes, &lengths[i - 1]);
  }
  SQLRETURN rc = SQLFetch(db.query_statement.get());
  db.last_status = widen(rc);
  if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) {
    db.last_status = 0;
    std::memcpy(row.columns, work.columns, sizeof row.columns);
    row.column_count = bound;
    return 0;
  }
  if (rc == SQL_ERROR) {
    return close_after_error(db.query_statement, failure);
  }
  return db.last_status;
}

std::int32_t query_close(DatabaseConnection& db) {
  if (!db.query_statement) return db.last_status;
  db.last_status = widen(db.query_statement.reset());
  return db.last_status;
}

std::int32_t site_cursor_open(DatabaseConnection& db, DiagnosticRecord* failure) {
  db.site_statement = odbc_allocate(SQL_HANDLE_STMT, db.connection.get());
  if (!db.site_statement) return 0;
  set_cursor_attributes(db.site_statement.get());
  SQLBindCol(db.site_statement.get(), 1, SQL_C_CHAR, db.site_work, sizeof db.site_work,
             &db.site_length);
  std::string text = kSiteQuery;
  SQLRETURN rc = SQLExecDirect(db.site_statement.get(), sql_text(text), SQL_NTS);
  db.last_status = widen(rc);
  if (rc == SQL_SUCCESS_WITH_INFO) {
    db.last_status = 0;
    return 0;
  }
  if (rc == SQL_ERROR) {
    return close_after_error(db.site_statement, failure);
  }
  return db.last_status;
}

std::int32_t site_cursor_fetch(DatabaseConnection& db, std::string& site_number,
                               DiagnosticRecord* failure) {
  if (!db.site_statement) return -1;
  std::fill(std::begin(db.site_work), std::end(db.site_work), '\0');
  SQLRETURN rc = SQLFetch(db.site_statement.get());
  db.last_status = widen(rc);
  if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) {
    db.last_status = 0;
    db.site_work[sizeof db.site_work - 1] = '\0';
    site_number = db.site_work;
    return 0;
  }
  if (rc == SQL_ERROR) {
    return close_after_error(db.site_statement, failure);
  }
  return db.last_status;
}

std::int32_t site_cursor_close(DatabaseConnection& db) {
  if (db.site_statement) db.last_status = widen(db.site_statement.reset());
  return db.last_status;
}

SQLRETURN execute_with_parameters(SQLHSTMT statement, std::string_view sql,
                                  const std::vector<std::string>& parameters) {
  // Values and lengths must live until the statement has run.
  std::vector<std::string> values(parameters);
  std::vector<SQLLEN> lengths(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::string& value = values[i];
    lengths[i] = static_cast<SQLLEN>(value.size());
    SQLRETURN rc = SQLBindParameter(statement, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT,
                                    SQL_C_CHAR, SQL_VARCHAR, value.empty() ? 1 : value.size(), 0,
                                    value.data(), lengths[i], &lengths[i]);
    if (rc == SQL_ERROR) return rc;
  }
  std::string text(sql);
  return SQLExecDirect(statement, sql_text(text), SQL_NTS);
}

DiagnosticRecord read_diagnostics(SQLSMALLINT handle_type, SQLHANDLE handle) {
  SQLCHAR state[6] = {};
  SQLCHAR message[1000] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  DiagnosticRecord record;
  SQLRETURN rc =
      SQLGetDiagRec(handle_type, handle, 1, state, &native, message, sizeof message, &length);
  if (!SQL_SUCCEEDED(rc)) return record;
  record.state = reinterpret_cast<const char*>(state);
  record.message = reinterpret_cast<const char*>(message);
  record.native_error = static_cast<std::int32_t>(native);
  return record;
}
