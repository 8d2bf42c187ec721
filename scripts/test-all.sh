#!/usr/bin/env bash
# Sets up this machine and runs every test: installs the packages, builds (warnings
# as errors), starts a throwaway PostgreSQL cluster, runs the suite, removes the cluster.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTAL_WERROR=ON
cmake --build build -j"$jobs"

scripts/with-postgres.sh ctest --test-dir build --output-on-failure -j"$jobs"
