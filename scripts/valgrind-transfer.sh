#!/usr/bin/env bash
# Runs complete transfers (*GEN and *STO) of kestalentry under valgrind memcheck,
# against kestal-sim on 127.0.0.190 and a throwaway PostgreSQL cluster; fails on any
# invalid access, use of uninitialised memory or definite leak, and on a failed run.
#
#   scripts/valgrind-transfer.sh          (build dir: build, or $KESTAL_VALGRIND_BUILD)
#
# tests/valgrind.supp holds the suppressions, for the driver manager and driver only.
# KESTAL_VALGRIND_KEEP=DIR keeps the memcheck reports in DIR.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. scripts/lib.sh
build=${KESTAL_VALGRIND_BUILD:-build}

if [ -z "${KESTAL_PG_DSN:-}" ]; then
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DKESTAL_WERROR=ON >/dev/null
  fi
  cmake --build "$build" --target kestalentry kestal-cred kestal-sim -j"$(nproc 2>/dev/null || echo 2)" >/dev/null
  exec scripts/with-postgres.sh "$0" "$@"
fi

tool="$root/$build/src/run/kestalentry"
cred="$root/$build/tools/kestal-cred/kestal-cred"
sim="$root/$build/tools/kestal-sim/kestal-sim"
for program in "$tool" "$cred" "$sim"; do
  [ -x "$program" ] || { echo "valgrind-transfer: $program is missing" >&2; exit 1; }
done

address=127.0.0.190
work=$(mktemp -d /tmp/kestal-valgrind.XXXXXX)
cleanup() {
  kestal_stop_sim
  [ -n "${KESTAL_VALGRIND_KEEP:-}" ] && cp "$work"/valgrind-*.txt "$KESTAL_VALGRIND_KEEP"/ 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

kestal_layout "$work"
kestal_write_settings "$cred" "$work/Files/Velmarion.Ini" "$KESTAL_PG_USER" "$KESTAL_PG_PASSWORD" \
  POSTGRES "$KESTAL_PG_DSN"
cat >"$work/work/bin/KESTALENTRY.POSTGRES.INI" <<'INI'
[REGVAL]
SQL001=SELECT trmnam, trmdtp, ' padded '
SQL002=FROM vxsystem.vxs1140trm WHERE trmnam = '$parm01'
[TYPE]
TYP001=STRING,DWORD
TYP002="STRING"
[NAME]
NAM001=Terminal,Typ,Frei
INI

psql -X -q -v ON_ERROR_STOP=1 \
  -c "DELETE FROM vxsystem.vxs1140trm WHERE trmnam = '$address';" \
  -c "INSERT INTO vxsystem.vxs1140trm (trmnam, trmdtp, trmdac) VALUES ('$address', 40, 0);" \
  -c "DELETE FROM vxsystem.vxs113sto;" \
  -c "INSERT INTO vxsystem.vxs113sto (stonum, stosta) VALUES (7, 1), (12345, NULL), (99, 4);"

kestal_start_sim "$sim" "$work" "$address" -- --registry "$work/registry.txt" --log "$work/sim.log"

status=0
for mode in '*GEN' '*STO'; do
  report="$work/valgrind-${mode#\*}.txt"
  set +e
  (cd "$work/work/bin" &&
    valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect \
      --errors-for-leak-kinds=definite --track-origins=yes --error-exitcode=99 \
      --suppressions="$root/tests/valgrind.supp" --gen-suppressions=all \
      --log-file="$report" "$tool" valgrind "$address" "$mode" /D >"$work/out.txt" 2>&1)
  code=$?
  set -e
  summary=$(grep -E 'ERROR SUMMARY|definitely lost' "$report" | sed 's/^==[0-9]*== //' | tr '\n' ' ')
  echo "== $mode: exit $code; $summary"
  row=$(psql -X -A -t -c "SELECT trmdst, trmdac FROM vxsystem.vxs1140trm WHERE trmnam = '$address';")
  if [ "$code" -ne 0 ] || [ "$row" != "|0" ]; then
    echo "valgrind-transfer: the $mode run failed (exit $code, status row '$row')" >&2
    sed -n '1,200p' "$report" >&2
    tail -n 20 "$work/out.txt" >&2
    status=1
  fi
done

echo "== accepted by the terminal:"
cat "$work/registry.txt"
[ "$(grep -c "" "$work/registry.txt")" -eq 5 ] || { echo "valgrind-transfer: expected 5 entries" >&2; status=1; }
exit $status
