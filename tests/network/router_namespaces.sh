#!/usr/bin/env bash
# The real game through a home router made of network namespaces: a masquerading router
# running miniupnpd between a LAN (the host and a neighbour) and an outside network (a friend).
#   host 10.77.1.2 --+                                     +-- 11.77.2.2 friend
#   neighbour 10.77.1.3 --+-- bridge 10.77.1.1 [router] 11.77.2.1 --+
# miniupnpd refuses to map behind a private outside address, so the router's outside network
# uses 11.77.2.0/24. Like every address here it exists only inside these namespaces, which have
# no link to the machine's own network: nothing sent here can leave.
# Cases: the friend reaches the host through the UPnP mapping, which is gone once the host is
# stopped by SIGTERM; a second process of the friend's watches that host with --record, and its
# replay agrees with the host's and the friend's on every hash they share; the same through
# NAT-PMP with SIGINT; one line when the router answers neither; the neighbour's --join lists
# the waiting host.
# Usage: router_namespaces.sh GAME SIM WORKDIR; exit 77 (skipped) without root or the tools.
set -uo pipefail
game=$1
sim=$2
work=$3
skip() { echo "skipped: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "needs root for network namespaces"
for tool in ip iptables-legacy miniupnpd timeout; do
  command -v "$tool" > /dev/null || skip "$tool is not installed (scripts/deps.sh --test)"
done
tag=tb$$
host=${tag}h router=${tag}r friend=${tag}f neighbour=${tag}n
ip netns add "$host" 2> /dev/null || skip "cannot create network namespaces here"
pids=()
# Background processes are started with `ip netns exec` itself, which becomes the program:
# their ids are the programs' own.
cleanup() {
  set +e
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2> /dev/null; done
  # Anything else still inside the test's own namespaces was started by this test.
  for ns in "$host" "$router" "$friend" "$neighbour"; do
    for pid in $(ip netns pids "$ns" 2> /dev/null); do kill -9 "$pid" 2> /dev/null; done
  done
  for ns in "$host" "$router" "$friend" "$neighbour"; do ip netns del "$ns" 2> /dev/null; done
  [ -n "$keep" ] || rm -rf "$work"
}
trap cleanup EXIT
keep=${TB_KEEP_LOGS:-}
set -e
rm -rf "$work" && mkdir -p "$work"
for ns in "$router" "$friend" "$neighbour"; do ip netns add "$ns"; done
nsx() { local ns=$1; shift; ip netns exec "$ns" "$@"; }
for ns in "$host" "$router" "$friend" "$neighbour"; do nsx "$ns" ip link set lo up; done
# The LAN: a bridge in the router with the host and the neighbour on it.
nsx "$router" ip link add lan type bridge
nsx "$router" ip addr add 10.77.1.1/24 brd + dev lan
nsx "$router" ip link set lan up
for side in "$host:2" "$neighbour:3"; do
  ns=${side%:*} n=${side#*:}
  ip link add "${tag}l$n" netns "$router" type veth peer name eth0 netns "$ns"
  nsx "$router" ip link set "${tag}l$n" master lan up
  nsx "$ns" ip addr add "10.77.1.$n/24" brd + dev eth0
  nsx "$ns" ip link set eth0 up
  nsx "$ns" ip route add default via 10.77.1.1
done
# The outside: the router's WAN and the friend, who has no route into the LAN.
ip link add wan netns "$router" type veth peer name eth0 netns "$friend"
nsx "$router" ip addr add 11.77.2.1/24 dev wan
nsx "$router" ip link set wan up
nsx "$friend" ip addr add 11.77.2.2/24 dev eth0
nsx "$friend" ip link set eth0 up
nsx "$router" sysctl -qw net.ipv4.ip_forward=1
ipt() { nsx "$router" iptables-legacy "$@"; }
ipt -t nat -A POSTROUTING -o wan -j MASQUERADE
# The chains miniupnpd puts its mappings in.
ipt -t nat -N MINIUPNPD && ipt -t nat -A PREROUTING -i wan -j MINIUPNPD
ipt -t nat -N MINIUPNPD-POSTROUTING && ipt -t nat -I POSTROUTING -o wan -j MINIUPNPD-POSTROUTING
ipt -t mangle -N MINIUPNPD && ipt -t mangle -A PREROUTING -i wan -j MINIUPNPD
ipt -t filter -N MINIUPNPD && ipt -t filter -A FORWARD -i wan ! -o wan -j MINIUPNPD
# Only what the LAN opened comes in from outside.
ipt -t filter -A FORWARD -i wan -m conntrack --ctstate ESTABLISHED,RELATED -j ACCEPT
ipt -t filter -A FORWARD -i wan -j DROP

# Background jobs of a script start with SIGINT ignored; the game gets it back, as in a terminal.
env_game=(env --default-signal=INT,TERM SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy)
# Waits (at most $2 seconds) for a line matching $3 in the file $1 written by process $4.
await() {
  timeout "$2" grep -q -m1 -E "$3" <(tail -n +1 -f --pid="$4" "$1") || {
    echo "waited $2 s for '$3' in $1:" >&2
    cat "$1" >&2
    return 1
  }
}
router_pid=
start_router() {  # upnp natpmp line-when-ready
  cat > "$work/miniupnpd.conf" <<CONF
ext_ifname=wan
listening_ip=lan
port=0
enable_upnp=$1
enable_natpmp=$2
secure_mode=yes
system_uptime=yes
lease_file=$work/leases
uuid=3b1f2c7e-7d0a-4a6e-9a57-0c1d2e3f4a5b
allow 1024-65535 10.77.1.0/24 1024-65535
deny 0-65535 0.0.0.0/0 0-65535
CONF
  : > "$work/leases"
  : > "$work/miniupnpd.log"
  ip netns exec "$router" miniupnpd -f "$work/miniupnpd.conf" -P "$work/miniupnpd.pid" -d \
    > "$work/miniupnpd.log" 2>&1 &
  router_pid=$!
  pids+=("$router_pid")
  # Ready once it says it listens; its log is the event waited for.
  await "$work/miniupnpd.log" 10 "$3" "$router_pid"
}
stop_router() { kill "$router_pid"; wait "$router_pid" || true; }

mapped() { ipt -t nat -S MINIUPNPD | grep -q -- "--dport 24642"; }

failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

# Hosts behind the router with $1 (UPnP or NAT-PMP); the friend joins the outside address; the
# host is then stopped with signal $2.
through_router() {
  local method=$1 signal=$2 log=$work/host-$1.txt
  : > "$log"  # there before the host writes it, for await
  ip netns exec "$host" "${env_game[@]}" TREADBRAWL_MAX_TICKS=1500 TREADBRAWL_START_WITH=2 \
    "$game" --host 24642 > /dev/null 2> "$log" &
  local host_pid=$!
  pids+=("$host_pid")
  await "$log" 15 "opened UDP port 24642" "$host_pid" || { fail "$method: no mapping"; return; }
  grep -q "the router ($method) opened UDP port 24642: friends outside join with --join 11.77.2.1:24642" "$log" ||
    fail "$method: the outside address is not the one shown: $(cat "$log")"
  echo "$SECONDS s: $method mapped"
  mapped || fail "$method: the router has no rule for the port"
  nsx "$friend" "${env_game[@]}" TREADBRAWL_MAX_TICKS=150 "$game" --join 11.77.2.1:24642 \
    --record "$work/friend-$method.tbr" > /dev/null 2> "$work/friend-$method.txt" ||
    fail "$method: the friend's game failed: $(cat "$work/friend-$method.txt")"
  "$sim" --replay "$work/friend-$method.tbr" --hash > /dev/null 2>&1 ||
    fail "$method: the friend played no match with the host: $(cat "$work/friend-$method.txt")"
  echo "$SECONDS s: $method friend done"
  kill -"$signal" "$host_pid"
  wait "$host_pid" || fail "$method: the host exited with status $? on SIG$signal"
  grep -q "the router no longer forwards UDP port 24642" "$log" ||
    fail "$method: the host did not say the mapping is removed: $(cat "$log")"
  ! mapped || fail "$method: the mapping outlived the host"
  [ ! -s "$work/leases" ] || fail "$method: leases left: $(cat "$work/leases")"
}

echo "$SECONDS s: UPnP"
start_router yes no "HTTP listening"
through_router UPnP TERM

# The ticks of a replay: its last dump is at its end.
replay_ticks() {
  "$sim" --replay "$1" --dump-every 50 2> /dev/null | tail -n 1 | sed -nE 's/^\{"tick":([0-9]+),.*/\1/p'
}
# Every world hash of the replays $@ at the ticks (multiples of 50) they all hold is the same.
replays_agree() {
  local shared= n f t first h
  for f in "$@"; do
    n=$(replay_ticks "$f")
    [ -n "$n" ] || { echo "$f does not play back" >&2; return 1; }
    if [ -z "$shared" ] || [ "$n" -lt "$shared" ]; then shared=$n; fi
  done
  [ "$shared" -ge 200 ] || { echo "the replays share only $shared ticks" >&2; return 1; }
  for ((t = 50; t <= shared; t += 50)); do
    first=
    for f in "$@"; do
      h=$("$sim" --replay "$f" --ticks "$t" --hash)
      [ -n "$first" ] || first=$h
      [ "$h" = "$first" ] || { echo "$f differs at tick $t" >&2; return 1; }
    done
  done
  echo "$SECONDS s: the replays agree on $((shared / 50)) hashes"
}

echo "$SECONDS s: UPnP spectator"
# The host behind the router, a friend outside, and the friend's second window watching.
log=$work/host-watched.txt
: > "$log"
ip netns exec "$host" "${env_game[@]}" TREADBRAWL_MAX_TICKS=1500 TREADBRAWL_START_WITH=2 \
  "$game" --host 24642 --record "$work/host-watched.tbr" > /dev/null 2> "$log" &
watched_host=$!
pids+=("$watched_host")
if await "$log" 15 "opened UDP port 24642" "$watched_host"; then
  ip netns exec "$friend" "${env_game[@]}" TREADBRAWL_MAX_TICKS=600 "$game" --watch 11.77.2.1:24642 \
    --record "$work/watcher.tbr" > /dev/null 2> "$work/watcher.txt" &
  watcher=$!
  pids+=("$watcher")
  await "$log" 10 "a spectator came to watch" "$watched_host" || fail "the spectator was not let in"
  nsx "$friend" "${env_game[@]}" TREADBRAWL_MAX_TICKS=500 "$game" --join 11.77.2.1:24642 \
    --record "$work/friend-watched.tbr" > /dev/null 2> "$work/friend-watched.txt" ||
    fail "the watched friend's game failed: $(cat "$work/friend-watched.txt")"
  wait "$watcher" || fail "the spectator's game failed: $(cat "$work/watcher.txt")"
  kill -TERM "$watched_host" && wait "$watched_host" || fail "the watched host failed: $(cat "$log")"
  replays_agree "$work/host-watched.tbr" "$work/friend-watched.tbr" "$work/watcher.tbr" ||
    fail "the spectator's replay does not agree with the players'"
else
  fail "UPnP spectator: no mapping"
  kill -TERM "$watched_host" && wait "$watched_host" || true
fi

echo "$SECONDS s: LAN"
# The neighbour on the LAN finds a waiting host (here with mapping off and a password).
ip netns exec "$host" "${env_game[@]}" TREADBRAWL_MAX_TICKS=1500 "$game" --host 24642 --no-port-mapping \
  --password w > /dev/null 2> "$work/host-lan.txt" &
lan_host=$!
pids+=("$lan_host")
found=
for attempt in 1 2 3; do  # the host may still be opening its window on the first query
  found=$(nsx "$neighbour" "$game" --join 2> "$work/neighbour.txt") && break
done
echo "$found" | grep -qE "^--join 10\.77\.1\.2:24642  [^,]+, 1 player in, 3 free seats, password, version " ||
  fail "the neighbour did not find the host: '$found' $(cat "$work/neighbour.txt")"
kill -TERM "$lan_host" && wait "$lan_host" || true
grep -q "router" "$work/host-lan.txt" && fail "--no-port-mapping still asked the router"
stop_router

echo "$SECONDS s: NAT-PMP"
start_router no yes "NAT-PMP"
through_router NAT-PMP INT
stop_router

echo "$SECONDS s: no router"
# No router answers: one line, within a few seconds.
log=$work/host-none.txt
: > "$log"
ip netns exec "$host" "${env_game[@]}" TREADBRAWL_MAX_TICKS=1500 "$game" --host 24642 > /dev/null 2> "$log" &
none_host=$!
pids+=("$none_host")
if await "$log" 10 "did not open" "$none_host"; then
  [ "$(grep -c router "$log")" -eq 1 ] || fail "more than one line about the router: $(cat "$log")"
else
  fail "no word that the router did not open the port"
fi
kill -TERM "$none_host" && wait "$none_host" || true

[ "$failures" -eq 0 ] && echo "the router cases pass"
exit $((failures > 0))
