#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour sanitizers)
# in build-fuzz and runs each for a bounded time; exits non-zero on any crash.
#
#   scripts/fuzz.sh [seconds-per-target] [target ...]     (default 60 s, all targets)
#
# KESTAL_FUZZ_SEED fixes libFuzzer's random seed, so that a run can be repeated; unset,
# every run explores differently.
# New inputs go to build-fuzz/corpus/<target> (seeded from fuzz/corpus/<target>);
# a crashing input is kept as build-fuzz/artifacts/<target>/crash-*.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=${1:-60}
shift || true
build=${KESTAL_FUZZ_BUILD:-$root/build-fuzz}
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$jobs"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/fuzz_*.cc; do
    name=$(basename "$source" .cc)
    [ "$name" = fuzz_support ] || targets+=("$name")
  done
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=()
for target in "${targets[@]}"; do
  work="$build/corpus/$target"
  artifacts="$build/artifacts/$target"
  mkdir -p "$work" "$artifacts"
  seeds=()
  [ -d "fuzz/corpus/$target" ] && seeds+=("fuzz/corpus/$target")
  seed=()
  [ -n "${KESTAL_FUZZ_SEED:-}" ] && seed+=("-seed=$KESTAL_FUZZ_SEED")
  dict=()
  [ -f "fuzz/$target.dict" ] && dict+=("-dict=fuzz/$target.dict")
  log="$build/$target.log"
  echo "== $target: ${seconds} s"
  status=0
  "$build/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "${dict[@]}" "${seed[@]}" \
    "$work" "${seeds[@]}" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  echo "   executions: ${runs:-unknown}, exit status $status"
  if [ "$status" -ne 0 ]; then
    failed+=("$target")
    tail -n 40 "$log"
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: crashes in: ${failed[*]} (inputs in $build/artifacts)" >&2
  exit 1
fi
echo "fuzz: no crash in ${#targets[@]} targets"
