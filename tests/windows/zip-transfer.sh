#!/usr/bin/env bash
# Installs the Windows zip as a user would (unpacked as the installation root), writes
# the credential store with the zipped kestal-cred.exe from the working directory, and
# runs one *STO transfer with the zipped kestalentry.exe under Wine against the Linux
# kestal-sim and the loopback PostgreSQL cluster. Run by run-subset.sh, inside its prefix.
#   zip-transfer.sh ZIP LINUX-KESTAL-SIM
set -euo pipefail
zip=$(realpath "${1:?usage: zip-transfer.sh ZIP LINUX-KESTAL-SIM}")
sim=$(realpath "${2:?usage: zip-transfer.sh ZIP LINUX-KESTAL-SIM}")
. "$(dirname "$0")/../../scripts/lib.sh"
fail() { echo "zip-transfer: $*" >&2; exit 1; }

work=$(mktemp -d /tmp/kestal-zip.$$.XXXXXX)
trap 'kestal_stop_sim; rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$zip")
root=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'kestalentry-*-win64')
[ -n "$root" ] || fail "$(basename "$zip") has no kestalentry-<version>-win64 folder"
bin=$root/Programs/Kestal
for path in Files Velmarion_php/log Programs/Kestal/KESTALENTRY.POSTGRES.INI db/postgresql-schema.sql \
  README-windows.txt; do
  [ -e "$root/$path" ] || fail "the zip holds no $path"
done
[ "$(grep -c $'\r$' "$root/README-windows.txt")" -eq "$(grep -c '' "$root/README-windows.txt")" ] ||
  fail "README-windows.txt has lines without CR LF"

wine_exe() { timeout --kill-after=5 60 /usr/lib/wine/wine64 "$@"; }
cred_exe() { wine_exe kestal-cred.exe "$@"; }
address=127.0.0.231
psql -X -q -v ON_ERROR_STOP=1 \
  -c "DELETE FROM vxsystem.vxs1140trm; DELETE FROM vxsystem.vxs113sto;" \
  -c "INSERT INTO vxsystem.vxs1140trm (trmnam, trmdac) VALUES ('$address', 0);" \
  -c "INSERT INTO vxsystem.vxs113sto (stonum, stosta) VALUES (7, NULL), (12345, 1), (9, 4);"
kestal_start_sim "$sim" "$work" "$address" -- --registry "$work/registry"

# The programs run where the fixed relative paths expect them, as README-windows.txt says.
cd "$bin"
kestal_write_settings cred_exe '..\..\Files\Velmarion.Ini' "$KESTAL_PG_USER" "$KESTAL_PG_PASSWORD" \
  POSTGRES "$KESTAL_PG_DSN"
out=$(wine_exe kestalentry.exe zipuser "$address" '*STO' </dev/null)
[ "$(tail -n 1 <<<"$out")" = $'200 entry accepted\r' ] || fail "unexpected output: $out"
[ "$(cat "$work/registry")" = "$(printf 'STRING StoNr1 7\nSTRING StoNr2 12345')" ] ||
  fail "unexpected registry: $(cat "$work/registry")"
row=$(psql -X -A -t -c "SELECT trmdbe || '|' || coalesce(trmdst::text, 'NULL') || '|' || trmdac
  FROM vxsystem.vxs1140trm WHERE trmnam = '$address'")
[ "$row" = "zipuser|NULL|0" ] || fail "status row not finished: $row"
grep -q $'^Programm beendet\r$' "$root/Velmarion_php/log/KestalLog.txt" ||
  fail "the run log in the zip's log folder does not end the run"
echo "zip-transfer: $(basename "$zip") unpacked as an installation runs the *STO transfer"
