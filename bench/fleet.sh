#!/usr/bin/env bash
# The fleet benchmark in one command: builds Release in build-release, starts a
# throwaway PostgreSQL cluster inside a private network namespace, pushes a simulated
# fleet with several --jobs (PgBouncer for 200) and writes the table and the plot
# into bench/ (fleet.md, fleet.png); first, 200 healthy terminals side by side (a loop,
# xargs -P 8, GNU parallel, kestal-fleet) into bench/fleet-side.md. Options go to
# fleet_bench.py, e.g.
#   bench/fleet.sh --terminals 400 --entries 50
# KESTAL_BENCH_PARTS=side (or table) runs only that part.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
if [ "${KESTAL_BENCH_NETNS:-}" != 1 ]; then
  bench/install-deps.sh
  build=$top/build-release
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKESTAL_BENCH=ON >/dev/null
  cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" --target kestalentry kestal-cred \
    kestal-sim kestal-fleet kestal_vxsystem kestal-floor-client kestal-odbc-floor \
    kestal-measure >/dev/null
  exec unshare --net env KESTAL_BENCH_NETNS=1 bash -c 'ip link set lo up; exec "$0" "$@"' \
    "$0" "$@"
fi
scratch=$(mktemp -d /tmp/kestal-fleet-bench.XXXXXX)
chmod 755 "$scratch"
trap 'rm -rf "$scratch"' EXIT
export KESTAL_BENCH_BUILD=$top/build-release KESTAL_BENCH_OUT=$top/bench \
  KESTAL_BENCH_SCRATCH=$scratch
parts=${KESTAL_BENCH_PARTS:-side,table}
if [[ $parts == *side* ]]; then
  scripts/with-postgres.sh python3 bench/fleet_side.py
fi
[[ $parts == *table* ]] || exit 0
scripts/with-postgres.sh python3 bench/fleet_bench.py "$@"
gnuplot -e "datafile='bench/fleet.dat'; outfile='bench/fleet.png'" bench/fleet.gnuplot
echo "table: bench/fleet.md, plot: bench/fleet.png"
