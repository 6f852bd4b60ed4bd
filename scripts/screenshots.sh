#!/usr/bin/env bash
# Takes the README's pictures of the on-screen text on a virtual X server, one per case.
# Needs xvfb, imagemagick, xdotool (apt-get install xvfb imagemagick xdotool x11-utils).
# Usage: scripts/screenshots.sh BUILD_DIR [OUT_DIR]   (OUT_DIR defaults to docs/)
set -euo pipefail
build=$(realpath "$1")
mkdir -p "${2:-$(dirname "$0")/../docs}"
out=$(realpath "${2:-$(dirname "$0")/../docs}")
game="$build/bin/treadbrawl"
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
export DISPLAY=$display SDL_AUDIODRIVER=dummy
xdpyinfo >/dev/null 2>&1 || sleep 1
work=$(mktemp -d)
# The start screen remembers nothing of the machine it runs on.
export XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state

# shot NAME WAIT FULL KEYS -- ARGS...: starts the game, optionally goes full screen, presses
# KEYS, waits WAIT seconds and takes the window (or the whole screen when full).
shot() {
  local name=$1 wait=$2 full=$3 keys=$4
  shift 5
  TREADBRAWL_MAX_TICKS=3000 "$game" "$@" 2>>"$work/stderr" &
  local pid=$!
  local win
  win=$(xdotool search --sync --classname treadbrawl | head -1)
  [ "$full" = full ] && xdotool key --window "$win" alt+Return
  sleep 0.5
  for k in $keys; do xdotool key --window "$win" "$k"; done
  sleep "$wait"
  if [ "$full" = full ]; then import -window root "$out/$name.png"; else import -window "$win" "$out/$name.png"; fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

TREADBRAWL_MAX_TICKS=600 "$game" --bots 4 --rounds 3 --record "$work/match.tbr" 2>/dev/null
shot screen-keys 1 full "" -- 
shot screen-rounds 3 full "" -- --bots 3 --rounds 3
shot screen-replay 2 full "space" -- --replay "$work/match.tbr"
shot screen-skip 0.3 window "Right" -- --replay "$work/match.tbr"
shot screen-lobby 1 window "" -- --host 39997 --bots 1
shot screen-join-failed 11 window "" -- --join 127.0.0.1:39998
# The start screen in full screen, and the page after a match of one round between four
# computer drivers (cut short to 8 seconds), its score beside it.
shot screen-start 1 full "" -- --menu
TREADBRAWL_ROUND_TICKS=400 shot screen-after-match 17 full \
  "Return Right Right Right Down Right Right Right Down Right Right Right Down Right Right Right Down Right Down Return" \
  -- --menu
cat "$work/stderr"
rm -rf "$work"
