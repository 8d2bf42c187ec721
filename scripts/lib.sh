# Shared by the scripts that run a transfer (source it): lays out an installation,
# writes its four settings with kestal-cred, finds an ODBC driver, starts and stops the
# simulator. Functions return non-zero with a message on standard error.

# kestal_layout ROOT: the folders the fixed relative paths expect below an installation
# root; the working directory is ROOT/work/bin.
kestal_layout() {
  mkdir -p "$1/Files" "$1/Velmarion_php/log" "$1/work/bin"
}

# kestal_write_settings CRED STORE LOGIN PASS DB_SYSTEM DATABASE: the password goes
# through standard input, so it never shows in a process listing.
kestal_write_settings() {
  local cred=$1 store=$2
  "$cred" set "$store" LOGIN "$3" >/dev/null
  printf '%s\n' "$4" | "$cred" set "$store" PASS - >/dev/null
  "$cred" set "$store" DB_SYSTEM "$5" >/dev/null
  "$cred" set "$store" DATABASE "$6" >/dev/null
}

# kestal_odbc_driver FILE PACKAGE: prints the path of the ODBC driver FILE, or says
# which Debian package provides it.
kestal_odbc_driver() {
  local path
  for path in /usr/lib/*/odbc/"$1"; do
    [ -e "$path" ] && { echo "$path"; return 0; }
  done
  echo "ODBC driver $1 not found in /usr/lib/*/odbc: install the Debian package $2" \
    "(scripts/install-deps.sh does)" >&2
  return 1
}

# kestal_start_sim SIM DIR ADDRESS... [-- OPTION...]: starts the simulator on port 5010
# of the first ADDRESS it can listen on, with its ready file and stderr in DIR, and
# sets KESTAL_SIM_PID and KESTAL_SIM_ADDRESS. Says so when it had to skip the first.
kestal_start_sim() {
  local sim=$1 dir=$2 address
  shift 2
  local addresses=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do addresses+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  for address in "${addresses[@]}"; do
    rm -f "$dir/sim.ready"
    "$sim" --listen "$address" --port 5010 --ready-file "$dir/sim.ready" "$@" 2>"$dir/sim.err" &
    KESTAL_SIM_PID=$!
    if kestal_wait_ready "$dir/sim.ready" "$KESTAL_SIM_PID"; then
      KESTAL_SIM_ADDRESS=$address
      [ "$address" = "${addresses[0]}" ] ||
        echo "${addresses[0]}:5010 is in use; the simulator listens on $address:5010 instead"
      return 0
    fi
    kestal_stop_sim
  done
  echo "the simulator did not start on ${addresses[*]}: $(cat "$dir/sim.err")" >&2
  return 1
}

# kestal_wait_ready FILE PID: waits up to 10 s for FILE, as long as PID runs.
kestal_wait_ready() {
  local _
  for _ in $(seq 1 200); do
    [ -e "$1" ] && return 0
    kill -0 "$2" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

# kestal_stop_sim: stops the simulator kestal_start_sim started, if it runs.
kestal_stop_sim() {
  [ -n "${KESTAL_SIM_PID:-}" ] || return 0
  kill "$KESTAL_SIM_PID" 2>/dev/null || true
  wait "$KESTAL_SIM_PID" 2>/dev/null || true
  KESTAL_SIM_PID=""
}

# kestal_free_port [ADDRESS]: a TCP port nothing listens on at ADDRESS (127.0.0.1 by
# default). Ports come from below the kernel's ephemeral range, so a connection some
# other process opens meanwhile cannot take the port before our server binds it.
kestal_free_port() {
  local address=${1:-127.0.0.1} low=32768 port
  read -r low _ </proc/sys/net/ipv4/ip_local_port_range 2>/dev/null || true
  [ "$low" -gt 12000 ] || low=32768
  port=$((10000 + RANDOM % (low - 11000)))
  while (exec 3<>"/dev/tcp/$address/$port") 2>/dev/null; do port=$((port + 1)); done
  echo "$port"
}

# kestal_wait_listening ADDRESS PORT: waits up to 10 s until something accepts there.
kestal_wait_listening() {
  local _
  for _ in $(seq 1 200); do
    (exec 3<>"/dev/tcp/$1/$2") 2>/dev/null && return 0
    sleep 0.05
  done
  return 1
}
