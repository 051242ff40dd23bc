#!/usr/bin/env bash
# Installs the Debian packages Korvane needs, when any is missing.
#   scripts/setup.sh        everything: build, test, cross-check, fuzz and package test tools
#   scripts/setup.sh demo   only what building and running the two programs needs
set -euo pipefail

# Building the programs and showing the desktop one (xvfb only where there is no display).
demo=(g++ cmake ninja-build pkg-config libcli11-dev libfmt-dev nlohmann-json3-dev
      qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-qpa-plugins fonts-dejavu-core xvfb xauth)
# Tests, benchmarks, cross-checks against tshark, fuzzing, the package test and the
# vendor-prefix source that tools/make-oui.sh reads, and the locale sources (a test makes one
# with a decimal comma).
tests=(libgtest-dev libbenchmark-dev tshark clang libclang-rt-14-dev ieee-data
       dpkg-dev desktop-file-utils libxml2-utils man-db poppler-utils locales)

case "${1:-all}" in
  demo) packages=("${demo[@]}") ;;
  all) packages=("${demo[@]}" "${tests[@]}") ;;
  *) echo "usage: scripts/setup.sh [demo|all]" >&2; exit 1 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
