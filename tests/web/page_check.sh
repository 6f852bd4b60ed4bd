#!/usr/bin/env bash
# The page in headless Chromium against the native simulator (page_check.js does the work).
#   page_check.sh SOURCE_DIR NATIVE_SIM PAGE_DIR WORK_DIR
# Exits 77 with one line when emscripten, node or chromium is missing.
set -eu
source_dir=$1
native=$2
page=$3
work=$4
. "${BASH_SOURCE[0]%/*}/skip_without_tools.sh"
chromium=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$chromium" ]; then echo "chromium is not installed: skipped"; exit 77; fi
if [ ! -f "$page/treadbrawl.wasm" ]; then echo "no page in $page: the web build failed"; exit 1; fi
mkdir -p "$work"
script="$source_dir/tests/replays/melee.script"
seed=7 clock=36000 ticks=400
hash=$("$native" --seed $seed --clock-start $clock --ticks $ticks --script "$script" --hash)
exec timeout -k 5 300 node "$source_dir/tests/web/page_check.js" --page "$page" \
  --chromium "$chromium" --script "$script" --seed $seed --clock-start $clock --ticks $ticks \
  --hash "$hash" --screenshot "$work/page.png"
