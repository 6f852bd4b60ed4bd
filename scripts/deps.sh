#!/usr/bin/env bash
# Installs what the build needs from Debian's packages, or says which line to run.
# With --test, also the tools the tests check the package with; with --docs, those that take
# the screenshots.
set -euo pipefail
# Building, installing and packaging (cpack's dependency scan needs dpkg-dev and file).
packages=(cmake g++ clang make pkg-config libsdl2-dev libgtest-dev libbenchmark-dev libpng-dev
          nlohmann-json3-dev libebur128-dev libenet-dev libgif-dev dpkg-dev
          file libsdl2-ttf-dev fonts-dejavu-core)
if [ "${1:-}" = "--test" ]; then
  # Checking the manual page, the Debian package, the AppStream data and the desktop entry;
  # a virtual X server and xprop for the window's title.
  packages+=(man-db lintian appstream desktop-file-utils xvfb x11-utils)
fi
if [ "${1:-}" = "--docs" ]; then
  # The start screen's screenshots (scripts/menu-screenshots.sh): keys typed into a virtual
  # X server and its window grabbed.
  packages+=(xvfb xdotool imagemagick)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "treadbrawl: missing packages; run as root: apt-get update && apt-get install -y ${missing[*]}" >&2
  exit 1
fi
apt-get update
DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
