# shellcheck shell=bash
# Shell helpers for the tests that build networks of their own out of Linux network
# namespaces and run the real game in them. Sourced, not run:
#   . netns_lib.sh; netns_need ip timeout; netns_begin WORKDIR; netns_add NAME...
# Every namespace and process the test makes is removed by the EXIT trap, even on failure;
# set TB_KEEP_LOGS=1 to keep WORKDIR.

skip() { echo "skipped: $*"; exit 77; }

# Skips (77) unless run as root with every tool named.
netns_need() {
  [ "$(id -u)" -eq 0 ] || skip "needs root for network namespaces"
  local tool
  for tool in "$@"; do
    command -v "$tool" > /dev/null || skip "$tool is not installed (scripts/deps.sh --test)"
  done
}

netns_all=()  # the namespaces made, for the clean-up
pids=()       # background processes started, for the clean-up
failures=0
netns_work=

# Background processes are started with `ip netns exec` itself, which becomes the program:
# their ids are the programs' own.
netns_cleanup() {
  set +e
  local pid ns
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2> /dev/null; done
  # Anything else still inside the test's own namespaces was started by this test.
  for ns in "${netns_all[@]}"; do
    for pid in $(ip netns pids "$ns" 2> /dev/null); do kill -9 "$pid" 2> /dev/null; done
  done
  for ns in "${netns_all[@]}"; do ip netns del "$ns" 2> /dev/null; done
  [ -n "${TB_KEEP_LOGS:-}" ] || [ -z "$netns_work" ] || rm -rf "$netns_work"
}

# Sets the clean-up trap and makes a fresh WORKDIR.
netns_begin() {
  netns_work=$1
  trap netns_cleanup EXIT
  rm -rf "$netns_work" && mkdir -p "$netns_work"
}

# Makes namespaces with their loopback up; the first failure skips (77): no namespaces here.
netns_add() {
  local ns
  for ns in "$@"; do
    ip netns add "$ns" 2> /dev/null || skip "cannot create network namespaces here"
    netns_all+=("$ns")
    ip netns exec "$ns" ip link set lo up
  done
}

nsx() {
  local ns=$1
  shift
  ip netns exec "$ns" "$@"
}

# A home router: namespace $1 masquerades what its LAN sends out of `wan`, and lets in from
# outside only what belongs to a flow the LAN opened, to its LAN and to itself alike (so an
# unasked packet leaves no trace in its connection table and gets no answer).
netns_home_router() {
  local ns=$1
  nsx "$ns" sysctl -qw net.ipv4.ip_forward=1
  nsx "$ns" iptables-legacy -t nat -A POSTROUTING -o wan -j MASQUERADE
  local chain
  for chain in FORWARD INPUT; do
    nsx "$ns" iptables-legacy -A "$chain" -i wan -m conntrack --ctstate ESTABLISHED,RELATED -j ACCEPT
    nsx "$ns" iptables-legacy -A "$chain" -i wan -j DROP
  done
}

# Background jobs of a script start with SIGINT ignored; the game gets it back, as in a terminal.
# shellcheck disable=SC2034,SC2054  # used by the sourcing script; the commas are one argument
env_game=(env --default-signal=INT,TERM SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy)

# Waits (at most $2 seconds) for a line matching $3 in the file $1 written by process $4.
await() {
  timeout "$2" grep -q -m1 -E "$3" <(tail -n +1 -f --pid="$4" "$1") || {
    echo "waited $2 s for '$3' in $1:" >&2
    cat "$1" >&2
    return 1
  }
}

fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

# Waits for process $1 (at most $2 seconds, then it is killed); fails with $3 unless it
# exits with status 0.
await_exit() {
  local pid=$1 limit=$2 what=$3
  timeout "$limit" tail --pid="$pid" -f /dev/null ||
    { kill -9 "$pid" 2> /dev/null; fail "$what did not end within $limit s"; }
  wait "$pid" || fail "$what exited with status $?"
}
