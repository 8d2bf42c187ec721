#!/usr/bin/env bash
# A fleet of 20 simulated terminals with a fault mix, pushed with --jobs 8: the recap,
# the JSON lines, the exit status, --retries, --failed (through --dry-run) and status.
source "$(dirname "$0")/fleet_lib.sh"

long=$(printf 'x%.0s' $(seq 300))
names=$(for i in $(seq 1 18); do echo "127.0.2.$i"; done; echo "no such host")
make_install "$KESTAL_PG_DSN" "$KESTAL_PG_USER" "$KESTAL_PG_PASSWORD"
printf '%s\n' "$names" | add_rows
printf '%s\n%s\n' "$names" "$long" >"$work/terminals"
# .11 and .12 listen nowhere: refused.
start_sim 127.0.2.1-127.0.2.10 --listen 127.0.2.13-127.0.2.18 \
  --range 127.0.2.13 --reject-password --range 127.0.2.14 --fail-entry 5:500 \
  --range 127.0.2.15 --close-after 3 --range 127.0.2.16 --silent-after 1

# The time-out kills the terminal that falls silent (its own wait is 30 s) and must
# leave room for a slow transfer on a loaded machine (a sanitizer build under ctest -j).
fleet push fleet-test '*STO' --terminals "$work/terminals" --jobs 8 --timeout 15 \
  --json "$work/push.json"
expect_eq "$rc" 1 "exit status with failures"
grep -qE '^ok +12$' "$work/out" || fail "recap count ok: $(cat "$work/out")"
for want in 'unreachable +3' 'login-refused +1' 'entry-refused +1' 'hung-up +1' \
  'no-answer +0' 'setup-failed +1' 'killed +1'; do
  grep -qE "^$want\$" "$work/out" || fail "recap count $want: $(cat "$work/out")"
done
grep -qE "^127\.0\.2\.11 +unreachable +10061 .*refused" "$work/out" || fail "refused row"
grep -qE "^no such host +unreachable +11001 .*not found" "$work/out" || fail "host row"
grep -qE "^127\.0\.2\.13 +login-refused +530 .*password" "$work/out" || fail "password row"
grep -qE "^$long +setup-failed +91 .*argument" "$work/out" || fail "argument row"
expect_eq "$(wc -l <"$work/push.json")" 20 "JSON lines"
expect_eq "$(json_field "$work/push.json" 127.0.2.14 code)" 500 "entry-refused code"
expect_eq "$(json_field "$work/push.json" 127.0.2.14 last_line)" '"500"' "last line"
expect_eq "$(json_field "$work/push.json" 127.0.2.15 outcome)" '"hung-up"' "hang-up"
expect_eq "$(json_field "$work/push.json" 127.0.2.16 exit)" null "killed exit"
expect_eq "$(json_field "$work/push.json" 127.0.2.1 meaning)" '"ok"' "ok meaning"
expect_eq "$(json_field "$work/push.json" 127.0.2.1 host)" '"local"' "host"
[ "$(grep -c '127.0.2.14 entry-refused 500' "$work/err")" = 1 ] || fail "plain progress line"

# --failed picks exactly the rows that did not end well; --dry-run sends what the
# terminals accepted.
fleet push fleet-test '*STO' --failed --dry-run
expect_eq "$rc" 0 "dry run"
expect_eq "$(cut -f1 "$work/out" | sort -u | tr '\n' ,)" \
  "127.0.2.11,127.0.2.12,127.0.2.13,127.0.2.14,127.0.2.15,127.0.2.16,no such host," "--failed"
grep -q '^UPDSYSDB ' "$work/out" && fail "dry run lines start with the terminal"
expect_eq "$(grep -c . "$work/out")" 35 "five entries per terminal"
expect_eq "$(grep -F -x -f <(cut -f2 "$work/out" | cut -d' ' -f4- | sort -u) "$work/registry" |
  sort -u | wc -l)" 5 "dry-run entries as the terminal stored them"

fleet status --json "$work/status.json"
expect_eq "$rc" 0 "status exit"
expect_eq "$(json_field "$work/status.json" 127.0.2.16 state)" '"failed"' "killed row (stopped, so TrmDac 0 and 10004)"
grep -qE '^failed +7$' "$work/out" || fail "status failed count: $(cat "$work/out")"
grep -qE '^ +10061 +2 +connection refused$' "$work/out" || fail "status per code"

printf '127.0.2.11\n127.0.2.12\n' | (cd "$inst/work/bin" && "$FLEET" push t '*STO' \
  --terminals - --retries 2 --json "$work/retry.json" >"$work/out" 2>&1) || true
expect_eq "$(json_field "$work/retry.json" 127.0.2.12 tries)" 3 "tries after retries"
grep -qE '^127\.0\.2\.11 +unreachable +10061 +[0-9.]+ +3 ' "$work/out" || fail "tries in recap"
echo "fleet push test passed"
