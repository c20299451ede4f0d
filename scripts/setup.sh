#!/usr/bin/env bash
# Installs the Debian packages Quillory needs (those missing only), then configures and builds
# each preset given, in order.
#   scripts/setup.sh [PRESET...]              (default: release)
#   scripts/setup.sh --packages PRESET...     install the packages only
# Presets: app (the programs), dev, asan and release (programs and tests), bench (programs and
# benchmarks), fuzz (the libFuzzer targets), package (the programs as the Debian package has them).
set -euo pipefail
cd "$(dirname "$0")/.."
build=1
if [ "${1:-}" = --packages ]; then
  build=0
  shift
fi
presets=("${@:-release}")

packages=(
  # build
  cmake ninja-build g++ pkg-config
  # libraries
  qt6-base-dev qt6-svg-dev libxkbcommon-dev libgl-dev libqt6svg6 libzip-dev libpugixml-dev libcli11-dev
  libdeflate0 libdeflate-dev
  # the built-in languages' words: the library and its language data (read at run time)
  libnumbertext-dev libnumbertext-data
  # Arial's metrics for the windows
  fonts-liberation2
  # LibreOffice: the backend for .xls/.xlt/.ods, and its SDK to build the plugin
  libreoffice-calc-nogui libreoffice-dev libreoffice-dev-common
)
# What each kind of build needs besides.
# gnumeric's ssconvert writes the Excel 5.0/95 test workbooks.
tests=(libgtest-dev libgmock-dev libxlsxwriter-dev unzip desktop-file-utils appstream gnumeric)
for preset in "${presets[@]}"; do
  case $preset in
    app) ;;
    dev) packages+=("${tests[@]}" clang-format) ;;
    asan | release) packages+=("${tests[@]}") ;;
    bench) packages+=(libbenchmark-dev libicu-dev libxlsxwriter-dev unzip) ;;
    fuzz) packages+=(clang libclang-rt-14-dev) ;;
    package) packages+=(dpkg-dev file) ;;
    *)
      echo "scripts/setup.sh: unknown preset '$preset' (app, dev, asan, release, bench, fuzz, package)" >&2
      exit 2
      ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  mapfile -t missing < <(printf '%s\n' "${missing[@]}" | sort -u)
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

[ $build = 1 ] || exit 0
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
done
