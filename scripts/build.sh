#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Configures and builds into build/ (or the folder given as the first argument, with any
# further CMake options). The runnable program folder is <build>/bin.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} -DLORVANE_WERROR=ON "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
