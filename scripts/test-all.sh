#!/usr/bin/env bash
# Sets up this machine and runs every test: installs the packages, builds with warnings
# as errors, starts a throwaway PostgreSQL cluster, runs the whole suite in the normal
# build and again under AddressSanitizer + UBSan, and removes the cluster.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
stage() { printf '\n== %s\n' "$*"; }

stage "build (warnings are errors)"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTAL_WERROR=ON
cmake --build build -j"$jobs"

stage "build with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKESTAL_WERROR=ON -DKESTAL_SANITIZE=ON
cmake --build build-asan -j"$jobs"

stage "tests"
# Any sanitizer report ends the test that caused it with a failure.
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:halt_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$(pwd)/tests/lsan.supp
scripts/with-postgres.sh bash -c "
  ctest --test-dir build --output-on-failure -j$jobs &&
  ctest --test-dir build-asan --output-on-failure -j$jobs"

stage "Debian package"
scripts/test-package.sh

stage "static checks: clang-tidy and cppcheck"
scripts/check-static.sh

stage "valgrind memcheck of whole transfers"
scripts/valgrind-transfer.sh

stage "fuzz targets, ${KESTAL_FUZZ_SECONDS:-45} s each"
# A fixed seed keeps this stage repeatable; longer runs with fresh seeds are for
# scripts/fuzz.sh by hand (fuzz/README.md).
KESTAL_FUZZ_SEED=${KESTAL_FUZZ_SEED:-20261208} scripts/fuzz.sh "${KESTAL_FUZZ_SECONDS:-45}"

stage "Windows build and its end-to-end subset under Wine"
scripts/test-windows.sh
