#!/usr/bin/env bash
# Runs clang-tidy (checks in .clang-tidy) and cppcheck over the sources of src/ and
# tools/ as compiled by the build's compile_commands.json; exits non-zero on a finding.
#
#   scripts/check-static.sh            (build dir: build, or $KESTAL_STATIC_BUILD)
#
# Tests (*_test.cc) are left out: they are built from the test framework's macros.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${KESTAL_STATIC_BUILD:-build}
jobs=$(nproc 2>/dev/null || echo 2)

# The library order first: it needs no build.
scripts/check-layers.sh || exit 1

if [ ! -f "$build/compile_commands.json" ]; then
  cmake -S . -B "$build" -DKESTAL_WERROR=ON >/dev/null || exit 1
fi

mapfile -t files < <(python3 - "$build/compile_commands.json" "$root" <<'PY'
import json, os, re, sys
root = sys.argv[2]
seen = set()
for entry in json.load(open(sys.argv[1])):
    path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    rel = os.path.relpath(path, root)
    if re.match(r"(src|tools)/", rel) and not rel.endswith("_test.cc") and rel not in seen:
        seen.add(rel)
        print(path)
PY
)
if [ ${#files[@]} -eq 0 ]; then
  echo "check-static: no sources of src/ or tools/ in $build/compile_commands.json" >&2
  exit 1
fi
echo "check-static: ${#files[@]} files"

status=0
tidy_status=0
tidy_log=$(mktemp)
trap 'rm -f "$tidy_log"' EXIT
# Every warning counts as a finding.
printf '%s\n' "${files[@]}" |
  xargs -P "$jobs" -n 1 clang-tidy -p "$build" --quiet --use-color=false \
    --warnings-as-errors='*' --extra-arg=-Wno-unknown-warning-option --header-filter="^$root/(src|tools)/" \
    >"$tidy_log" 2>&1 || tidy_status=$?
if [ "$tidy_status" -ne 0 ] || grep -qE '(warning|error): ' "$tidy_log"; then
  # head may close the pipe early; that is no failure of the check.
  grep -E -A2 '(warning|error): ' "$tidy_log" | head -n 300 || true
  echo "check-static: clang-tidy found problems" >&2
  status=1
else
  echo "check-static: clang-tidy clean"
fi

filters=()
for f in "${files[@]}"; do filters+=("--file-filter=${f#"$root"/}"); done
if ! cppcheck --project="$build/compile_commands.json" "${filters[@]}" -j "$jobs" -q \
  --enable=warning,performance,portability --inline-suppr --error-exitcode=2 \
  --suppress=missingIncludeSystem --suppress=unmatchedSuppression \
  --template='{file}:{line}: {severity} ({id}): {message}'; then
  echo "check-static: cppcheck found problems" >&2
  status=1
else
  echo "check-static: cppcheck clean"
fi
exit $status
