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
  file dpkg-dev
  chromium
  lintian scdoc man-db
  pgbouncer openssh-server strace
  prometheus systemd
)

exec "$(dirname "$0")/apt-install.sh" "${PACKAGES[@]}"
