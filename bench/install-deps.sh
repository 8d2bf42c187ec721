#!/usr/bin/env bash
# Installs what the benchmarks need beyond the project's own packages: gnuplot for
# the plot and python3 for the drivers. Does nothing for packages already present.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"

missing=()
for p in gnuplot-nox python3 findutils; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# An installed gnuplot of another flavour serves as well.
if command -v gnuplot >/dev/null; then
  missing=("${missing[@]/gnuplot-nox/}")
fi
if command -v python3 >/dev/null; then
  missing=("${missing[@]/python3/}")
fi
read -r -a missing <<<"${missing[*]}"
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "bench/install-deps: run as root to install: ${missing[*]}" >&2; exit 1; }
  SUDO=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq || true
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
