// Database helpers for tests: the loopback PostgreSQL cluster of scripts/with-postgres.sh
// (env_or_empty, psql, server_log_size, statements_logged_since) and the SQLite default
// (make_sqlite_source, sqlite_exec). Link the library kestal_test_db.
#pragma once

#include "harness/postgres.h"
#include "harness/sqlite.h"
