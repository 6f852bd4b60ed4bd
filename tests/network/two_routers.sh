#!/usr/bin/env bash
# The real game with joiners behind two home routers made of network namespaces, each router
# masquerading and letting in only the flows its LAN opened:
#   host 11.77.1.2 ----+-- switch --+-- 11.77.1.11 [router A] 10.77.2.1 -- 10.77.2.2 joiner A
#                                   +-- 11.77.1.12 [router B] 10.77.3.1 -- 10.77.3.2 joiner B
# Like every address here they exist only inside these namespaces, which have no link to the
# machine's own network: nothing sent here can leave.
# Cases: (a) the host and joiner A play, and their replays agree; (b) the host and both
# joiners: the joiners link directly through both routers (no flow between the routers left
# unanswered, both joiners say "direct link"), and the three replays, which stop at
# different ticks, agree on every world hash they share.
# Usage: two_routers.sh GAME SIM WORKDIR; exit 77 (skipped) without root or the tools.
set -uo pipefail
game=$1
sim=$2
work=$3
# shellcheck source=tests/network/netns_lib.sh
. "$(dirname "$0")/netns_lib.sh"
netns_need ip iptables-legacy timeout join
tag=tb$$
host=${tag}h switch=${tag}s ra=${tag}a rb=${tag}b ja=${tag}x jb=${tag}y
netns_begin "$work"
netns_add "$host" "$switch" "$ra" "$rb" "$ja" "$jb"
set -e
# The outside: a bridge with the host and both routers' WANs on it.
nsx "$switch" ip link add sw type bridge
nsx "$switch" ip link set sw up
n=0
for side in "$host:2:eth0" "$ra:11:wan" "$rb:12:wan"; do
  IFS=: read -r ns last dev <<< "$side"
  n=$((n + 1))
  ip link add "${tag}p$n" netns "$switch" type veth peer name "$dev" netns "$ns"
  nsx "$switch" ip link set "${tag}p$n" master sw up
  nsx "$ns" ip addr add "11.77.1.$last/24" dev "$dev"
  nsx "$ns" ip link set "$dev" up
done
# Each router's LAN: one joiner, whose only way out is its router.
for side in "$ra:$ja:2" "$rb:$jb:3"; do
  IFS=: read -r router joiner net <<< "$side"
  ip link add lan netns "$router" type veth peer name eth0 netns "$joiner"
  nsx "$router" ip addr add "10.77.$net.1/24" dev lan
  nsx "$router" ip link set lan up
  nsx "$joiner" ip addr add "10.77.$net.2/24" dev eth0
  nsx "$joiner" ip link set eth0 up
  nsx "$joiner" ip route add default via "10.77.$net.1"
  netns_home_router "$router"
done
set +e

# The flows router $1 holds with the other router's address $2, as its connection table says.
flows() {
  if nsx "$1" test -r /proc/net/nf_conntrack; then
    nsx "$1" cat /proc/net/nf_conntrack | grep -E "^ipv4 .* udp .*dst=$2 " || true
  elif command -v conntrack > /dev/null; then
    nsx "$1" conntrack -L -p udp -d "$2" 2> /dev/null || true
  else
    return 2
  fi
}

# Every pair of replays agrees on every world hash both hold (there must be some).
replays_agree() {
  local case=$1 first=$2 f shared differ
  shift 2
  for f in "$first" "$@"; do
    "$sim" --replay "$f" --hash --checkpoints > "$f.hashes" 2> "$f.sim" ||
      { fail "$case: $f does not play back: $(cat "$f.sim")"; return; }
    grep ' ' "$f.hashes" | sort -k1,1 > "$f.sorted"
    echo "$case: $(basename "$f"): hashes up to tick $(tail -n 2 "$f.hashes" | head -n 1 | cut -d' ' -f1)"
  done
  for f in "$@"; do
    shared=$(join -j1 "$first.sorted" "$f.sorted" | wc -l)
    differ=$(join -j1 "$first.sorted" "$f.sorted" | awk '$2 != $3' | head -n 3)
    [ "$shared" -ge 5 ] || fail "$case: $first and $f share only $shared hashes"
    [ -z "$differ" ] || fail "$case: $first and $f differ (tick, hashes): $differ"
  done
}

# Starts the host in the background for $1 players, recording to $2; its id in host_pid.
start_host() {
  : > "$work/host-$3.txt"
  ip netns exec "$host" "${env_game[@]}" TREADBRAWL_MAX_TICKS="$4" TREADBRAWL_START_WITH="$1" \
    "$game" --host 24642 --no-port-mapping --record "$2" > /dev/null 2> "$work/host-$3.txt" &
  host_pid=$!
  pids+=("$host_pid")
  await "$work/host-$3.txt" 15 "hosting on UDP port 24642" "$host_pid" || fail "$3: no host"
}

# Starts joiner $1 (a namespace) for $2 frames, recording to $3, its words in $4; id in join_pid.
start_joiner() {
  ip netns exec "$1" "${env_game[@]}" TREADBRAWL_MAX_TICKS="$2" "$game" --join 11.77.1.2:24642 \
    --record "$3" > /dev/null 2> "$4" &
  join_pid=$!
  pids+=("$join_pid")
}

echo "$SECONDS s: (a) one joiner behind a router"
start_host 2 "$work/a-host.tbr" a 600
start_joiner "$ja" 400 "$work/a-joiner.tbr" "$work/a-joiner.txt"
await_exit "$join_pid" 30 "(a) the joiner"
await_exit "$host_pid" 30 "(a) the host"
replays_agree "(a)" "$work/a-host.tbr" "$work/a-joiner.tbr"

echo "$SECONDS s: (b) two joiners behind two routers"
start_host 3 "$work/b-host.tbr" b 1000
start_joiner "$ja" 500 "$work/b-a.tbr" "$work/b-a.txt"
a_pid=$join_pid
start_joiner "$jb" 650 "$work/b-b.tbr" "$work/b-b.txt"
b_pid=$join_pid
for who in a b; do
  pid=$a_pid
  [ "$who" = a ] || pid=$b_pid
  await "$work/b-$who.txt" 20 "direct link|through the host" "$pid" ||
    fail "(b) joiner $who never said how the other's keys come"
done
echo "$SECONDS s: (b) links settled"
for side in "$ra:11.77.1.12:A" "$rb:11.77.1.11:B"; do
  IFS=: read -r router other name <<< "$side"
  table=$(flows "$router" "$other")
  [ $? -ne 2 ] || { echo "(b) no connection table to read (no conntrack tool): not checked"; break; }
  echo "(b) router $name, flows with the other router: ${table:-none}"
  [ -n "$table" ] || fail "(b) router $name holds no flow with the other router"
  if echo "$table" | grep -q UNREPLIED; then fail "(b) router $name: a flow left unanswered"; fi
done
await_exit "$a_pid" 40 "(b) joiner A"
await_exit "$b_pid" 40 "(b) joiner B"
await_exit "$host_pid" 40 "(b) the host"
for who in a b; do
  grep -q "treadbrawl: [A-Za-z]*: direct link" "$work/b-$who.txt" ||
    fail "(b) joiner $who does not say direct: $(cat "$work/b-$who.txt")"
  if grep -q "through the host" "$work/b-$who.txt"; then
    fail "(b) joiner $who fell back to the host: $(cat "$work/b-$who.txt")"
  fi
done
replays_agree "(b)" "$work/b-host.tbr" "$work/b-a.tbr" "$work/b-b.tbr"

[ "$failures" -eq 0 ] && echo "the two-router cases pass"
exit $((failures > 0))
