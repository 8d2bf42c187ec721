#!/usr/bin/env bash
# SIGTERM and SIGINT to a push mid-way: every transfer ends (no process left), every
# status row TrmDac 0, the recap and the JSON hold every terminal, and --resume
# finishes the push.
source "$(dirname "$0")/fleet_lib.sh"

names=$(for i in $(seq 1 12); do echo "127.0.7.$i"; done)
make_install "$KESTAL_PG_DSN" "$KESTAL_PG_USER" "$KESTAL_PG_PASSWORD"
printf '%s\n' "$names" | add_rows
printf '%s\n' "$names" >"$work/terminals"
start_sim 127.0.7.1-127.0.7.12 --delay-ms 400  # about 3 s a transfer

for signal in TERM INT; do
  (cd "$inst/work/bin" && exec env --default-signal=INT "$FLEET" push "stop-$signal" '*STO' \
    --terminals "$work/terminals" --jobs 4 --json "$work/$signal.json") >"$work/out" 2>&1 &
  pid=$!
  sleep 1.5
  kill -s "$signal" "$pid"
  rc=0
  wait "$pid" || rc=$?
  expect_eq "$rc" "$([ "$signal" = INT ] && echo 130 || echo 143)" "exit status after SIG$signal"
  pgrep -f "(kestalentry|kestal-fleet push) stop-$signal" >/dev/null && fail "children outlived the push"
  expect_eq "$(wc -l <"$work/$signal.json")" 12 "JSON lines after SIG$signal"
  grep -qE '^killed +4$' "$work/out" || fail "running ones killed: $(cat "$work/out")"
  grep -qE '^interrupted +8$' "$work/out" || fail "the rest not started: $(cat "$work/out")"
  expect_eq "$(psql -XAtc 'SELECT count(*) FROM vxsystem.vxs1140trm WHERE trmdac <> 0')" 0 \
    "rows left running after SIG$signal"
done

# kill -9 leaves no chance to clean up: the guard stops the transfers (their rows end
# in order) and removes the scratch folder and the job log's temporary file.
mkdir "$work/tmp"
(cd "$inst/work/bin" && TMPDIR=$work/tmp exec "$FLEET" push stop-KILL '*STO' \
  --terminals "$work/terminals" --jobs 4 --joblog "$work/KILL.log") >"$work/out" 2>&1 &
pid=$!
marked() { psql -XAtc "SELECT count(*) FROM vxsystem.vxs1140trm WHERE trmdbe = 'stop-KILL' ${1:-}"; }
for _ in $(seq 100); do [ "$(marked)" = 4 ] && break; sleep 0.1; done
kill -KILL "$pid"
wait "$pid" || true
for _ in $(seq 100); do
  [ -z "$(ls -A "$work/tmp")" ] && ! pgrep -f "kestalentry stop-KILL" >/dev/null && break
  sleep 0.1
done
expect_eq "$(ls -A "$work/tmp"; ls "$work" | grep KILL)" "" "files left by the killed push"
pgrep -f "kestalentry stop-KILL" >/dev/null && fail "transfers outlived the killed push"
expect_eq "$(marked 'AND trmdac = 0 AND trmdst = 10004')" 4 "rows of the killed push's transfers"

fleet push resume '*STO' --resume "$work/INT.json" --jobs 12 --json "$work/resume.json"
expect_eq "$rc" 0 "resumed push: $(cat "$work/out")"
expect_eq "$(wc -l <"$work/resume.json")" 12 "every terminal pushed again"
echo "fleet interrupt test passed"
