// Updates of the terminal's status row: start, status and progress, end. Each runs
// on a statement handle of its own; a failure reports the data source's native error.
#include "db/status_row.h"

#include "db/sql_text.h"
#include "log/format.h"

namespace {

// Runs one UPDATE on a fresh statement handle and maps its result.
std::int32_t run_update(DatabaseConnection& db, const SqlStatement& statement,
                        DiagnosticRecord* failure) {
  OdbcHandle handle = odbc_allocate(SQL_HANDLE_STMT, db.connection.get());
  if (!handle) return 0;
  SQLRETURN rc = execute_with_parameters(handle.get(), statement.text, statement.parameters);
  std::int32_t status = static_cast<std::int32_t>(rc);
  if (rc == SQL_SUCCESS_WITH_INFO) {
    status = 0;
  } else if (rc == SQL_ERROR) {
    DiagnosticRecord record = read_diagnostics(SQL_HANDLE_STMT, handle.get());
    status = record.native_error;
    if (failure != nullptr) *failure = std::move(record);
  }
  return status;
}

}  // namespace

// The literals are made one by one, in the order they stand in the text, so that
// bound values follow the order of their markers.
std::int32_t status_mark_started(DatabaseConnection& db, std::string_view terminal_name,
                                 std::string_view timestamp, std::string_view user_name,
                                 std::string_view transfer_name, std::int16_t transfer_type,
                                 DiagnosticRecord* failure) {
  SqlStatement sql;
  std::string time_text = sql_literal(sql, timestamp);
  std::string user_text = sql_literal(sql, user_name);
  std::string transfer_text = sql_literal(sql, transfer_name);
  std::string name_text = sql_literal(sql, terminal_name);
  sql.text = text_printf(
      "UPDATE VXSYSTEM.VXS1140TRM SET   TrmDtd = %s,    TrmDbe = %s,    TrmDnm = %s,    "
      "TrmDtp = %hd,     TrmDst = NULL,   TrmDpg = 0,   TrmDac = 1  WHERE TrmNam = %s ",
      time_text.c_str(), user_text.c_str(), transfer_text.c_str(), transfer_type,
      name_text.c_str());
  return run_update(db, sql, failure);
}

std::int32_t status_set_progress(DatabaseConnection& db, std::string_view terminal_name,
                                 std::string_view timestamp, std::int32_t status_code,
                                 std::int16_t progress, DiagnosticRecord* failure) {
  SqlStatement sql;
  std::string time_text = sql_literal(sql, timestamp);
  std::string name_text = sql_literal(sql, terminal_name);
  // The status column is 16 bits wide: the code is written as a 16-bit number.
  sql.text = text_printf(
      "UPDATE VXSYSTEM.VXS1140TRM SET   TrmDtd = %s,   TrmDst = %hd,    TrmDpg = %hd   "
      "WHERE TrmNam = %s ",
      time_text.c_str(), static_cast<short>(status_code), progress, name_text.c_str());
  return run_update(db, sql, failure);
}

std::int32_t status_mark_finished(DatabaseConnection& db, std::string_view terminal_name,
                                  std::string_view timestamp, DiagnosticRecord* failure) {
  SqlStatement sql;
  std::string time_text = sql_literal(sql, timestamp);
  std::string name_text = sql_literal(sql, terminal_name);
  sql.text =
      text_printf("UPDATE VXSYSTEM.VXS1140TRM SET   TrmDtd = %s,   TrmDac = 0  WHERE TrmNam = %s ",
                  time_text.c_str(), name_text.c_str());
  return run_update(db, sql, failure);
}

std::string status_failure_text(std::int32_t status) {
  return text_printf("Schreiben in Tab Vxs1140Trm fehlgeschlagen, Error: %d\n", status);
}
