#!/usr/bin/env bash
# Builds the Debian package from a Release build, checks it with lintian (any error or
# warning fails), renders its manual pages, unpacks it into a temporary root and runs the
# demo's *STO transfer with the packaged programs and the packaged extension; systemd
# verifies the scheduled push's units.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
build=${1:-build-pkg}
fail() { echo "package test: $*" >&2; exit 1; }

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKESTAL_TESTS=OFF -DKESTAL_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" >/dev/null
(cd "$build" && rm -f kestalentry_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$build"/kestalentry_*.deb)

# lintian's own exit status covers errors only by default; --fail-on adds warnings.
echo "package test: lintian $(basename "$deb")"
lintian_status=0
lintian_out=$(lintian --fail-on error,warning --tag-display-limit 0 "$deb" 2>&1) || lintian_status=$?
lintian_out=$(grep -v '^running with root privileges' <<<"$lintian_out" || true)
echo "${lintian_out:-(no tags)}"
if [ "$lintian_status" -ne 0 ] || grep -qE '^[EW]: ' <<<"$lintian_out"; then
  fail "lintian reports errors or warnings"
fi

work=$(mktemp -d /tmp/kestal-pkg.$$.XXXXXX)
trap 'kestal_stop_sim; rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
bin=$work/root/usr/bin
for page in "$work"/root/usr/share/man/man1/*.1.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) ||
    fail "man -l $(basename "$page") failed: $warnings"
  [ -z "$warnings" ] || fail "man -l $(basename "$page") warns: $warnings"
done
# Every companion program reports the package's version; kestalentry has no options.
version=$(dpkg-deb -f "$deb" Version)
for program in "$bin"/kestal-*; do
  said=$("$program" --version) || fail "$(basename "$program") --version failed"
  [ "$said" = "$(basename "$program") $version" ] ||
    fail "$(basename "$program") --version does not say $version: $said"
done

# The scheduled push's units as systemd reads them from the package: an instance of
# each template, with the host's own units for the targets they name and the package's
# manual pages for their Documentation=; a warning (an unknown key, say) fails too.
mkdir -p "$work/root/lib/systemd"
cp -a /lib/systemd/system "$work/root/lib/systemd/"
verify=$(MANPATH=$work/root/usr/share/man systemd-analyze verify --root="$work/root" \
  kestal-fleet-push@nightly.service kestal-fleet-push@nightly.timer 2>&1) ||
  fail "systemd-analyze verify failed: $verify"
[ -z "$verify" ] || fail "systemd-analyze verify warns: $verify"
bash -n "$work/root/usr/lib/kestalentry/kestal-fleet-push" || fail "kestal-fleet-push does not parse"

ext=$work/root/usr/lib/kestalentry/kestal_vxsystem.so
kestal_layout "$work"
sqlite3 "$work/k.sqlite" <"$work/root/usr/share/kestalentry/db/sqlite-schema.sql"
sqlite3 "$work/k.sqlite" "INSERT INTO vxs1140trm (trmnam) VALUES ('127.0.0.252');
  INSERT INTO vxs113sto (stonum, stosta) VALUES (7, NULL), (12345, 1), (9, 4);"
printf '[pkg]\nDriver = %s\nDatabase = %s\nLoadExt = %s\n' \
  "$(kestal_odbc_driver libsqlite3odbc.so libsqliteodbc)" "$work/k.sqlite" "$ext" >"$work/odbc.ini"
kestal_write_settings "$bin/kestal-cred" "$work/Files/Velmarion.Ini" demo demo SQLITE pkg
kestal_start_sim "$bin/kestal-sim" "$work" 127.0.0.252 -- --registry "$work/registry"

out=$(cd "$work/work/bin" && ODBCINI=$work/odbc.ini "$bin/kestalentry" demo 127.0.0.252 '*STO')
[ "$out" = "200 entry accepted" ] || fail "unexpected output: $out"
[ "$(cat "$work/registry")" = "$(printf 'STRING StoNr1 7\nSTRING StoNr2 12345')" ] ||
  fail "unexpected registry: $(cat "$work/registry")"
[ "$(sqlite3 "$work/k.sqlite" "SELECT trmdbe || '|' || trmdac FROM vxs1140trm")" = "demo|0" ] ||
  fail "status row not finished"
echo "package test: $(basename "$deb") is lintian-clean, its manual pages render, its companions report its version, systemd accepts its units, and it runs the *STO transfer"
