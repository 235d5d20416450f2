#!/usr/bin/env bash
# The real keyboard and mouse through the runtime, in an X window: xdotool moves the pointer,
# clicks and presses keys, and the probe prints what the runtime reads; SetMousePosition moves
# the real pointer, which xdotool reads back. Runs once with the device interface and once on
# the plain path. Last, the hello example must end on Escape. Usage: input.sh BUILD_DIR
set -euo pipefail
probe="$(realpath "$1")/tests/x11_input_probe"
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

# Waits up to 10 s for a line of the probe's output that matches, after the line matched last.
seen=0
wait_for() {
  local found
  for _ in $(seq 100); do
    found=$(tail -n +$((seen + 1)) "$work/out" | { grep -nE "$1" || true; } | head -n 1 | cut -d: -f1)
    if [ -n "$found" ]; then
      seen=$((seen + found))
      return 0
    fi
    sleep 0.1
  done
  fail "no line matching '$1' after line $seen"
}

command() {
  echo "$1" > "$work/command.new"
  mv "$work/command.new" "$work/command"
}

run() {
  mode=$1
  local enter=$2
  : > "$work/out"
  seen=0
  (cd "$work" && exec "$probe" "$mode" > "$work/out" 2>&1) &
  pid=$!
  wait_for '^client '
  read -r _ left top < <(grep '^client ' "$work/out")
  window=$(xdotool search --sync --onlyvisible --name '^input probe$' | head -n 1)
  xdotool windowfocus --sync "$window" || true

  xdotool mousemove $((left + 100)) $((top + 50))
  wait_for '^mouse 100 50$'
  xdotool mousemove $((left - 20)) $((top + 7))
  wait_for '^mouse -20 7$'
  xdotool mousemove $((left + 200)) $((top + 150))
  wait_for '^mouse 200 150$'

  xdotool mousedown 1
  wait_for '^buttons 1$'
  xdotool mouseup 1
  wait_for '^buttons 0$'
  xdotool mousedown 3
  wait_for '^buttons 2$'
  xdotool mouseup 3

  xdotool keydown Escape
  wait_for '^keys 1$'
  xdotool keyup Escape
  xdotool keydown Return
  wait_for "^keys $enter\$"
  xdotool keyup Return
  xdotool keydown a
  wait_for '^keys 30$'
  xdotool keyup a
  wait_for '^keys -$'

  command "warp -5 1000"
  wait_for '^warped$'
  eval "$(xdotool getmouselocation --shell)"
  [ "$X" -eq "$left" ] && [ "$Y" -eq $((top + 480)) ] ||
    fail "pointer at $X,$Y after SetMousePosition(-5, 1000), expected $left,$((top + 480))"
  command "warp 30 40"
  wait_for '^mouse 30 40$'
  eval "$(xdotool getmouselocation --shell)"
  [ "$X" -eq $((left + 30)) ] && [ "$Y" -eq $((top + 40)) ] ||
    fail "pointer at $X,$Y after SetMousePosition(30, 40)"

  command quit
  wait "$pid" || fail "probe ended with $?"
  pid=""
  echo "ok ($mode)"
}

run devices 28
run plain 28,156

# The hello example ends on Escape.
mode=hello
(cd "$work" && exec "$(dirname "$probe")/../examples/hello/hello" > "$work/out" 2>&1) &
pid=$!
window=$(xdotool search --sync --onlyvisible --name '^hello$' | head -n 1)
xdotool windowfocus --sync "$window" || true
xdotool mousemove --window "$window" 10 10
xdotool keydown Escape
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
xdotool keyup Escape
kill -0 "$pid" 2>/dev/null && fail "hello still runs after Escape"
wait "$pid" || fail "hello ended with $?"
pid=""
echo "ok (hello)"
