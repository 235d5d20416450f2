#!/usr/bin/env bash
# qrimg show in a real X window: the picture on screen (over a checkerboard where it is
# transparent), and Escape ends it with status 0.
# Usage: qrimg_show.sh BUILD_DIR   (needs DISPLAY, xdotool)
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
qrimg="$build/tools/qrimg"
compare="$build/tests/x11_window_compare"
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cp "$source_dir/game/pote/ki.png" "$work/field.png"
"$qrimg" show "$work/field.png" &
pid=$!
window=$(timeout 30 xdotool search --sync --pid "$pid" --name '.' | head -1) || fail "no window"
ok=0
for _ in $(seq 1 50); do
  if "$compare" "$window" "$work/field.png" >/dev/null; then ok=1; break; fi
  sleep 0.2
done
[ "$ok" = 1 ] || { "$compare" "$window" "$work/field.png" || true; fail "the picture is not shown"; }
xdotool keydown --window "$window" Escape
sleep 0.5
xdotool keyup --window "$window" Escape 2>/dev/null || true
status=0
timeout 20 tail --pid="$pid" -f /dev/null || fail "qrimg did not end on Escape"
wait "$pid" || status=$?
[ "$status" = 0 ] || fail "qrimg exited with $status"

# A sprite with transparency: the checkerboard shows around it.
"$qrimg" show --transparent "$source_dir/game/pote/pote.png" &
pid=$!
window=$(timeout 30 xdotool search --sync --pid "$pid" --name '.' | head -1) || fail "no window"
sleep 1
"$compare" "$window" "$source_dir/game/pote/pote.png" --min 0.99 >/dev/null && fail "no checkerboard behind the picture"
kill "$pid"
echo "qrimg show: picture shown, Escape ended it"
