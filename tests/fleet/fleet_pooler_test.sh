#!/usr/bin/env bash
# PgBouncer in transaction mode between 60 concurrent runs and a role limited to 20
# server connections: through a pool of 10 every terminal ends ok and a Windows-1252
# name arrives intact; without the pooler the runs beyond the limit fail plainly.
source "$(dirname "$0")/fleet_lib.sh"
command -v pgbouncer >/dev/null || { echo "pgbouncer not installed"; exit 77; }

as_pg() { if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }
PGPASSWORD=postgres psql -X -q -U postgres -d kestal -v ON_ERROR_STOP=1 >/dev/null <<'SQL'
DO $$ BEGIN
  IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'fleet_pool') THEN
    CREATE ROLE fleet_pool LOGIN PASSWORD 'pool-pass';
  END IF;
END $$;
ALTER ROLE fleet_pool CONNECTION LIMIT 20;
GRANT USAGE ON SCHEMA vxsystem TO fleet_pool;
GRANT SELECT, UPDATE ON ALL TABLES IN SCHEMA vxsystem TO fleet_pool;
SQL

pool=$work/pool
mkdir "$pool"
port=$(kestal_free_port)
echo '"fleet_pool" "pool-pass"' >"$pool/users.txt"
cat >"$pool/pgbouncer.ini" <<INI
[databases]
kestal = host=127.0.0.1 port=$PGPORT dbname=kestal
[pgbouncer]
listen_addr = 127.0.0.1
listen_port = $port
unix_socket_dir =
auth_type = plain
auth_file = $pool/users.txt
pool_mode = transaction
default_pool_size = 10
max_db_connections = 10
max_client_conn = 200
ignore_startup_parameters = extra_float_digits
logfile = $pool/pgbouncer.log
pidfile = $pool/pgbouncer.pid
INI
[ "$(id -u)" -eq 0 ] && chown -R postgres "$pool"
as_pg pgbouncer -d "$pool/pgbouncer.ini" || fail "pgbouncer did not start"
cleanups+=('[ ! -s "$pool/pgbouncer.pid" ] || kill "$(cat "$pool/pgbouncer.pid")"')
kestal_wait_listening 127.0.0.1 "$port" ||
  fail "pgbouncer does not listen on $port: $(cat "$pool/pgbouncer.log" 2>/dev/null)"
sed "s/^\[kestal_pg\]/[kestal_pool]/; s/^Port = .*/Port = $port/" "$ODBCINI" >"$work/odbc.ini"
cat "$ODBCINI" >>"$work/odbc.ini"
export ODBCINI=$work/odbc.ini

# The name with a byte above 127 has a blank, so no resolver would ever look it up;
# the preloaded shim gives it the sixtieth address.
odd=$(printf 'K\xe4sse 60')
names=$(for i in $(seq 1 59); do echo "127.0.3.$i"; done; echo "$odd")
printf '%s\n' "$names" | add_rows
printf '%s\n' "$names" >"$work/terminals"
printf '127.0.3.60\t%s\n' "$odd" >"$work/hosts"
export LD_PRELOAD=$KESTAL_RESOLVER_SHIM KESTAL_TEST_HOSTS=$work/hosts
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0
start_sim 127.0.3.1-127.0.3.60 --delay-ms 300

make_install kestal_pool fleet_pool pool-pass
fleet push fleet-pool '*STO' --terminals "$work/terminals" --jobs 60 --json "$work/pool.json"
expect_eq "$rc" 0 "through the pooler: $(cat "$work/out")"
grep -qE '^ok +60$' "$work/out" || fail "all ok through the pooler"
expect_eq "$(json_field "$work/pool.json" 'Kässe 60' outcome)" '"ok"' "Windows-1252 name"
rows=$(PGCLIENTENCODING=LATIN1 psql -X -At -c \
  "SELECT count(*) FROM vxsystem.vxs1140trm WHERE trmnam = '$odd' AND trmdtd IS NOT NULL")
expect_eq "$rows" 1 "the row of the Windows-1252 name was updated"

rm -rf "$inst"
make_install kestal_pg fleet_pool pool-pass
fleet push fleet-pool '*STO' --terminals "$work/terminals" --jobs 60
expect_eq "$rc" 1 "without the pooler"
grep -qE '^setup-failed +[1-9][0-9]*$' "$work/out" || fail "no run beyond the limit failed"
grep -qE ' setup-failed +255 .*database connection failed$' "$work/out" ||
  fail "recap of the refused runs: $(cat "$work/out")"
echo "fleet pooler test passed"
