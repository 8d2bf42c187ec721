#!/usr/bin/env bash
# --history with --keep 2 over three pushes, the third through the scheduled unit's
# kestal-fleet-push with the shipped example settings, and --metrics of a push with a
# fault mix and of a status read, hostile bytes in label values, as promtool reads them.
source "$(dirname "$0")/fleet_lib.sh"
command -v promtool >/dev/null || { echo "promtool (Debian package prometheus) missing"; exit 77; }
systemd=$here/../../cmake/systemd

make_install "$KESTAL_PG_DSN" "$KESTAL_PG_USER" "$KESTAL_PG_PASSWORD"
printf '127.0.3.%d\n' 1 2 3 4 5 6 | add_rows
# A row still marked running since 2020, its name a quote, backslash, line feed, e-acute.
PGCLIENTENCODING=LATIN1 psql -X -q -v ON_ERROR_STOP=1 <<'SQL' >/dev/null
INSERT INTO vxsystem.vxs1140trm (trmnam, trmdtd, trmdac) VALUES (E'a"b\\c\nd\351', '20200101000000', 1);
SQL
# .5 listens nowhere; .6 refuses the password.
start_sim 127.0.3.1-127.0.3.4 --listen 127.0.3.6 --range 127.0.3.6 --reject-password
printf '127.0.3.%d\n' 1 2 3 4 5 6 >"$work/t3"
hist=$work/history
mkdir "$hist"
echo "not the history's" >"$hist/push-notes.json"

# Pushes one and two, the first by a user with hostile bytes (Windows-1252 e-acute).
user=$(printf 'a"b\\c\nd\xe9')
echo 127.0.3.1 >"$work/t1"
fleet push "$user" '*STO' --terminals "$work/t1" --history "$hist" --keep 2 \
  --metrics "$work/first.prom"
expect_eq "$rc" 0 "first push: $(cat "$work/err")"
echo 127.0.3.2 >"$work/t2"
fleet push second '*STO' --terminals "$work/t2" --history "$hist" --keep 2
expect_eq "$rc" 0 "second push"

conf=$work/push-test.conf
sed -e "s|^PUSH_WORKDIR=.*|PUSH_WORKDIR=$inst/work/bin|" -e "s|^PUSH_ALL=yes|PUSH_TERMINALS=$work/t3|" \
  -e "s|^#PUSH_HISTORY=.*|PUSH_HISTORY=$hist|" -e "s|^PUSH_KEEP=.*|PUSH_KEEP=2|" \
  -e "s|^#PUSH_METRICS=.*|PUSH_METRICS=$work/push.prom|" \
  -e "s|^#PUSH_STATUS_METRICS=.*|PUSH_STATUS_METRICS=$work/status.prom|" \
  "$systemd/push-nightly.conf" >"$conf"
rc=0
(set -a && source "$conf" && KESTAL_FLEET=$FLEET bash "$systemd/kestal-fleet-push" test) \
  >"$work/out" 2>"$work/err" || rc=$?
expect_eq "$rc" 1 "scheduled push with failures: $(cat "$work/err")"

# Two pushes kept (of the second and the third), the latest files those of the third,
# and nothing removed that the history did not write.
cd "$hist"
expect_eq "$(ls push-*Z*.json | wc -l) $(ls push-*Z*.html | wc -l)" "2 2" "pushes kept: $(ls)"
expect_eq "$(cat push-notes.json)" "not the history's" "a file of another name"
expect_eq "$(cat push-*Z*.json | cut -d'"' -f4 | sort | tr '\n' ' ')" \
  "127.0.3.1 127.0.3.2 127.0.3.2 127.0.3.3 127.0.3.4 127.0.3.5 127.0.3.6 " "the last two pushes"
newest=$(grep -l 127.0.3.6 push-*Z*.json)
cmp -s latest.json "$newest" || fail "latest.json is not $newest"
cmp -s latest.html "${newest%.json}.html" || fail "latest.html is not that of $newest"
[ -z "$(ls -A | grep '^\.')" ] || fail "temporary files left: $(ls -A)"

for file in first push status; do
  problems=$(promtool check metrics <"$work/$file.prom" 2>&1) || fail "promtool on $file: $problems"
done
problems=$(promtool check rules "$here/../../examples/kestal-fleet-alerts.yml" 2>&1) ||
  fail "promtool on the alert rules: $problems"
# The example alert on failed terminals fires on the numbers of the scheduled push.
{
  printf 'rule_files: [%s]\ntests:\n  - input_series:\n' "$here/../../examples/kestal-fleet-alerts.yml"
  grep -v -e '^#' -e _timestamp_ "$work/push.prom" |
    while read -r series value; do printf "      - {series: '%s', values: '%s'}\n" "$series" "$value"; done
  cat <<'YAML'
    alert_rule_test:
      - alertname: KestalTerminalsFailed
        eval_time: 0m
        exp_alerts:
          - exp_labels: {severity: warning, user: nightly, mode: "*STO"}
            exp_annotations:
              summary: "2 terminals did not end ok in the last push of nightly *STO on "
              description: "The push's page is latest.html in its history folder; kestal-fleet push USER MODE --failed --retries 2 pushes to them again."
YAML
} >"$work/alerts.test.yml"
problems=$(promtool test rules "$work/alerts.test.yml" 2>&1) || fail "alert test: $problems"
m='mode="*STO"'
for want in "kestal_fleet_push_terminals{user=\"nightly\",$m,outcome=\"ok\"} 4" \
  "kestal_fleet_push_terminals{user=\"nightly\",$m,outcome=\"unreachable\"} 1" \
  "kestal_fleet_push_terminals{user=\"nightly\",$m,outcome=\"login-refused\"} 1" \
  "kestal_fleet_push_terminals{user=\"nightly\",$m,outcome=\"interrupted\"} 0" \
  "kestal_fleet_push_exit_status{user=\"nightly\",$m} 1"; do
  grep -qxF "$want" "$work/push.prom" || fail "push metrics lack $want: $(cat "$work/push.prom")"
done
hostile='a\"b\\c\nd'$'\xc3\xa9'
grep -qxF "kestal_fleet_push_exit_status{user=\"$hostile\",$m} 0" "$work/first.prom" ||
  fail "hostile user label: $(cat "$work/first.prom")"
for want in 'kestal_fleet_terminals{selection="",state="running"} 1' \
  'kestal_fleet_failed_terminals{selection="",code="10061",meaning="connection refused"} 1' \
  "kestal_fleet_oldest_running_info{selection=\"\",terminal=\"$hostile\"} 1"; do
  grep -qxF "$want" "$work/status.prom" || fail "status metrics lack $want: $(cat "$work/status.prom")"
done
age=$(sed -n 's/^kestal_fleet_oldest_running_age_seconds{selection=""} //p' "$work/status.prom")
[ "${age:-0}" -gt 100000000 ] || fail "age of the 2020 mark: $age"
echo "fleet history test passed"
