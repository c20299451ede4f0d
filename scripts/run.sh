#!/usr/bin/env bash
# Sets everything up and starts Quillory's window. "scripts/run.sh cli ARGS..." runs the command
# line instead (quillory-cli ARGS...).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh app
if [ "${1:-}" = cli ]; then
  shift
  exec build/app/cli/quillory-cli "${@:---help}"
fi
exec build/app/app/quillory "$@"
