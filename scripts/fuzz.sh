#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs each fuzz target of a fuzz build for the given number of seconds, starting from the
# checked-in corpus and the shipped and fixture files. New inputs go to a scratch folder.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${2:-60}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
declare -A seeds=(
  [ini]="resources/Define viewer/carddef/tests/fixtures"
  [definition]="resources/Define viewer/carddef/tests/fixtures"
  [card_image]="resources/samples cardimage/tests/fixtures"
  [pellix_reply]=""
  [registry_profile]=""
  [pcsc_framing]=""
  [plugin_boundary]=""
  [transparent_answer]=""
  [phrase_book]=""
)
for target in ini definition card_image pellix_reply registry_profile pcsc_framing plugin_boundary \
  transparent_answer phrase_book; do
  mkdir -p "$work/$target"
  # shellcheck disable=SC2086
  "$build/fuzz/${target}_fuzzer" -max_total_time="$seconds" -max_len=8192 -rss_limit_mb=4096 \
    -artifact_prefix="$work/" -print_final_stats=1 \
    "$work/$target" "fuzz/corpus/$target" ${seeds[$target]} >"$work/$target.log" 2>&1 || {
    tail -n 60 "$work/$target.log"
    for f in "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-*; do
      [ -e "$f" ] && { echo "input $f:"; base64 "$f"; }
    done
    echo "fuzz target $target found a fault"
    exit 1
  }
  echo "$target: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$work/$target.log" | grep -o '[0-9]*$') inputs, no fault"
done
