#!/usr/bin/env bash
# Checks the Debian package that the README's `cpack` wrote: Debian's file name, the games
# layout, and no error or warning from lintian.
# Usage: lintian_check.sh BUILD_DIR VERSION
set -euo pipefail
build_dir=$1
version=$2
deb="$build_dir/treadbrawl_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "no package $deb" >&2; ls "$build_dir"/*.deb >&2 || true; exit 1; }

contents=$(dpkg-deb -c "$deb")
for entry in './usr/games/treadbrawl -> ../lib/games/treadbrawl/treadbrawl' \
             './usr/lib/games/treadbrawl/treadbrawl' './usr/lib/games/treadbrawl/Sounds/' \
             './usr/share/man/man6/treadbrawl.6.gz' './usr/share/doc/treadbrawl/copyright' \
             './usr/share/doc/treadbrawl/changelog.Debian.gz'; do
  grep -qF -- " $entry" <<< "$contents" || { echo "not in the package: $entry" >&2; exit 1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libsdl2 libsdl2-ttf fonts-dejavu-core; do
  grep -q "$needed" <<< "$depends" || { echo "no dependency on $needed: $depends" >&2; exit 1; }
done

echo "lintian $deb:"
lintian --fail-on error,warning "$deb"
echo "lintian: no error, no warning"
