#!/usr/bin/env bash
# Installs the Debian packages Quillory needs (those missing only), then configures and builds
# one preset. Usage: scripts/setup.sh [PRESET]   (default: release)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-release}

packages=(
  # build
  cmake ninja-build g++ pkg-config
  # libraries
  qt6-base-dev qt6-svg-dev libxkbcommon-dev libgl-dev libqt6svg6 libzip-dev libpugixml-dev libcli11-dev
  # the built-in languages' words: the library and its language data (read at run time)
  libnumbertext-dev libnumbertext-data
  # Arial's metrics for the windows
  fonts-liberation2
  # LibreOffice: the backend for .xls/.xlt/.ods, and its SDK to build the plugin
  libreoffice-calc-nogui libreoffice-dev libreoffice-dev-common
  # tests, fixtures, benchmarks, fuzzers
  libgtest-dev libgmock-dev libbenchmark-dev libicu-dev libxlsxwriter-dev clang libclang-rt-14-dev unzip
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
