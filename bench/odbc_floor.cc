// The database floor: what a transfer must ask of the database and nothing more.
// Connects, reads the site numbers, and runs the status updates of a good run.
#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

constexpr const char* kSiteQuery =
    "SELECT DISTINCT StoNum  FROM  VXSYSTEM.VXS113STO  WHERE ((StoSta <> 4 AND StoSta <> 8) OR "
    "StoSta IS NULL)  ORDER BY StoNum";

SQLCHAR* sql(std::string& text) {
  return reinterpret_cast<SQLCHAR*>(text.data());
}

bool ok(SQLRETURN rc) {
  return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

std::string now_text() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &local);
  return text;
}

bool execute(SQLHDBC connection, std::string text) {
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (!ok(SQLAllocHandle(SQL_HANDLE_STMT, connection, &statement))) return false;
  SQLRETURN rc = SQLExecDirect(statement, sql(text), SQL_NTS);
  SQLFreeHandle(SQL_HANDLE_STMT, statement);
  return ok(rc);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: kestal-odbc-floor DSN USER PASSWORD TERMINAL [UPDATES]\n");
    return 2;
  }
  std::string source = argv[1], user = argv[2], password = argv[3], terminal = argv[4];
  int updates = argc > 5 ? std::atoi(argv[5]) : 2;

  SQLHENV environment = SQL_NULL_HENV;
  SQLHDBC connection = SQL_NULL_HDBC;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment);
  SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION,
                reinterpret_cast<SQLPOINTER>(static_cast<SQLLEN>(SQL_OV_ODBC3)), SQL_IS_INTEGER);
  SQLAllocHandle(SQL_HANDLE_DBC, environment, &connection);
  if (!ok(SQLConnect(connection, sql(source), SQL_NTS, sql(user), SQL_NTS, sql(password),
                     SQL_NTS))) {
    std::fprintf(stderr, "cannot connect to %s\n", source.c_str());
    return 1;
  }

  SQLHSTMT sites = SQL_NULL_HSTMT;
  SQLAllocHandle(SQL_HANDLE_STMT, connection, &sites);
  // A run must ask for a forward-only cursor with locking concurrency; some drivers
  // fetch differently for it.
  SQLSetStmtAttr(sites, SQL_ATTR_CURSOR_SCROLLABLE,
                 reinterpret_cast<SQLPOINTER>(static_cast<SQLLEN>(SQL_NONSCROLLABLE)),
                 SQL_IS_INTEGER);
  SQLSetStmtAttr(sites, SQL_ATTR_CONCURRENCY,
                 reinterpret_cast<SQLPOINTER>(static_cast<SQLLEN>(SQL_CONCUR_LOCK)),
                 SQL_IS_INTEGER);
  std::string query = kSiteQuery;
  if (!ok(SQLExecDirect(sites, sql(query), SQL_NTS))) {
    std::fprintf(stderr, "site query failed\n");
    return 1;
  }
  char site[9];
  SQLLEN indicator = 0;
  SQLBindCol(sites, 1, SQL_C_CHAR, site, sizeof site, &indicator);
  long count = 0;
  while (ok(SQLFetch(sites))) ++count;
  SQLFreeHandle(SQL_HANDLE_STMT, sites);

  std::string where = "  WHERE TrmNam = '" + terminal + "' ";
  bool good =
      execute(connection, "UPDATE VXSYSTEM.VXS1140TRM SET   TrmDtd = '" + now_text() +
                              "',    TrmDbe = 'bench',    TrmDnm = 'Registry',    TrmDtp = 40,     "
                              "TrmDst = NULL,   TrmDpg = 0,   TrmDac = 1" +
                              where);
  if (updates > 2)
    good = execute(connection, "UPDATE VXSYSTEM.VXS1140TRM SET   TrmDtd = '" + now_text() +
                                   "',   TrmDst = 0,    TrmDpg = 0 " + where) &&
           good;
  good = execute(connection, "UPDATE VXSYSTEM.VXS1140TRM SET   TrmDtd = '" + now_text() +
                                 "',   TrmDac = 0" + where) &&
         good;
  if (!good) {
    std::fprintf(stderr, "a status update failed\n");
    return 1;
  }
  std::printf("%ld\n", count);
  return 0;
}
