#!/bin/sh
# Builds the page and the WebAssembly simulator with emscripten in a build folder of their
# own, leaving the native build alone:
#   web/build.sh SOURCE_DIR WEB_BUILD_DIR [SOUNDS_DIR]
# Exits 77 with one line when emscripten is not installed.
set -eu
source_dir=$1
build_dir=$2
sounds=${3:-}
if ! command -v emcmake >/dev/null 2>&1 || ! command -v em++ >/dev/null 2>&1; then
  echo "emscripten is not installed (apt-get install emscripten): the page is not built"
  exit 77
fi
# Emscripten's optimiser imports acorn from Debian's node-acorn.
export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  emcmake cmake -S "$source_dir/web" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release \
    -DTREADBRAWL_SOUNDS_DIR="$sounds" >/dev/null
fi
cmake --build "$build_dir" -j2
