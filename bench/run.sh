#!/usr/bin/env bash
# The benchmarks in one command: builds Release in build-release, starts a throwaway
# PostgreSQL cluster, then runs the cost benchmark (tool against its floors), the
# many-terminals benchmark and the run-log rotation stress. See bench/README.md.
#   bench/run.sh [--reps N] [--out DIR] [--no-install]
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
reps=7
out=$top/build-release/bench-results
install=yes
while [ $# -gt 0 ]; do
  case $1 in
    --reps) reps=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --no-install) install=no; shift ;;
    *) echo "usage: bench/run.sh [--reps N] [--out DIR] [--no-install]" >&2; exit 2 ;;
  esac
done

[ $install = yes ] && bench/install-deps.sh
build=$top/build-release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKESTAL_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" --target kestalentry kestal-cred \
  kestal-sim kestal_vxsystem kestal-floor-client kestal-odbc-floor kestal-measure \
  kestal-log-stress >/dev/null

# Installation trees and the SQLite file live in memory where possible, so disk
# flushes do not drown what is measured.
base=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && base=/dev/shm
scratch=$(mktemp -d "$base/kestal-bench.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$out"

export KESTAL_BENCH_BUILD=$build KESTAL_BENCH_OUT=$out KESTAL_BENCH_SCRATCH=$scratch
export KESTAL_BENCH_REPS=$reps KESTAL_BENCH_SOURCE=$top
scripts/with-postgres.sh bash -c '
  status=0
  echo "== Cost per run and per entry against the floors"
  python3 "$KESTAL_BENCH_SOURCE/bench/bench.py" --build "$KESTAL_BENCH_BUILD" \
    --out "$KESTAL_BENCH_OUT" --scratch "$KESTAL_BENCH_SCRATCH" --source "$KESTAL_BENCH_SOURCE" \
    --reps "$KESTAL_BENCH_REPS" || status=$?
  echo
  echo "== Many terminals at once"
  python3 "$KESTAL_BENCH_SOURCE/bench/many_terminals.py" --build "$KESTAL_BENCH_BUILD" \
    --out "$KESTAL_BENCH_OUT" --scratch "$KESTAL_BENCH_SCRATCH" || status=$?
  echo
  echo "== Run-log rotation with eight writers"
  "$KESTAL_BENCH_BUILD/bench/kestal-log-stress" "$KESTAL_BENCH_SCRATCH/stress" 8 200 100 || status=$?
  exit $status
'
