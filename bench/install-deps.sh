#!/usr/bin/env bash
# Installs what the benchmarks need beyond the project's own packages: gnuplot for
# the plot, python3 for the drivers, and GNU parallel for the side-by-side timing. Does nothing for packages already present.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"

wanted=(findutils parallel)
# An installed gnuplot of another flavour serves as well.
command -v gnuplot >/dev/null || wanted+=(gnuplot-nox)
command -v python3 >/dev/null || wanted+=(python3)
exec "$here/scripts/apt-install.sh" "${wanted[@]}"
