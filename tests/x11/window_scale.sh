#!/usr/bin/env bash
# Scaled presentation in real X windows: a window of scale 2 is 1280 x 960 and shows the frame
# pixel-doubled exactly, with the pointer mapped back through the factor; full screen on a
# 1920 x 1080 screen (an X server of its own, without a 640 x 480 mode) fills it, shows the frame
# at 1440 x 1080 between black bars, and maps the pointer through the same fit.
# Usage: window_scale.sh BUILD_DIR [fullscreen-only]   (needs DISPLAY, xdotool, xvfb-run)
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
probe="$build/tests/x11_scale_probe"
compare="$build/tests/x11_window_compare"
picture="$source_dir/game/pote/taitol.png"
work=$(mktemp -d)
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL ($mode): $*" >&2
  echo "--- probe output:" >&2
  cat "$work/out" >&2 || true
  exit 1
}

wait_for() {
  for _ in $(seq 100); do
    grep -qE "$1" "$work/out" && return 0
    sleep 0.1
  done
  fail "no line matching '$1'"
}

start_probe() {
  rm -f "$work/quit"
  : > "$work/out"
  (cd "$work" && exec "$probe" "$picture" "$@" > "$work/out" 2>&1) &
  pid=$!
  wait_for '^client '
  window=$(xdotool search --sync --onlyvisible --name '^scale probe$' | head -n 1)
  read -r _ left top width height < <(grep '^client ' "$work/out")
}

stop_probe() {
  touch "$work/quit"
  wait "$pid" || fail "probe ended with $?"
  pid=""
}

# Polls the comparison until it passes (the first frames may still be on their way).
compare_until() {
  for _ in $(seq 30); do
    "$compare" "$window" "$picture" "$@" > /dev/null && return 0
    sleep 0.2
  done
  "$compare" "$window" "$picture" "$@" >&2 || true
  return 1
}

if [ "${2:-}" != fullscreen-only ]; then
  mode="window of scale 2"
  start_probe window 2
  [ "$width" -eq 1280 ] && [ "$height" -eq 960 ] || fail "client area ${width}x$height, wanted 1280x960"
  compare_until --scale 2 || fail "the frame is not shown pixel-doubled"
  xdotool mousemove $((left + 201)) $((top + 101))
  wait_for '^mouse 100 50$'
  stop_probe
  echo "ok ($mode)"

  # Full screen on a display of its own size, run on an X server made for it.
  xvfb-run -a -s "-screen 0 1920x1080x24" bash "$0" "$1" fullscreen-only
  exit 0
fi

mode="full screen on 1920 x 1080"
start_probe fullscreen
[ "$width" -eq 1920 ] && [ "$height" -eq 1080 ] || fail "full screen is ${width}x$height, wanted 1920x1080"
# Scaled by 2.25, so smoothed: the picture within a tolerance almost everywhere, the bars black.
compare_until --scale 2.25 --at 240,0 --tolerance 48 --min 0.97 --bars ||
  fail "the frame is not shown at 1440 x 1080 between black bars"
xdotool mousemove 960 540
wait_for '^mouse 320 240$'
xdotool mousemove 100 540
wait_for '^mouse -62 240$'
stop_probe
echo "ok ($mode)"
