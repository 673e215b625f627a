#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets up and runs every check: the tests (GCC), the tests again under AddressSanitizer and
# UBSan, the layout check, and a short run of each fuzz target (clang, libFuzzer).
# FUZZ_SECONDS sets how long each fuzz target runs (default 30; 0 skips fuzzing).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

echo "== tests"
scripts/build.sh build
ctest --test-dir build --output-on-failure -j "$(nproc)"

echo "== tests under AddressSanitizer and UBSan"
BUILD_TYPE=Debug scripts/build.sh build-asan -DLORVANE_SANITIZE=ON
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS=suppressions=$PWD/testing/lsan-suppressions.txt \
  ctest --test-dir build-asan --output-on-failure -j "$(nproc)"

echo "== layout (clang-format)"
scripts/check-format.sh

seconds=${FUZZ_SECONDS:-30}
if [ "$seconds" -gt 0 ]; then
  echo "== fuzzing, ${seconds}s per target"
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLORVANE_WERROR=ON \
    -DLORVANE_FUZZ=ON -DLORVANE_SANITIZE=ON -DLORVANE_TESTS=OFF >/dev/null
  cmake --build build-fuzz -j "$(nproc)" --target ini_fuzzer definition_fuzzer card_image_fuzzer \
    pellix_reply_fuzzer registry_profile_fuzzer pcsc_framing_fuzzer plugin_boundary_fuzzer \
    transparent_answer_fuzzer phrase_book_fuzzer scripted_plugin
  scripts/fuzz.sh build-fuzz "$seconds"
fi
echo "== all checks passed"
