#!/usr/bin/env bash
# Sets up, builds and starts the viewer. Without arguments it reads the card once and prints
# it (lorvane --read): through a reader when one is attached, else the bundled sample card
# through the card-image plug-in. Any arguments go to lorvane instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
if [ $# -eq 0 ]; then
  set -- --read
fi
exec build/bin/lorvane "$@"
