#!/usr/bin/env bash
# The Windows job: installs its own packages, cross-builds the Windows executables,
# builds the native test driver and the Linux kestal-sim, starts a throwaway PostgreSQL
# cluster and runs the Windows end-to-end subset under Wine, then one transfer from the
# installation zip unpacked as docs/windows.md lays it out. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)

# Wine's odbc32 loads the host's libodbc.so.2, which loads psqlODBC.
scripts/apt-install.sh wine64 wine unixodbc unixodbc-dev odbc-postgresql postgresql \
  cmake g++ make googletest libgtest-dev libgmock-dev

scripts/build-windows.sh build-win

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build-w -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTAL_WERROR=ON -DKESTAL_TESTS=OFF >/dev/null
cmake --build build-w -j"$jobs" --target kestal-sim
cmake -S tests/windows -B build-w/windows-e2e -DKESTAL_WERROR=ON \
  -DKESTAL_WIN_BIN="$PWD/build-win" -DKESTAL_SIM="$PWD/build-w/tools/kestal-sim/kestal-sim" >/dev/null
cmake --build build-w/windows-e2e -j"$jobs"

KESTAL_WIN_ZIP=$(ls build-win/kestalentry-*-win64.zip) KESTAL_SIM=$PWD/build-w/tools/kestal-sim/kestal-sim \
  scripts/with-postgres.sh tests/windows/run-subset.sh build-w/windows-e2e/windows_e2e_test "$@"
echo "test-windows: done in $(($(date +%s) - started)) s"
