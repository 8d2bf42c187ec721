#!/usr/bin/env bash
# Cross-builds the Windows executables with mingw-w64 into build-win/ (or $1), checks
# that each imports only system DLLs (KERNEL32, msvcrt, WS2_32 and ODBC32), and packs
# the installation zip build-win/kestalentry-<version>-win64.zip with CPack.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-win}

# Install step of its own: the main suite does not depend on the cross compiler.
scripts/apt-install.sh cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64

cmake --no-warn-unused-cli -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DKESTAL_WERROR=ON -DKESTAL_TESTS=OFF >/dev/null
jobs=$(nproc 2>/dev/null || echo 2)
exes=(src/run/kestalentry.exe tools/kestal-cred/kestal-cred.exe tools/kestal-sim/kestal-sim.exe)
cmake --build "$build_dir" -j"$jobs"

status=0
for exe in "${exes[@]}"; do
  file="$build_dir/$exe"
  [ -f "$file" ] || { echo "build-windows: $file was not built" >&2; status=1; continue; }
  imports=$(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p' | tr 'a-z' 'A-Z' | sort -u)
  unexpected=$(echo "$imports" | grep -v -x -E 'KERNEL32\.DLL|MSVCRT\.DLL|WS2_32\.DLL|ODBC32\.DLL' || true)
  if [ -n "$unexpected" ]; then
    echo "build-windows: $exe imports more than the system DLLs: $(echo $unexpected)" >&2
    status=1
  else
    echo "build-windows: $exe imports $(echo $imports)"
  fi
done
[ $status -eq 0 ] || exit $status

(cd "$build_dir" && rm -f kestalentry-*-win64.zip && cpack -G ZIP >/dev/null)
echo "build-windows: $(ls "$build_dir"/kestalentry-*-win64.zip)"
