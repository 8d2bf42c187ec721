#!/usr/bin/env bash
# Installs the Debian packages that building, the demo and the tests need.
# Does nothing for packages already present; needs root (or sudo) for apt-get.
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config git ca-certificates
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  unixodbc unixodbc-dev odbc-postgresql postgresql
  libsqliteodbc sqlite3 libsqlite3-dev
  clang libclang-rt-14-dev clang-tidy cppcheck valgrind python3
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: run as root to install: ${missing[*]}" >&2; exit 1; }
  SUDO=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq || true
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
