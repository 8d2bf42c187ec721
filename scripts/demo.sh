#!/usr/bin/env bash
# The demo: builds kestalentry, lays out an installation on the embedded SQLite default
# in ./demo, starts the terminal simulator on 127.0.0.1:5010 (or the next free loopback
# address), runs one *STO and one *GEN transfer, and shows what happened. Can be run
# again at once.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
. scripts/lib.sh

if [ -t 1 ]; then
  step() { printf '\n\033[1m== %s\033[0m\n' "$*"; }
else
  step() { printf '\n== %s\n' "$*"; }
fi

step "Installing what is missing and building"
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target kestalentry kestal-cred kestal-sim \
  kestal_vxsystem >/dev/null
bin=$top/build
tool=$bin/src/run/kestalentry
cred=$(find "$bin/tools" -name kestal-cred -type f -perm -u+x | head -n 1)
sim=$(find "$bin/tools" -name kestal-sim -type f -perm -u+x | head -n 1)
ext=$(find "$bin/tools" -name 'kestal_vxsystem.so' | head -n 1)

step "Laying out the demo installation in demo/"
demo=$top/demo
rm -rf "$demo"
kestal_layout "$demo"
mkdir -p "$demo/db" "$demo/terminal"
driver=$(kestal_odbc_driver libsqlite3odbc.so libsqliteodbc)
db=$demo/db/kestal.sqlite
sqlite3 "$db" <db/sqlite-schema.sql
cat >"$demo/odbc.ini" <<INI
[kestal_demo]
Description = kestalentry demo database (SQLite)
Driver = $driver
Database = $db
LoadExt = $ext
INI
export ODBCINI=$demo/odbc.ini
store=$demo/Files/Velmarion.Ini
kestal_write_settings "$cred" "$store" demo demo SQLITE kestal_demo
cp examples/KESTALENTRY.SQLITE.INI "$demo/work/bin/"
echo "credential store (keys): $("$cred" list "$store" | tr '\n' ' ')"

step "Starting the terminal simulator on 127.0.0.1:5010"
trap kestal_stop_sim EXIT
# Another program may hold the port there: then the next free loopback address plays
# the terminal, and the status row is keyed by that address.
kestal_start_sim "$sim" "$demo/terminal" $(printf '127.0.0.%d ' $(seq 1 32)) -- \
  --registry "$demo/terminal/registry.txt" --log "$demo/terminal/sim.log"
terminal=$KESTAL_SIM_ADDRESS

sqlite3 "$db" <<SQL
INSERT INTO vxs1140trm (trmnam, trmdtd, trmdbe, trmdst, trmdpg, trmdac)
  VALUES ('$terminal', '20260101120000', 'nightly', 10060, 0, 0);
INSERT INTO vxs113sto (stonum, stosta, stonam) VALUES
  (7, NULL, 'Harbour'), (12345, 1, 'Airport'), (20001, 4, 'Closed'), (31, 8, 'Moved'), (0, 1, 'Template');
SQL
echo "sites: $(sqlite3 -separator ' ' "$db" "SELECT stonum || '(status ' || coalesce(stosta, '-') || ')' FROM vxs113sto" | tr '\n' ' ')"

row() {
  sqlite3 -header -column "$db" \
    "SELECT trmnam AS TrmNam, trmdtd AS TrmDtd, trmdbe AS TrmDbe, trmdnm AS TrmDnm, trmdtp AS TrmDtp,
            coalesce(trmdst, 'NULL') AS TrmDst, trmdpg AS TrmDpg, trmdac AS TrmDac FROM vxs1140trm"
}
step "Status row before"
row

run() {
  step "kestalentry $*"
  set +e
  (cd "$demo/work/bin" && "$tool" "$@")
  local code=$?
  set -e
  echo "(exit code $code)"
}
run demo "$terminal" '*STO'
run demo "$terminal" '*GEN'

step "Status row after"
row
step "Run log (demo/Velmarion_php/log/KestalLog.txt)"
iconv -f WINDOWS-1252 -t UTF-8 "$demo/Velmarion_php/log/KestalLog.txt" 2>/dev/null ||
  cat "$demo/Velmarion_php/log/KestalLog.txt"
step "Entries the simulated terminal stored (demo/terminal/registry.txt)"
cat "$demo/terminal/registry.txt"
scripts/demo-fleet.sh
