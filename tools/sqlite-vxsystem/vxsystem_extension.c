/* SQLite loadable extension: attaches the main database file a second time under the
 * schema name VXSYSTEM, so VXSYSTEM.VXS1140TRM resolves in SQLite as in other databases. */
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT1

#include <string.h>

static int attach_vxsystem(sqlite3* db, char** error) {
  const char* file = sqlite3_db_filename(db, "main");
  if (file == NULL || file[0] == '\0') {
    *error = sqlite3_mprintf("kestal_vxsystem: the main database has no file to attach");
    return SQLITE_ERROR;
  }
  /* Loading twice on one connection is harmless. */
  if (sqlite3_db_filename(db, "VXSYSTEM") != NULL) return SQLITE_OK;
  char* sql = sqlite3_mprintf("ATTACH DATABASE %Q AS VXSYSTEM", file);
  if (sql == NULL) return SQLITE_NOMEM;
  int rc = sqlite3_exec(db, sql, NULL, NULL, error);
  sqlite3_free(sql);
  return rc;
}

#ifdef _WIN32
#define KESTAL_EXPORT __declspec(dllexport)
#else
#define KESTAL_EXPORT
#endif

/* The entry point named after the library's file. */
KESTAL_EXPORT int sqlite3_kestalvxsystem_init(sqlite3* db, char** error,
                                              const sqlite3_api_routines* api) {
  SQLITE_EXTENSION_INIT2(api);
  return attach_vxsystem(db, error);
}

/* The generic entry point, for a load that names none. */
KESTAL_EXPORT int sqlite3_extension_init(sqlite3* db, char** error,
                                         const sqlite3_api_routines* api) {
  return sqlite3_kestalvxsystem_init(db, error, api);
}
