#!/usr/bin/env bash
# The fleet part of the demo: 20 simulated terminals with a fault mix in the demo
# installation (demo/, laid out by scripts/demo.sh), one push with live progress,
# the recap and its metrics, then the fleet's status. Can be run again at once.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
source scripts/lib.sh
demo=$top/demo
[ -f "$demo/odbc.ini" ] || { echo "run scripts/demo.sh first: it lays out demo/" >&2; exit 1; }
if [ -t 1 ]; then
  step() { printf '\n\033[1m== %s\033[0m\n' "$*"; }
else
  step() { printf '\n== %s\n' "$*"; }
fi

step "Building kestal-fleet"
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target kestal-fleet kestal-sim >/dev/null
fleet=$(find "$top/build" -name kestal-fleet -type f -perm -u+x | head -n 1)
sim=$(find "$top/build/tools" -name kestal-sim -type f -perm -u+x | head -n 1)
export ODBCINI=$demo/odbc.ini
db=$demo/db/kestal.sqlite
fleet_dir=$demo/fleet
rm -rf "$fleet_dir" && mkdir -p "$fleet_dir"

step "A fleet of 20 terminals on 127.0.6.1 to 127.0.6.20"
for i in $(seq 1 20); do
  echo "INSERT OR REPLACE INTO vxs1140trm (trmnam, trmdac) VALUES ('127.0.6.$i', 0);"
  echo "127.0.6.$i" >>"$fleet_dir/terminals.txt"
done | sqlite3 "$db"
cat <<'TEXT'
  .1 to .14   answer well (50 ms a reply)
  .15, .16    nobody listens: the connection is refused
  .17         refuses the password
  .18         answers the first entry with 500
  .19         hangs up after the first entry
  .20         falls silent after the login (the push gives each transfer 8 s)
TEXT
kestal_start_sim "$sim" "$fleet_dir" 127.0.6.1-127.0.6.14 -- --listen 127.0.6.17-127.0.6.20 \
  --delay-ms 50 --log "$fleet_dir/sim.log" \
  --range 127.0.6.17 --reject-password --range 127.0.6.18 --fail-entry 1:500 \
  --range 127.0.6.19 --close-after 3 --range 127.0.6.20 --silent-after 2
trap kestal_stop_sim EXIT

step "kestal-fleet push demo '*STO' --terminals demo/fleet/terminals.txt --jobs 8 --timeout 8"
set +e
# The list is named relative to the working directory, as an operator would name it there.
(cd "$demo/work/bin" && "$fleet" push demo '*STO' --terminals ../../fleet/terminals.txt \
  --jobs 8 --timeout 8 --json "$fleet_dir/push.json" --html "$fleet_dir/push.html" \
  --metrics "$fleet_dir/push.prom")
echo "(exit code $?: 1 means some terminal did not end ok)"
set -e
echo "one JSON object per terminal: demo/fleet/push.json"
echo "the page of the push: $fleet_dir/push.html (open it in a browser)"

step "The push's metrics, for node_exporter's textfile collector (demo/fleet/push.prom)"
grep -v '^#' "$fleet_dir/push.prom"

step "kestal-fleet status --like '127.0.6.%'"
(cd "$demo/work/bin" && "$fleet" status --like '127.0.6.%' --html "$fleet_dir/status.html" \
  --metrics "$fleet_dir/status.prom")
echo "the page of the fleet's state: $fleet_dir/status.html; its metrics: $fleet_dir/status.prom"
