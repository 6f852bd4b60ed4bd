#!/usr/bin/env bash
# Installs what the build needs from Debian's packages, or says which line to run.
# With --test, also the tools the tests check the package with.
set -euo pipefail
# Building, installing and packaging (cpack's dependency scan needs dpkg-dev and file).
packages=(cmake g++ clang make pkg-config libsdl2-dev libgtest-dev libbenchmark-dev libpng-dev
          nlohmann-json3-dev libebur128-dev libenet-dev libgif-dev libminiupnpc-dev
          libnatpmp-dev dpkg-dev file)
if [ "${1:-}" = "--test" ]; then
  # Checking the manual page, the Debian package, the AppStream data and the desktop entry;
  # time measures the memory of the damaged-file cases. The router test builds namespaces
  # (iproute2) with a UPnP/NAT-PMP router (the daemon alone, miniupnpd-iptables: the
  # miniupnpd package would ask debconf questions and start a system service) and masquerading
  # (iptables).
  packages+=(man-db lintian appstream desktop-file-utils time iproute2 iptables
             miniupnpd-iptables)
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
