#!/usr/bin/env bash
# Sets everything up, builds, and shows Korvane's analysis of the bundled demo trace.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
build/src/korvane-cli summary data/demo.enc
