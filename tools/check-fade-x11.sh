#!/usr/bin/env bash
# Checks the main window's fade on a real X server, with no input at all:
# 1.5 s after the window appears its _NET_WM_WINDOW_OPACITY must read 250/255
# (the end of the fade-in), and Exit must end the program well under a second.
#
#   tools/check-fade-x11.sh [path/to/detector-config]
#
# Needs Xvfb, xprop and xdotool; exits 77 (skipped) when one is missing.
set -u
PROGRAM=${1:-"$(dirname "$0")/../build/bin/detector-config"}
for tool in Xvfb xprop xdotool; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool not installed"; exit 77; }
done
[ -x "$PROGRAM" ] || { echo "no program at $PROGRAM"; exit 1; }

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# A display of our own, on the first free number.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")" QT_QPA_PLATFORM=xcb

now_ms() { echo $(($(date +%s%N) / 1000000)); }
# Opacity in 255ths (the property holds alpha × 0x01010101), or -1 if unset.
opacity() {
    local v
    v=$(xprop -id "$1" _NET_WM_WINDOW_OPACITY 2>/dev/null | awk -F' = ' '/CARDINAL/ {print $2}')
    [ -n "$v" ] && echo $((v / 16843009)) || echo -1
}

# Its site book is the test's own, never the user's.
DETECTOR_CONFIG_SITE_BOOK=$work/site-book.sqlite "$PROGRAM" >"$work/program.log" 2>&1 &
app_pid=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Configuration Tools$' | head -n1)
[ -n "$window" ] || { echo "FAIL: the main window did not appear"; exit 1; }
shown=$(now_ms)

# Nothing touches the display from here on until the reading is taken.
while [ $(($(now_ms) - shown)) -lt 1500 ]; do sleep 0.05; done
alpha=$(opacity "$window")
echo "opacity 1.5 s after the window appeared: $alpha/255"
status=0
[ "$alpha" = 250 ] || { echo "FAIL: expected 250/255"; status=1; }

# Exit through its mnemonic on the action bar, then time the fade-out.
xdotool windowfocus --sync "$window"
start=$(now_ms)
xdotool key alt+e
for _ in $(seq 1 500); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.01; done
wait "$app_pid" 2>/dev/null
code=$?
took=$(($(now_ms) - start))
app_pid=""
echo "Exit ended the program after $took ms with exit code $code"
[ "$code" = 0 ] || { echo "FAIL: exit code $code"; status=1; }
[ "$took" -lt 1000 ] || { echo "FAIL: the exit fade took $took ms"; status=1; }
exit $status
