#!/usr/bin/env bash
# Takes one screenshot of each page of the start screen under a virtual X server, into docs/.
# Needs xvfb, xdotool and imagemagick (scripts/deps.sh --docs). Usage:
# scripts/menu-screenshots.sh BUILD_DIR
set -euo pipefail
build=${1:-build}
game=$build/bin/treadbrawl
out=docs
work=$(mktemp -d)
display=:$((50 + RANDOM % 40))
Xvfb "$display" -screen 0 1280x1024x24 > /dev/null 2>&1 &
xvfb=$!
game_pid=""
trap '[ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null; kill "$xvfb"; rm -rf "$work"' EXIT
export DISPLAY=$display XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
export SDL_AUDIODRIVER=dummy
sleep 1
# A few replays to list: short matches recorded as the start screen names them.
mkdir -p "$XDG_STATE_HOME/treadbrawl"
for entry in "2026-12-06_20-15-00:--bots 3:1500" "2026-12-07_18-40-12:--bots 2 --rounds 3:3000" \
            "2026-12-08_12-05-31:--bot Red:900"; do
  IFS=: read -r name options ticks <<< "$entry"
  # shellcheck disable=SC2086
  TREADBRAWL_MAX_TICKS=$ticks SDL_VIDEODRIVER=dummy "$game" $options \
    --record "$XDG_STATE_HOME/treadbrawl/$name.tbr" 2> /dev/null
  touch -d "${name:0:10} ${name:11:2}:${name:14:2}" "$XDG_STATE_HOME/treadbrawl/$name.tbr"
done
TREADBRAWL_ROUND_TICKS=600 "$game" --menu 2> "$work/stderr" &
game_pid=$!
sleep 2
window=$(xdotool search --sync --name . | head -1)
shot() { sleep 0.5; import -window "$window" "$out/$1.png"; }
keys() { xdotool key --delay 60 "$@"; }
shot start-screen
keys Return Down Right Right Right Down Right Down Down Right Right Right; shot play-here
keys Escape Down Return Down; xdotool type --delay 60 "friends"
keys Down Down Right Down Down Down Right Down Right Right Right; shot host-online
keys Escape Down Down Return; xdotool type --delay 60 "192.168.1.20:24642"; keys Down Down Right
shot join-online
keys Escape Down Down Down Return Down; shot replays
keys Escape Down Down Down Down Return; shot options
keys Up Up Return; shot controls
keys Escape Escape Down Down Down Down Down Return Return
for _ in $(seq 15); do keys Down; done
keys Return; shot keys
# A match of one round between four computer drivers, cut short to 12 seconds: asked to leave
# once, then played to its end, when the title names the winner; the choices come after.
keys Escape Escape Return
for _ in 1 2 3 4; do keys Right Right Right Down; done
keys Right Down Return
sleep 3; keys Escape; shot leave-match; keys space
for _ in $(seq 60); do
  xdotool getwindowname "$window" | grep -qE 'wins|draw' && break
  sleep 1
done
sleep 8; shot after-match
