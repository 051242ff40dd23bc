#!/usr/bin/env bash
# Installs the Debian packages Korvane needs to build and test, when any is missing.
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config libgtest-dev libbenchmark-dev libcli11-dev libfmt-dev
          nlohmann-json3-dev ieee-data tshark clang libclang-rt-14-dev
          qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-qpa-plugins fonts-dejavu-core xvfb xauth
          poppler-utils)

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
