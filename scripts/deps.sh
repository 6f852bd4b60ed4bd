#!/usr/bin/env bash
# Installs what the build needs from Debian's packages, or says which line to run.
# With --web, also what builds the page; with --test, that and the tools the tests check the
# package and the page with; with --docs, those that take the screenshots.
set -euo pipefail
# Building, installing and packaging (cpack's dependency scan needs dpkg-dev and file).
packages=(cmake g++ clang make pkg-config libsdl2-dev libgtest-dev libbenchmark-dev libpng-dev
          nlohmann-json3-dev libebur128-dev libenet-dev libsodium-dev libgif-dev
          libminiupnpc-dev libnatpmp-dev dpkg-dev file libsdl2-ttf-dev fonts-dejavu-core)
# The game in a browser tab (--web): emscripten, and node with acorn for its optimiser.
web=(emscripten nodejs node-acorn)
if [ "${1:-}" = "--web" ]; then
  packages+=("${web[@]}")
fi
if [ "${1:-}" = "--test" ]; then
  # Checking the manual page, the Debian package, the AppStream data and the desktop entry;
  # time measures the memory of the damaged-file cases; a virtual X server and xprop for the
  # window's title; the page built and played in node and in headless Chromium. The router
  # test builds namespaces (iproute2) with a UPnP/NAT-PMP router (the daemon alone,
  # miniupnpd-iptables: the miniupnpd package would ask debconf questions and start a system
  # service) and masquerading (iptables).
  packages+=(man-db lintian appstream desktop-file-utils time xvfb x11-utils "${web[@]}" chromium
             iproute2 iptables miniupnpd-iptables)
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
