#!/usr/bin/env bash
# Runs a command against a throwaway PostgreSQL cluster on 127.0.0.1: creates the
# cluster in a temporary folder, loads db/postgresql-schema.sql, writes an odbc.ini
# with the DSN kestal_pg, exports where everything is, runs the command, and removes
# the cluster again, also when the command fails. Exits with the command's status.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 COMMAND [ARGS...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/scripts/lib.sh"

pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$pg_bin/initdb" ] || { echo "with-postgres: PostgreSQL server binaries not found" >&2; exit 1; }
driver=$(kestal_odbc_driver psqlodbca.so odbc-postgresql)

work=$(mktemp -d /tmp/kestal-pg.XXXXXX)
chmod 755 "$work"
as_pg() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}
[ "$(id -u)" -eq 0 ] && chown postgres "$work"

cleanup() {
  as_pg "$pg_bin/pg_ctl" -D "$work/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

port=$(kestal_free_port)

echo "postgres" >"$work/pwfile"
chmod 644 "$work/pwfile"
as_pg "$pg_bin/initdb" -D "$work/data" -U postgres --pwfile="$work/pwfile" -E SQL_ASCII \
  --locale=C --auth-local=trust --auth-host=scram-sha-256 >"$work/initdb.log" 2>&1 ||
  { cat "$work/initdb.log" >&2; exit 1; }
cat >>"$work/data/postgresql.conf" <<CONF
listen_addresses = '127.0.0.1'
port = $port
unix_socket_directories = '$work'
log_statement = 'all'
logging_collector = off
fsync = off
synchronous_commit = off
full_page_writes = off
CONF
as_pg "$pg_bin/pg_ctl" -D "$work/data" -l "$work/server.log" -w -t 30 start >/dev/null ||
  { cat "$work/server.log" >&2; exit 1; }

export PGHOST=127.0.0.1 PGPORT=$port PGUSER=kestal PGPASSWORD=kestal-pass PGDATABASE=kestal
PGPASSWORD=postgres psql -X -q -h 127.0.0.1 -p "$port" -U postgres -d postgres -v ON_ERROR_STOP=1 \
  -c "CREATE ROLE kestal LOGIN PASSWORD 'kestal-pass';" \
  -c "CREATE DATABASE kestal OWNER kestal ENCODING 'SQL_ASCII' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0;" >/dev/null
psql -X -q -v ON_ERROR_STOP=1 -f "$here/db/postgresql-schema.sql" >/dev/null

# The ANSI driver would take the client encoding from the locale; the tool's texts are
# Windows-1252, so the data source says so and the bytes reach the server unchanged.
cat >"$work/odbc.ini" <<INI
[kestal_pg]
Description = throwaway PostgreSQL cluster of the test run
Driver = $driver
Servername = 127.0.0.1
Port = $port
Database = kestal
SSLmode = disable
UseServerSidePrepare = 0
ConnSettings = SET client_encoding TO 'WIN1252'
INI
chmod 644 "$work/odbc.ini" "$work/server.log"
export ODBCINI="$work/odbc.ini"
export KESTAL_PG_DSN=kestal_pg KESTAL_PG_USER=kestal KESTAL_PG_PASSWORD=kestal-pass
export KESTAL_PG_LOG="$work/server.log" KESTAL_PG_WORK="$work"

set +e
"$@"
status=$?
set -e
exit $status
