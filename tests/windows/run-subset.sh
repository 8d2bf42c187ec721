#!/usr/bin/env bash
# Runs the Windows end-to-end subset under Wine: a Wine prefix of its own in a temporary
# folder, headless, with one persistent server that is stopped before the prefix goes.
# Usage (the database comes from scripts/with-postgres.sh):
#   scripts/with-postgres.sh tests/windows/run-subset.sh PATH/TO/windows_e2e_test [gtest flags]
# With KESTAL_WIN_ZIP and KESTAL_SIM set, the installation zip's transfer runs after the
# subset (tests/windows/zip-transfer.sh), in the same prefix.
set -euo pipefail
test_binary=${1:?usage: run-subset.sh PATH/TO/windows_e2e_test [gtest flags]}
shift
: "${KESTAL_PG_DSN:?run under scripts/with-postgres.sh}"
: "${ODBCINI:?run under scripts/with-postgres.sh}"

wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
[ -x "$wine64" ] && [ -x "$wineserver" ] || { echo "run-subset: wine64 is not installed" >&2; exit 1; }

WINEPREFIX=$(mktemp -d /tmp/kestal-wine.XXXXXX)
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY

cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  "$wineserver" -w >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A persistent server, started apart from the tests: otherwise the first Windows
# process would start it and it would keep the test's output pipes open.
"$wineserver" -p </dev/null >/dev/null 2>&1
"$wine64" wineboot --init </dev/null >"$WINEPREFIX/wineboot.log" 2>&1 ||
  { echo "run-subset: creating the Wine prefix failed" >&2; cat "$WINEPREFIX/wineboot.log" >&2; exit 1; }

"$test_binary" "$@"
if [ -n "${KESTAL_WIN_ZIP:-}" ]; then
  "$(dirname "$0")/zip-transfer.sh" "$KESTAL_WIN_ZIP" "${KESTAL_SIM:?set KESTAL_SIM with KESTAL_WIN_ZIP}"
fi
