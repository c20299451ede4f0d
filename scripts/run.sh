#!/usr/bin/env bash
# Sets everything up and starts Quillory. Arguments are passed to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh release
if [ -x build/release/app/quillory ]; then
  exec build/release/app/quillory "$@"
fi
exec build/release/cli/quillory-cli "${@:---help}"
