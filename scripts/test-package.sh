#!/usr/bin/env bash
# Builds the Debian package from a Release build, unpacks it into a temporary root and
# runs the demo's *STO transfer with the packaged programs and the packaged extension.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-pkg}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKESTAL_TESTS=OFF -DKESTAL_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" >/dev/null
(cd "$build" && rm -f kestalentry_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$build"/kestalentry_*.deb)

work=$(mktemp -d /tmp/kestal-pkg.XXXXXX)
sim_pid=""
trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
bin=$work/root/usr/bin
ext=$work/root/usr/lib/kestalentry/kestal_vxsystem.so
mkdir -p "$work/Files" "$work/Velmarion_php/log" "$work/work/bin"
sqlite3 "$work/k.sqlite" <"$work/root/usr/share/kestalentry/db/sqlite-schema.sql"
sqlite3 "$work/k.sqlite" "INSERT INTO vxs1140trm (trmnam) VALUES ('127.0.0.252');
  INSERT INTO vxs113sto (stonum, stosta) VALUES (7, NULL), (12345, 1), (9, 4);"
printf '[pkg]\nDriver = %s\nDatabase = %s\nLoadExt = %s\n' \
  "$(ls /usr/lib/*/odbc/libsqlite3odbc.so | head -n 1)" "$work/k.sqlite" "$ext" >"$work/odbc.ini"
for kv in LOGIN=demo PASS=demo DB_SYSTEM=SQLITE DATABASE=pkg; do
  "$bin/kestal-cred" set "$work/Files/Velmarion.Ini" "${kv%%=*}" "${kv#*=}"
done
"$bin/kestal-sim" --listen 127.0.0.252 --registry "$work/registry" --ready-file "$work/ready" &
sim_pid=$!
for _ in $(seq 1 200); do [ -e "$work/ready" ] && break; sleep 0.05; done

out=$(cd "$work/work/bin" && ODBCINI=$work/odbc.ini "$bin/kestalentry" demo 127.0.0.252 '*STO')
fail() { echo "package test: $*" >&2; exit 1; }
[ "$out" = "200 entry accepted" ] || fail "unexpected output: $out"
[ "$(cat "$work/registry")" = "$(printf 'STRING StoNr1 7\nSTRING StoNr2 12345')" ] ||
  fail "unexpected registry: $(cat "$work/registry")"
[ "$(sqlite3 "$work/k.sqlite" "SELECT trmdbe || '|' || trmdac FROM vxs1140trm")" = "demo|0" ] ||
  fail "status row not finished"
echo "package test: $(basename "$deb") runs the *STO transfer"
