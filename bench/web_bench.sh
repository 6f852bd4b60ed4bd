#!/usr/bin/env bash
# A tick with drawing, side by side: the native simulator, the WebAssembly one in node, and
# the page in headless Chromium, each playing seed 1 for the same ticks (world hash printed,
# so that all three are seen to play the same game). Not a test: the figures depend on the
# machine.
#   bench/web_bench.sh BUILD_DIR [TICKS]     (BUILD_DIR holds bin/ and web/, e.g. build/release)
set -eu
build=$1
ticks=${2:-10000}
here=$(cd "$(dirname "$0")/.." && pwd)
native=$build/bin/treadbrawl-sim
wasm=$build/web/bin/treadbrawl-sim.js
[ -f "$wasm" ] || wasm=$here/build/web/bin/treadbrawl-sim.js
page=$(dirname "$(dirname "$wasm")")/page
# Microseconds a tick: the run of $ticks ticks less a run of one (start-up, arena, hash).
per_tick() {
  local t0 t1 start
  start=$(date +%s%N); "$@" --ticks 1 --hash >/dev/null; t0=$(($(date +%s%N) - start))
  start=$(date +%s%N); "$@" --ticks "$ticks" --hash >/dev/null; t1=$(($(date +%s%N) - start))
  echo $(((t1 - t0) / 1000 / (ticks - 1)))
}
echo "native:   $(per_tick "$native" --seed 1) us a tick, hash $("$native" --seed 1 --ticks "$ticks" --hash)"
echo "node:     $(per_tick node --no-experimental-fetch "$wasm" --seed 1) us a tick"
if command -v chromium >/dev/null 2>&1; then
  timeout 300 node "$here/tests/web/page_check.js" --page "$page" --chromium "$(command -v chromium)" \
    --bench "$ticks"
fi
