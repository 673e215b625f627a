#!/usr/bin/env bash
# Sets up, builds and starts the viewer. Without arguments it reads the bundled sample card
# (lorvane --read --card samples/sample-transit.json); any arguments go to lorvane instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
if [ $# -eq 0 ]; then
  set -- --read --card build/bin/samples/sample-transit.json
fi
exec build/bin/lorvane "$@"
