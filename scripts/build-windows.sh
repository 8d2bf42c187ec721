#!/usr/bin/env bash
# Cross-builds the Windows executables with mingw-w64 into build-win/ (or $1) and checks
# that each imports only system DLLs: KERNEL32, msvcrt, WS2_32 and ODBC32.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-win}

# Install step of its own: the main suite does not depend on the cross compiler.
install_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "build-windows: run as root to install: ${missing[*]}" >&2; exit 1; }
    sudo=sudo
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq || true
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
install_packages cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64

cmake --no-warn-unused-cli -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DKESTAL_WERROR=ON -DKESTAL_TESTS=OFF >/dev/null
jobs=$(nproc 2>/dev/null || echo 2)
targets=(kestalentry kestal-cred)
exes=(src/run/kestalentry.exe tools/kestal-cred/kestal-cred.exe)
if cmake --build "$build_dir" --target help | grep -q -w kestal-sim; then
  targets+=(kestal-sim)
  exes+=(tools/kestal-sim/kestal-sim.exe)
fi
cmake --build "$build_dir" -j"$jobs" --target "${targets[@]}"

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
exit $status
