#!/usr/bin/env bash
# Sets up, builds with AddressSanitizer and UndefinedBehaviorSanitizer, runs every test.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/deps.sh --test
# The simulator once more from another compiler (or, without clang, with no optimiser): a
# test checks that it plays the same games, so no compiler or optimiser can change the game.
if command -v clang++ > /dev/null; then
  other=build/other-clang
  cmake -S . -B "$other" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release \
        -DTREADBRAWL_BUILD_TESTS=OFF -DTREADBRAWL_BUILD_BENCH=OFF > /dev/null
else
  other=build/other-gcc-O0
  cmake -S . -B "$other" -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS=-O0 \
        -DTREADBRAWL_BUILD_TESTS=OFF -DTREADBRAWL_BUILD_BENCH=OFF > /dev/null
fi
cmake --build "$other" -j"$(nproc)" --target treadbrawl-sim
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTREADBRAWL_SANITIZE=ON \
      -DTREADBRAWL_BUILD_BENCH=OFF -DTREADBRAWL_OTHER_SIM="$PWD/$other/bin/treadbrawl-sim" > /dev/null
cmake --build build/sanitize -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build/sanitize --output-on-failure -j"$(nproc)"
