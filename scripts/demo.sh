#!/usr/bin/env bash
# Installs what the demo needs, builds the programs, and opens the bundled demo trace in the desktop program.
# Without a display it says so and prints korvane-cli's summary of the same trace instead;
# with only a virtual framebuffer (xvfb-run) it runs the program there for a few seconds first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh demo
# The two programs only; a build folder the tests have set up keeps its configuration.
if [ -f build/CMakeCache.txt ]; then
  cmake --build build --target korvane korvane-cli
else
  scripts/build.sh build -DKORVANE_BUILD_TESTS=OFF -DKORVANE_BUILD_BENCH=OFF
fi
trace=data/demo.enc
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/src/korvane "$trace"
fi
if command -v xvfb-run >/dev/null 2>&1 && xvfb-run -a true >/dev/null 2>&1; then
  echo "No display: korvane runs for 10 s on a virtual display (xvfb-run); the same analysis as text:"
  timeout 10 xvfb-run -a build/src/korvane "$trace" || true
else
  echo "No display available (no DISPLAY, WAYLAND_DISPLAY or working xvfb-run); korvane-cli's summary instead:"
fi
build/src/korvane-cli summary "$trace"
