#!/usr/bin/env bash
# The simulator compiled to WebAssembly and run in node plays the golden replays to their
# recorded worlds, and a set of random scenes (seeds, key scripts, odd sizes, clocks,
# computer drivers, rounds, a replay file) to the native simulator's worlds.
#   wasm_hashes.sh SOURCE_DIR NATIVE_SIM WASM_SIM_JS WORK_DIR
# Exits 77 with one line when emscripten or node is missing.
set -u
source_dir=$1
native=$2
wasm=$3
work=$4
. "${BASH_SOURCE[0]%/*}/skip_without_tools.sh"
if [ ! -f "$wasm" ]; then echo "no $wasm: the web build failed"; exit 1; fi
mkdir -p "$work"
failures=0
sim_wasm() { node --no-experimental-fetch "$wasm" "$@" --hash; }

check() {  # what, expected, arguments...
  local what=$1 expected=$2
  shift 2
  local got
  got=$(sim_wasm "$@")
  if [ -z "$expected" ] || [ "$got" != "$expected" ]; then
    echo "FAIL $what: wasm '$got', expected '$expected' for: $*"
    failures=$((failures + 1))
  else
    echo "ok   $what $got"
  fi
}

replays="$source_dir/tests/replays"
while read -r name seed clock ticks hash; do
  case "$name" in '#'* | '') continue ;; esac
  check "golden $name" "$hash" --seed "$seed" --clock-start "$clock" --ticks "$ticks" \
    --script "$replays/$name.script"
done <"$replays/golden.txt"

# Random scenes from a fixed generator, so that every run checks the same ones.
state=2026
next() {  # sets r to a whole number below $1 (no subshell, so the state moves on)
  state=$(((state * 1103515245 + 12345) % 2147483648))
  r=$(((state / 65536) % $1))
}
players=(Green Red Blue Yellow)
moves=(Right Left Forward Backward)
clocks=(36000 86399.3 50000.37 123.45)
for scene in 0 1 2 3 4 5 6 7; do
  next 500; ticks=$((300 + r))
  script="$work/scene$scene.script"
  : >"$script"
  for player in "${players[@]}"; do
    t=1
    while [ "$t" -lt "$ticks" ]; do
      next 100; n=$((5 + r))
      next 4; line="$t-$((t + n)) $player.${moves[$r]}"
      next 2; [ "$r" -eq 0 ] && line="$line $player.Fire"
      echo "$line" >>"$script"
      next 40; t=$((t + n + r))
    done
  done
  next 1000000; seed=$((1 + r))
  next 900; width=$((151 + r))
  next 700; height=$((151 + r))
  next 4; clock=${clocks[$r]}
  args=(--seed "$seed" --width "$width" --height "$height" --clock-start "$clock"
        --ticks "$ticks" --script "$script")
  case $scene in
    5) args+=(--bots 2 --bot-level hard) ;;
    6) args+=(--bots 4 --rounds 2) ;;
    7) args+=(--bot Red,Yellow --bot-level easy --rounds 3) ;;
  esac
  check "scene $scene" "$("$native" "${args[@]}" --hash)" "${args[@]}"
done
check "contact scene" "$("$native" --contact-scene --ticks 300 --hash)" --contact-scene --ticks 300

# A replay written natively plays in WebAssembly to the same world.
replay="$work/match.tbr"
rm -f "$replay"
"$native" --seed 42 --ticks 600 --bots 4 --rounds 2 --record "$replay" >/dev/null
check "replay file" "$("$native" --replay "$replay" --hash)" --replay "$replay"

if [ "$failures" -gt 0 ]; then
  echo "$failures of the WebAssembly worlds differ from the native ones"
  exit 1
fi
echo "every WebAssembly world is the native one"
