#!/usr/bin/env bash
# The demo: builds kestalentry, lays out an installation on the embedded SQLite default
# in ./demo, starts the terminal simulator on 127.0.0.1:5010, runs one *STO and one
# *GEN transfer, and shows what happened. Can be run again at once.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

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
driver=$(ls /usr/lib/*/odbc/libsqlite3odbc.so | head -n 1)

step "Laying out the demo installation in demo/"
demo=$top/demo
rm -rf "$demo"
mkdir -p "$demo/Files" "$demo/Velmarion_php/log" "$demo/work/bin" "$demo/db" "$demo/terminal"
db=$demo/db/kestal.sqlite
sqlite3 "$db" <db/sqlite-schema.sql
sqlite3 "$db" <<'SQL'
INSERT INTO vxs1140trm (trmnam, trmdtd, trmdbe, trmdst, trmdpg, trmdac)
  VALUES ('127.0.0.1', '20260101120000', 'nightly', 10060, 0, 0);
INSERT INTO vxs113sto (stonum, stosta, stonam) VALUES
  (7, NULL, 'Harbour'), (12345, 1, 'Airport'), (20001, 4, 'Closed'), (31, 8, 'Moved'), (0, 1, 'Template');
SQL
cat >"$demo/odbc.ini" <<INI
[kestal_demo]
Description = kestalentry demo database (SQLite)
Driver = $driver
Database = $db
LoadExt = $ext
INI
export ODBCINI=$demo/odbc.ini
store=$demo/Files/Velmarion.Ini
"$cred" set "$store" LOGIN demo
"$cred" set "$store" PASS demo
"$cred" set "$store" DB_SYSTEM SQLITE
"$cred" set "$store" DATABASE kestal_demo
cp examples/KESTALENTRY.SQLITE.INI "$demo/work/bin/"
echo "credential store (keys): $("$cred" list "$store" | tr '\n' ' ')"
echo "sites: $(sqlite3 -separator ' ' "$db" "SELECT stonum || '(status ' || coalesce(stosta, '-') || ')' FROM vxs113sto" | tr '\n' ' ')"

step "Starting the terminal simulator on 127.0.0.1:5010"
"$sim" --listen 127.0.0.1 --port 5010 --registry "$demo/terminal/registry.txt" \
  --log "$demo/terminal/sim.log" --ready-file "$demo/terminal/ready" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null || true' EXIT
for _ in $(seq 1 200); do [ -e "$demo/terminal/ready" ] && break; sleep 0.05; done
[ -e "$demo/terminal/ready" ] || { echo "the simulator did not start (is 127.0.0.1:5010 in use?)" >&2; exit 1; }

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
run demo 127.0.0.1 '*STO'
run demo 127.0.0.1 '*GEN'

step "Status row after"
row
step "Run log (demo/Velmarion_php/log/KestalLog.txt)"
iconv -f WINDOWS-1252 -t UTF-8 "$demo/Velmarion_php/log/KestalLog.txt" 2>/dev/null ||
  cat "$demo/Velmarion_php/log/KestalLog.txt"
step "Entries the simulated terminal stored (demo/terminal/registry.txt)"
cat "$demo/terminal/registry.txt"
