#!/usr/bin/env bash
# Runs the README's commands for starting, installing, packaging and the simulator, as written,
# against this build and a temporary prefix, and checks that each one succeeds; then that the
# README's uninstall left nothing behind.
# Usage: readme_commands.sh SOURCE_DIR BUILD_DIR WORK_DIR
# In the commands, build/release becomes BUILD_DIR and /usr/local a prefix in WORK_DIR. Not
# run: ./play.sh (this build stands for it) and the package manager's own commands (apt, dpkg),
# which change the machine, and the tournament, which plays for half an hour.
set -euo pipefail
source_dir=$(cd "$1" && pwd)
build_dir=$(cd "$2" && pwd)
work=$3
rm -rf "$work"
mkdir -p "$work/docs" "$work/prefix"
work=$(cd "$work" && pwd)
cp "$source_dir/docs/match.script" "$source_dir/docs/clip.script" "$work/docs/"

# The ```sh blocks of a `## Section`, up to the next `## ` heading.
blocks() {
  awk -v section="## $1" '
    /^## / { inside = ($0 == section) }
    inside && /^```sh$/ { code = 1; next }
    code && /^```$/ { code = 0; next }
    inside && code' "$source_dir/README.md"
}

script="$work/commands.sh"
{
  for section in Play Install Simulator; do blocks "$section"; done
} | grep -Ev '^(\./play\.sh|apt |apt-get |dpkg )|--tournament' |
  sed -e "s#build/release#$build_dir#g" -e "s#/usr/local#$work/prefix#g" > "$script"
grep -q -- '--install' "$script" || { echo "README: no install command found" >&2; exit 1; }
grep -q 'treadbrawl-sim' "$script" || { echo "README: no simulator command found" >&2; exit 1; }

# The game runs headless and stops by itself.
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy TREADBRAWL_MAX_TICKS=10
cd "$work"
echo "running the README's commands:"
bash -euo pipefail -x "$script"

left=$(find "$work/prefix" -type f -o -type l)
if [ -n "$left" ]; then
  echo "the README's uninstall left files behind:" >&2
  echo "$left" >&2
  exit 1
fi
echo "every README command succeeded"
