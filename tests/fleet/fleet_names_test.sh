#!/usr/bin/env bash
# Names and users that once shifted results onto other terminals (a NUL inside a name,
# GNU parallel's separators) keep each result with its terminal; a terminal without a
# status row that refuses an entry is entry-refused; --resume pushes exactly the rest.
source "$(dirname "$0")/fleet_lib.sh"

make_install "$KESTAL_PG_DSN" "$KESTAL_PG_USER" "$KESTAL_PG_PASSWORD"
printf '127.0.6.1\n' | add_rows  # the others have no status row
start_sim 127.0.6.1 --listen 127.0.6.3-127.0.6.4 \
  --range 127.0.6.3 --fail-entry 2:500 --range 127.0.6.4 --reject-password
printf '127.0.6.1\n127.0.6.2\000x\n::::\n127.0.6.3\n:::\n127.0.6.4\n' >"$work/terminals"

outcomes() {
  python3 -c 'import json,sys
print(" ".join("%s=%s" % (json.loads(l)["terminal"].replace("\0", "<NUL>"), json.loads(l)["outcome"])
               for l in open(sys.argv[1], encoding="utf-8")))' "$1"
}

fleet push '::::' '*STO' --terminals "$work/terminals" --jobs 4 --json "$work/push.json" \
  --joblog "$work/joblog"
expect_eq "$rc" 1 "exit status: $(cat "$work/err")"
expect_eq "$(outcomes "$work/push.json")" "127.0.6.1=ok 127.0.6.2<NUL>x=setup-failed \
::::=unreachable 127.0.6.3=entry-refused :::=unreachable 127.0.6.4=login-refused" "outcomes"
expect_eq "$(json_field "$work/push.json" 127.0.6.3 code)" 500 "refused entry without a row"
expect_eq "$(json_field "$work/push.json" 127.0.6.3 status_row)" 100 "no row for the start mark"
expect_eq "$(json_field "$work/push.json" :::: code)" 11001 "separator as a host name"
expect_eq "$(grep -c '^Start : ' "$inst/Velmarion_php/log/KestalLog.txt")" 5 "runs started"
expect_eq "$(cut -f1,2,7,8 "$work/joblog" | head -2 | tr '\t\n' ' ;')" \
  "Seq Host Exitval Signal;1 : 0 0;" "job log in GNU parallel's format"
expect_eq "$(wc -l <"$work/joblog")" 6 "a job log line per transfer"

fleet push '::::' '*STO' --resume "$work/push.json" --json "$work/resume.json"
expect_eq "$(outcomes "$work/resume.json")" "127.0.6.2<NUL>x=setup-failed \
::::=unreachable 127.0.6.3=entry-refused :::=unreachable 127.0.6.4=login-refused" "resumed"
echo "fleet names test passed"
