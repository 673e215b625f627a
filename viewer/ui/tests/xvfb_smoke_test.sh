#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The real program in a real X server (Xvfb, the xcb platform): it starts, Enter reads the
# sample card, Escape closes the window and the settings are written.
# Usage: xvfb_smoke_test.sh <program folder>. Exits 77 (skipped) without Xvfb or xdotool.
set -euo pipefail
bin=$(cd "$1" && pwd)
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 77; }
done

work=$(mktemp -d)
xvfb=
viewer=
cleanup() {
  [ -n "$viewer" ] && kill "$viewer" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A portable copy of the program folder, with the plug-in folder already chosen.
cp -r "$bin/lorvane" "$bin/cardimage.so" "$bin/Define" "$bin/samples" "$work/"
printf '[KXDLLSettings]\nDLLDirectory=%s/\n' "$work" >"$work/FeliCaDLL.INI"

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"

# Waits up to 15 s for a window whose title matches, and prints its id.
wait_window() {
  for _ in $(seq 150); do
    id=$(xdotool search --name "$1" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "no window titled '$1'" >&2
  return 1
}

QT_QPA_PLATFORM=xcb LANG=C.UTF-8 "$work/lorvane" --language English 2>"$work/viewer.log" &
viewer=$!
window=$(wait_window '^Lorvane - FeliCa card viewer$')
xdotool windowfocus --sync "$window"
xdotool key --clearmodifiers Return
wait_window 'card image: sample-transit.json' >/dev/null
xdotool key --clearmodifiers Escape

for _ in $(seq 100); do kill -0 "$viewer" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$viewer" 2>/dev/null; then
  echo "the window did not close on Escape"
  exit 1
fi
status=0
wait "$viewer" || status=$?
viewer=
if [ "$status" -ne 0 ]; then
  echo "lorvane ended with status $status"
  cat "$work/viewer.log"
  exit 1
fi
grep -q '^Language=English' "$work/lorvane.INI" || { echo "no settings written"; exit 1; }
echo "started, read the sample card with Enter, closed with Escape"
