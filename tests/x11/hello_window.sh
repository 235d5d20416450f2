#!/usr/bin/env bash
# The hello example in a real X window: a second copy is refused, and a close request from the
# window manager ends the first cleanly with its close lines in the log.
# Usage: hello_window.sh BUILD_DIR   (needs DISPLAY, xdotool)
set -euo pipefail
build=$(cd "$1" && pwd)
hello="$build/examples/hello/hello"
closer="$build/tests/x11_close_window"
work=$(mktemp -d)
trap 'kill "$first" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir "$work/first" "$work/second"

fail() { echo "FAIL: $*" >&2; exit 1; }
log_utf8() { iconv -f CP932 -t UTF-8 "$1/Log.txt"; }

(cd "$work/first" && exec "$hello") &
first=$!
window=$(timeout 20 xdotool search --sync --name '^hello$' | head -1) || fail "no window titled hello"

status=0
(cd "$work/second" && "$hello") || status=$?
[ "$status" = 1 ] || fail "second copy exited with $status, wanted 1"
log_utf8 "$work/second" | grep -q "二重起動されています、ソフトを終了します" ||
  fail "second copy's log lacks the refusal"

"$closer" "$window"
status=0
timeout 20 tail --pid="$first" -f /dev/null || fail "first copy did not end after the close request"
wait "$first" || status=$?
[ "$status" = 0 ] || fail "first copy exited with $status, wanted 0"

log=$(log_utf8 "$work/first")
for line in "ウインドウを閉じようとしています" "ウインドウが破棄されようとしています" \
            "ソフトを終了する準備が整いました" "Alloc memory dump"; do
  grep -q "$line" <<<"$log" || fail "log lacks: $line"
done
echo "hello window: refused second copy, closed cleanly"
