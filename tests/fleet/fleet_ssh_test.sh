#!/usr/bin/env bash
# Two ssh logins to this machine (an sshd of the test's own on loopback, with
# throwaway keys) share a push through --sshloginfile; each run works in the same
# installation's working directory.
source "$(dirname "$0")/fleet_lib.sh"
[ "$(id -u)" -eq 0 ] || { echo "needs root to start sshd"; exit 77; }
[ -x /usr/sbin/sshd ] || { echo "openssh-server not installed"; exit 77; }

ssh=$work/ssh
mkdir "$ssh" && mkdir -p /run/sshd
ssh-keygen -q -t ed25519 -N '' -f "$ssh/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$ssh/user_key"
cp "$ssh/user_key.pub" "$ssh/authorized_keys"
port=$(kestal_free_port 127.0.4.1)
cat >"$ssh/sshd_config" <<CONF
ListenAddress 127.0.4.1:$port
ListenAddress 127.0.4.2:$port
HostKey $ssh/host_key
AuthorizedKeysFile $ssh/authorized_keys
PidFile $ssh/sshd.pid
StrictModes no
UsePAM no
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
SetEnv ODBCINI=$ODBCINI ASAN_OPTIONS=${ASAN_OPTIONS:-} LSAN_OPTIONS=${LSAN_OPTIONS:-}
CONF
/usr/sbin/sshd -f "$ssh/sshd_config" -E "$ssh/sshd.log" || fail "sshd did not start"
cleanups+=('kill "$(cat "$ssh/sshd.pid")"')
kestal_wait_listening 127.0.4.2 "$port" || fail "sshd does not listen: $(cat "$ssh/sshd.log")"
for host in 127.0.4.1 127.0.4.2; do
  echo "ssh -p $port -i $ssh/user_key -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null" \
    "-o BatchMode=yes -o LogLevel=ERROR root@$host"
done >"$work/logins"

names=$(for i in $(seq 1 6); do echo "127.0.5.$i"; done)
make_install "$KESTAL_PG_DSN" "$KESTAL_PG_USER" "$KESTAL_PG_PASSWORD"
printf '%s\n' "$names" | add_rows
printf '%s\n' "$names" >"$work/terminals"
start_sim 127.0.5.1-127.0.5.6 --delay-ms 100

fleet push fleet-ssh '*STO' --terminals "$work/terminals" --jobs 2 \
  --sshloginfile "$work/logins" --json "$work/ssh.json"
expect_eq "$rc" 0 "push over ssh: $(cat "$work/out" "$work/err")"
hosts=$(python3 -c 'import json,sys
print(" ".join(sorted({json.loads(l)["host"][-9:] for l in open(sys.argv[1])})))' "$work/ssh.json")
expect_eq "$hosts" "127.0.4.1 127.0.4.2" "both logins ran transfers"
expect_eq "$(grep -c '^Start : ' "$inst/Velmarion_php/log/KestalLog.txt")" 6 "runs in the workdir"
# A push stopped mid-way: ssh passes no signal on, but each remote run sees its input
# end, stops in order (TrmDst 10004, TrmDac 0) and is gone soon after the push.
kestal_stop_sim
start_sim 127.0.5.1-127.0.5.6 --delay-ms 400  # about 3 s a transfer
(cd "$inst/work/bin" && exec "$FLEET" push ssh-stop '*STO' --terminals "$work/terminals" \
  --jobs 1 --sshloginfile "$work/logins") >"$work/out" 2>&1 &
pid=$!
running() { psql -XAtc "SELECT count(*) FROM vxsystem.vxs1140trm WHERE trmdbe = 'ssh-stop'"; }
for _ in $(seq 100); do [ "$(running)" = 2 ] && break; sleep 0.1; done
expect_eq "$(running)" 2 "remote runs under way"
kill -TERM "$pid"
rc=0
wait "$pid" || rc=$?
expect_eq "$rc" 143 "exit status of the stopped push: $(cat "$work/out")"
for _ in $(seq 50); do pgrep -f "kestalentry ssh-stop" >/dev/null || break; sleep 0.1; done
pgrep -f "kestalentry ssh-stop" >/dev/null && fail "a remote run outlived the push by 5 s"
expect_eq "$(psql -XAtc "SELECT count(*) FROM vxsystem.vxs1140trm WHERE trmdbe = 'ssh-stop'
  AND trmdac = 0 AND trmdst = 10004")" 2 "rows of the stopped remote runs"
echo "fleet ssh test passed"
