// Reads status rows on a statement of its own: the filter's texts are bound as
// parameters, every column is fetched as text in pieces, so no length is cut.
#include "db/status_read.h"

#include <cstdlib>

namespace {

// One column as text; false for NULL.
bool column_text(SQLHSTMT statement, SQLUSMALLINT column, std::string& out) {
  out.clear();
  char piece[256];
  for (;;) {
    SQLLEN length = 0;
    SQLRETURN rc = SQLGetData(statement, column, SQL_C_CHAR, piece, sizeof piece, &length);
    if (rc == SQL_NO_DATA) return true;
    if (!SQL_SUCCEEDED(rc) || length == SQL_NULL_DATA) return false;
    std::size_t got = length == SQL_NO_TOTAL || length >= static_cast<SQLLEN>(sizeof piece)
                          ? sizeof piece - 1
                          : static_cast<std::size_t>(length);
    out.append(piece, got);
    if (rc == SQL_SUCCESS) return true;
  }
}

std::optional<std::int32_t> column_number(SQLHSTMT statement, SQLUSMALLINT column) {
  std::string text;
  if (!column_text(statement, column, text) || text.empty()) return std::nullopt;
  return static_cast<std::int32_t>(std::strtol(text.c_str(), nullptr, 10));
}

std::string select_text(const StatusFilter& filter) {
  std::string sql = "SELECT TrmNam, TrmDst, TrmDac, TrmDtd, TrmDbe FROM VXSYSTEM.VXS1140TRM";
  std::string where;
  if (filter.like) where += " AND TrmNam LIKE ?";
  if (filter.name) where += " AND TrmNam = ?";
  if (filter.failed_only) where += " AND (TrmDst IS NOT NULL OR TrmDac = 1)";
  if (!where.empty()) sql += " WHERE" + where.substr(4);
  return sql + " ORDER BY TrmNam";
}

SQLRETURN execute(SQLHSTMT statement, const StatusFilter& filter) {
  std::vector<std::string> parameters;
  if (filter.like) parameters.push_back(*filter.like);
  if (filter.name) parameters.push_back(*filter.name);
  return execute_with_parameters(statement, select_text(filter), parameters);
}

}  // namespace

std::int32_t status_rows_read(DatabaseConnection& db, const StatusFilter& filter,
                              std::vector<StatusRow>& rows) {
  OdbcHandle handle = odbc_allocate(SQL_HANDLE_STMT, db.connection.get());
  if (!handle) return -1;
  SQLHSTMT statement = handle.get();
  SQLRETURN rc = execute(statement, filter);
  while (SQL_SUCCEEDED(rc) && SQL_SUCCEEDED(rc = SQLFetch(statement))) {
    StatusRow& row = rows.emplace_back();
    column_text(statement, 1, row.name);
    row.code = column_number(statement, 2);
    row.active = column_number(statement, 3);
    column_text(statement, 4, row.updated);
    column_text(statement, 5, row.user);
  }
  if (rc == SQL_NO_DATA || SQL_SUCCEEDED(rc)) return 0;
  std::int32_t native_error = read_diagnostics(SQL_HANDLE_STMT, statement).native_error;
  return native_error != 0 ? native_error : rc;
}
