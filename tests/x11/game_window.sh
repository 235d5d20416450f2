#!/usr/bin/env bash
# The game in a real X window: the title picture on screen, a click starts a game over the field,
# Escape ends the program with status 0 and no high score written.
# Usage: game_window.sh BUILD_DIR   (needs DISPLAY, xdotool)
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
game="$build/game/potemaru"
compare="$build/tests/x11_window_compare"
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
cp -r "$source_dir/game/pote" "$work/pote"

fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$work" && exec "$game") &
pid=$!
window=$(timeout 30 xdotool search --sync --pid "$pid" --name '.' | head -1) || fail "no window"
[ "$(xdotool getwindowname "$window")" = 'ぽてまる' ] || fail "the window is not titled ぽてまる"

# The title screen: the picture everywhere but where the texts go.
ok=0
for _ in $(seq 1 50); do
  if "$compare" "$window" "$work/pote/taitol.png" --ignore 0,0,320,40 --ignore 100,335,400,75 >/dev/null; then
    ok=1; break
  fi
  sleep 0.2
done
[ "$ok" = 1 ] || { "$compare" "$window" "$work/pote/taitol.png" --ignore 0,0,320,40 --ignore 100,335,400,75 || true; fail "title picture not on screen"; }

# A click starts a game: the field shows wherever nothing falls or walks.
xdotool mousemove --window "$window" 300 200 click 1
ok=0
for _ in $(seq 1 50); do
  if "$compare" "$window" "$work/pote/ki.png" --ignore 0,0,200,100 --min 0.6 >/dev/null; then
    ok=1; break
  fi
  sleep 0.2
done
[ "$ok" = 1 ] || { "$compare" "$window" "$work/pote/ki.png" --min 0.6 || true; fail "playing field not on screen"; }

# Held for a while, as a person presses it: the game looks at the keys once a frame.
xdotool keydown --window "$window" Escape
sleep 0.5
xdotool keyup --window "$window" Escape 2>/dev/null || true  # the window may be gone already
status=0
timeout 20 tail --pid="$pid" -f /dev/null || fail "game did not end on Escape"
wait "$pid" || status=$?
[ "$status" = 0 ] || fail "game exited with $status, wanted 0"
[ ! -e "$work/save.save" ] || fail "save.save written although no game was finished"
echo "game window: title shown, game started, Escape ended it"
