// Updates of the terminal's status row: start, status and progress, end. Each runs
// on a statement handle of its own; a failure reports the data source's native error.
#include "db/status_row.h"

#include "db/sql_text.h"
#include "run/format.h"

namespace {

// Runs one UPDATE on a fresh statement handle and maps its result.
std::int32_t run_update(DatabaseConnection& db, std::string text) {
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (SQLAllocHandle(SQL_HANDLE_STMT, db.connection, &statement) == SQL_ERROR) return 0;
  db.statement_text = std::move(text);
  SQLRETURN rc =
      SQLExecDirect(statement, reinterpret_cast<SQLCHAR*>(db.statement_text.data()), SQL_NTS);
  std::int32_t status = static_cast<std::int32_t>(rc);
  if (rc == SQL_SUCCESS_WITH_INFO) {
    status = 0;
  } else if (rc == SQL_ERROR) {
    read_diagnostics(db, SQL_HANDLE_STMT, statement);
    status = db.diagnostics.native_error;
  }
  SQLFreeHandle(SQL_HANDLE_STMT, statement);
  return status;
}

}  // namespace

std::int32_t status_mark_started(DatabaseConnection& db, std::string_view terminal_name,
                                 std::string_view timestamp, std::string_view user_name,
                                 std::string_view transfer_name, std::int16_t transfer_type) {
  return run_update(
      db, text_printf("UPDATE VXSYSTEM.VXS1140TRM SET   TrmDtd = '%s',    TrmDbe = '%s',    "
                      "TrmDnm = '%s',    TrmDtp = %hd,     TrmDst = NULL,   TrmDpg = 0,   "
                      "TrmDac = 1  WHERE TrmNam = '%s' ",
                      sql_quote(timestamp).c_str(), sql_quote(user_name).c_str(),
                      sql_quote(transfer_name).c_str(), transfer_type,
                      sql_quote(terminal_name).c_str()));
}

std::int32_t status_set_progress(DatabaseConnection& db, std::string_view terminal_name,
                                 std::string_view timestamp, std::int32_t status_code,
                                 std::int16_t progress) {
  // The status column is 16 bits wide: the code is written as a 16-bit number.
  return run_update(db, text_printf("UPDATE VXSYSTEM.VXS1140TRM SET   TrmDtd = '%s',   TrmDst = "
                                    "%hd,    TrmDpg = %hd   WHERE TrmNam = '%s' ",
                                    sql_quote(timestamp).c_str(), static_cast<short>(status_code),
                                    progress, sql_quote(terminal_name).c_str()));
}

std::int32_t status_mark_finished(DatabaseConnection& db, std::string_view terminal_name,
                                  std::string_view timestamp) {
  return run_update(db,
                    text_printf("UPDATE VXSYSTEM.VXS1140TRM SET   TrmDtd = '%s',   TrmDac = 0  "
                                "WHERE TrmNam = '%s' ",
                                sql_quote(timestamp).c_str(), sql_quote(terminal_name).c_str()));
}
