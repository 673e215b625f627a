#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets up, builds and starts the viewer. With a display it opens the window; without one it
# says so and reads the card once and prints it (lorvane --read): through a reader when one
# is attached, else the bundled sample card through the card-image plug-in. Any arguments go
# to lorvane instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
if [ $# -eq 0 ]; then
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run.sh: no display (DISPLAY and WAYLAND_DISPLAY are unset): printing the card instead" >&2
    set -- --read
  fi
fi
exec build/bin/lorvane "$@"
