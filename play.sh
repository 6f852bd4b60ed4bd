#!/usr/bin/env bash
# Sets up, builds a Release build and starts the game. The build makes everything an install
# needs (the game, its sounds, icons and manual page) and the simulator.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTREADBRAWL_BUILD_TESTS=OFF \
      -DTREADBRAWL_BUILD_BENCH=OFF > /dev/null
cmake --build build/release -j"$(nproc)"
exec build/release/bin/treadbrawl "$@"
