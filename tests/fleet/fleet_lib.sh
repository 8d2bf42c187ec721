# Shared by the fleet tests: a throwaway installation on the PostgreSQL cluster of
# scripts/with-postgres.sh, a simulated fleet, and checks that name what failed.
# Needs FLEET, KESTAL_CRED, KESTAL_SIM (set by CTest) and the cluster's variables.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../scripts/lib.sh"
work=$(mktemp -d "/tmp/kestal-fleet-test.$$.XXXXXX")
chmod 755 "$work"
cleanups=()
cleanup() {
  for ((i = ${#cleanups[@]} - 1; i >= 0; i--)); do eval "${cleanups[i]}" || true; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
expect_eq() { [ "$1" = "$2" ] || fail "$3: got '$1', want '$2'"; }

# An installation tree in $work/inst whose store names DSN $1 and login $2/$3.
make_install() {
  inst=$work/inst
  kestal_layout "$inst"
  kestal_write_settings "$KESTAL_CRED" "$inst/Files/Velmarion.Ini" "$2" "$3" POSTGRES "$1"
}

# Status rows for the names on standard input (one a line) and no others (rows other
# tests left would show up in --failed and status), and five sites.
add_rows() {
  python3 -c '
import sys
out = ["DELETE FROM vxsystem.vxs113sto;", "DELETE FROM vxsystem.vxs1140trm;",
       "INSERT INTO vxsystem.vxs113sto (stonum) VALUES (1),(2),(3),(4),(5);"]
for n in sys.stdin.buffer.read().split(b"\n"):
    if n:
        q = n.replace(b"\x27", b"\x27\x27").decode("latin-1")
        out.append("DELETE FROM vxsystem.vxs1140trm WHERE trmnam = \x27%s\x27;" % q)
        out.append("INSERT INTO vxsystem.vxs1140trm (trmnam) VALUES (\x27%s\x27);" % q)
sys.stdout.buffer.write("\n".join(out).encode("latin-1"))
' | PGCLIENTENCODING=LATIN1 psql -X -q -v ON_ERROR_STOP=1 >/dev/null
}

# kestal-sim on the ADDRESS RANGE with the further options; waits until it listens.
start_sim() {
  kestal_start_sim "$KESTAL_SIM" "$work" "$1" -- --registry "$work/registry" "${@:2}" ||
    fail "kestal-sim did not start"
  cleanups+=(kestal_stop_sim)
}

# Runs kestal-fleet in the installation's working directory; status in $rc.
fleet() {
  rc=0
  (cd "$inst/work/bin" && "$FLEET" "$@") >"$work/out" 2>"$work/err" || rc=$?
}

# The value of FIELD for TERMINAL in a JSON lines file.
json_field() {
  python3 -c 'import json,sys
for l in open(sys.argv[1], encoding="utf-8"):
    o = json.loads(l)
    if o["terminal"] == sys.argv[2]: print(json.dumps(o[sys.argv[3]]))' "$@"
}
