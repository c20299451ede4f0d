#!/usr/bin/env bash
# Sets everything up and runs every test: the test suite (dev preset), then a short run of each
# fuzzer (clang, sanitizers).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh dev
export QT_QPA_PLATFORM=offscreen
ctest --preset dev -j "$(nproc)"
