#!/usr/bin/env bash
# Re-records the golden replays' world hashes after a change of the game that is meant.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/rel -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build/rel -j"$(nproc)" --target treadbrawl-sim
sim=build/rel/bin/treadbrawl-sim
out=tests/replays/golden.txt
echo "# name seed clock-start ticks hash (scripts/rerecord-replays.sh writes this file)" > "$out"
while read -r name seed clock ticks; do
  hash=$("$sim" --seed "$seed" --clock-start "$clock" --ticks "$ticks" \
         --script "tests/replays/$name.script" --hash)
  echo "$name $seed $clock $ticks $hash" >> "$out"
done <<'LIST'
melee 7 36000 900
skirmish 3 50000.5 2000
barrage 5 86390 3000
LIST
cat "$out"
