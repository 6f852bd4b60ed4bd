#!/bin/bash
# Every file the game and the simulator read from the player, damaged every way we know:
# each must end in one line on stderr and exit status 2, soon, in bounded memory.
# Usage: damaged_files.sh GAME SIM SOURCE_DIR WORK_DIR SANITIZED(0|1)
set -u
game=$1 sim=$2 src=$3 work=$4 sanitized=$5
rm -rf "$work"
mkdir -p "$work/config/treadbrawl"
trap 'rm -rf "$work"' EXIT
seeds=$src/tests/fuzz_regressions/replay
failures=0 cases=0
measure=
[ -x /usr/bin/time ] && measure="/usr/bin/time -o $work/peak -f %M"
limit="ulimit -v 1048576"
if [ "$sanitized" = 1 ]; then
  echo "sanitizer build: its shadow memory needs more than 1 GiB, so no ulimit -v"
  limit=true
fi

# make NAME: damaged variants of a good file into $work/NAME.*
make() {
  local name=$1 good=$2
  local size
  size=$(stat -c %s "$good")
  head -c $((size / 2)) "$good" >"$work/$name.truncated"
  cp "$good" "$work/$name.flipped"
  # One bit flipped a third of the way in.
  local at=$((size / 3))
  local byte
  byte=$(od -An -tu1 -j "$at" -N1 "$good" | tr -d ' ')
  printf "$(printf '\\%03o' $((byte ^ 4)))" |
    dd of="$work/$name.flipped" bs=1 seek="$at" conv=notrunc status=none
  truncate -s 4G "$work/$name.enormous"
  mkdir -p "$work/$name.directory"
  mkfifo "$work/$name.fifo"
}

# expect LABEL COMMAND...: exit 2, one line on stderr, within 20 s; prints the memory peak.
expect() {
  local label=$1
  shift
  cases=$((cases + 1))
  local status peak lines
  (
    $limit
    exec env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME="$work/config" \
      timeout -k 5 20 $measure "$@" </dev/null >/dev/null 2>"$work/err"
  )
  status=$?
  peak=$(tail -n 1 "$work/peak" 2>/dev/null || echo '?')
  rm -f "$work/peak"
  lines=$(grep -c '' "$work/err")
  if [ "$status" != 2 ] || [ "$lines" != 1 ]; then
    echo "FAIL $label: exit $status, $lines lines on stderr:"
    head -n 5 "$work/err"
    failures=$((failures + 1))
  else
    echo "ok   $label (peak ${peak} KiB): $(cat "$work/err")"
  fi
}

make replay "$seeds/seed.tbr"
make snapshot "$seeds/seed.snap"
make script "$src/tests/fuzz_regressions/script/seed.script"
mapping='030000005e0400008e02000014010000,Pad,a:b0,b:b1,x:b2,y:b3,platform:Linux,'
printf '%s\n%s\n' "$mapping" "${mapping:0:49}" >"$work/mapping.truncated"
printf '%s\n%s\n' "$mapping" "${mapping/a:b0/a;b0}" >"$work/mapping.flipped"
truncate -s 4G "$work/mapping.enormous"
mkdir -p "$work/mapping.directory"
mkfifo "$work/mapping.fifo"

# Headers that claim too much: rounds of 2^31 ticks, an arena of 100,000 x 100,000.
head8='TBREPLAY\002\000\000\000\000\000\000\000\000\000\000\000\000'
printf "$head8"'\106\002\000\000\053\002\000\000\000\001\200\200\200\200\010' >"$work/replay.ticks"
printf "$head8"'\240\206\001\000\240\206\001\000\000\000\000' >"$work/replay.arena"
printf '1-2147483648 Green.Forward\n' >"$work/script.ticks"
cp "$seeds/radius-overflow.tbs" "$work/snapshot.outside"

for kind in truncated flipped enormous directory fifo ticks arena; do
  f=$work/replay.$kind
  [ -e "$f" ] || continue
  expect "treadbrawl --replay ($kind)" "$game" --replay "$f"
  expect "treadbrawl-sim --replay ($kind)" "$sim" --replay "$f"
done
for kind in truncated flipped enormous directory fifo outside; do
  expect "treadbrawl-sim --restore ($kind)" "$sim" --restore "$work/snapshot.$kind" --ticks 1
done
for kind in truncated flipped enormous directory fifo ticks; do
  expect "treadbrawl-sim --script ($kind)" "$sim" --script "$work/script.$kind" --ticks 1
done
for kind in truncated flipped enormous directory fifo; do
  rm -rf "$work/config/treadbrawl/gamecontrollerdb.txt"
  ln -s "$work/mapping.$kind" "$work/config/treadbrawl/gamecontrollerdb.txt"
  expect "controller mappings ($kind)" "$game" --replay "$seeds/seed.tbr"
done

echo "$cases cases, $failures failed"
[ "$failures" = 0 ]
