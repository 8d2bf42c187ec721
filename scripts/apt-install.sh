#!/usr/bin/env bash
# Installs those of the named Debian packages that are missing (apt-get, without
# recommends); does nothing when all are present. Needs root or sudo to install.
# Waits (up to 300 s, saying so) while another apt or dpkg holds the package manager's
# locks, as unattended upgrades do on a fresh machine's first boot.
set -euo pipefail
missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "apt-install: run as root to install: ${missing[*]}" >&2; exit 1; }
  SUDO=sudo
fi

# The process holding a lock on FILE, from /proc/locks (apt and dpkg take fcntl
# locks; a lock names its file as major:minor:inode).
lock_holder() {
  local dev ino
  read -r dev ino < <(stat -c '%d %i' "$1" 2>/dev/null) || return 0
  local id
  id=$(printf '%02x:%02x:%s' $(((dev >> 8) & 0xfff)) $(((dev & 0xff) | ((dev >> 12) & 0xfff00))) "$ino")
  awk -v id="$id" '$2 != "->" && $6 == id { print $5; exit }' /proc/locks 2>/dev/null || true
}

wait_for_package_manager() {
  local waited=0 lock holder
  for lock in /var/lib/dpkg/lock-frontend /var/lib/dpkg/lock /var/lib/apt/lists/lock \
    /var/cache/apt/archives/lock; do
    while holder=$(lock_holder "$lock") && [ -n "$holder" ] && [ "$waited" -lt 300 ]; do
      if [ $((waited % 30)) -eq 0 ]; then
        echo "apt-install: waiting for the package manager: process $holder" \
          "($(cat "/proc/$holder/comm" 2>/dev/null || echo gone)) holds $lock" \
          "(${waited} s of at most 300 s)" >&2
      fi
      sleep 5
      waited=$((waited + 5))
    done
  done
}

export DEBIAN_FRONTEND=noninteractive
wait_for_package_manager
# A lock taken after the wait above: apt-get waits for it too.
apt=(apt-get -o DPkg::Lock::Timeout=300)
$SUDO "${apt[@]}" update -qq || true
$SUDO "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
