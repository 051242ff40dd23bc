#!/usr/bin/env bash
# Sets everything up, builds, and runs every test: the normal build, then the same tests
# under the address and undefined-behaviour sanitizers, then each fuzz target for 45 s.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DKORVANE_BUILD_TESTS=ON -DKORVANE_BUILD_BENCH=ON
(cd build && ctest --output-on-failure -j "$(nproc)")
scripts/build.sh build-sanitize -DKORVANE_SANITIZE=ON -DKORVANE_BUILD_BENCH=OFF -DKORVANE_BUILD_DESKTOP=OFF
(cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j "$(nproc)")
scripts/fuzz.sh 45
