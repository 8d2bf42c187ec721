#!/usr/bin/env bash
# The Windows job: installs its own packages, cross-builds the Windows executables,
# builds the native test driver and the Linux kestal-sim, starts a throwaway PostgreSQL
# cluster and runs the Windows end-to-end subset under Wine. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)

install_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "test-windows: run as root to install: ${missing[*]}" >&2; exit 1; }
    sudo=sudo
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq || true
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
# Wine's odbc32 loads the host's libodbc.so.2, which loads psqlODBC.
install_packages wine64 wine unixodbc unixodbc-dev odbc-postgresql postgresql \
  cmake g++ make googletest libgtest-dev libgmock-dev

scripts/build-windows.sh build-win

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build-w -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTAL_WERROR=ON -DKESTAL_TESTS=OFF >/dev/null
cmake --build build-w -j"$jobs" --target kestal-sim
cmake -S tests/windows -B build-w/windows-e2e -DKESTAL_WERROR=ON \
  -DKESTAL_WIN_BIN="$PWD/build-win" -DKESTAL_SIM="$PWD/build-w/tools/kestal-sim/kestal-sim" >/dev/null
cmake --build build-w/windows-e2e -j"$jobs"

scripts/with-postgres.sh tests/windows/run-subset.sh build-w/windows-e2e/windows_e2e_test "$@"
echo "test-windows: done in $(($(date +%s) - started)) s"
