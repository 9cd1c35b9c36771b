#!/usr/bin/env bash
# End-to-end under Wine: detector-sim at real 19200-baud timing behind COM5
# (a symbolic link in the Wine prefix to its pseudo-terminal, given modem
# lines by the test shim), the Windows program's windows on a virtual X
# display driven through one session by drive-detector-config.exe: connect,
# poll, write one configuration change and see it read back, disconnect,
# exit. Checked through the driver's steps, the simulator's output and the
# program's LogError.txt (none may appear). Takes OUT_DIR/windows-connected.png
# while connected. Then the command line reads the detector with its visit
# recorded in a site book (SQLite, built into the static program) and
# --history must show it. Expects WINEPREFIX set and modem_shim.so beside it.
#
#   end-to-end.sh BIN_DIR SIM OUT_DIR
set -uo pipefail
bin=$1
sim=$2
out=$3
wine=/usr/lib/wine/wine64
shim=$(dirname "$WINEPREFIX")/modem_shim.so
mkdir -p "$out"
rm -f "$out"/*.txt "$out"/*.png "$out"/book.sqlite* "$bin/LogError.txt"
echo "end-to-end: the Windows program against detector-sim --real-timing on COM5"

fail() {
    echo "end-to-end: FAILED: $*"
    sed 's/^/  sim: /' "$out/sim.txt" 2>/dev/null | tail -n 20
    sed 's/^/  program: /' "$out/program.txt" 2>/dev/null | tail -n 20
    exit 1
}

# Wine's desktop process keeps the display it started with: end this
# prefix's processes so that the session starts afresh on the new display.
/usr/lib/wine/wineserver -k 2>/dev/null
/usr/lib/wine/wineserver -w 2>/dev/null
display=:$((60 + RANDOM % 30))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
# Wine falls back to drawing nowhere when the display is not up yet.
for _ in $(seq 50); do xwininfo -display "$display" -root >/dev/null 2>&1 && break; sleep 0.1; done
link=$WINEPREFIX/dosdevices/com5
rm -f "$link"
"$sim" --link "$link" --real-timing --state "$out/sim-state.bin" --walk-every 0 \
    >"$out/sim.txt" 2>&1 </dev/null &
simpid=$!
trap 'kill $simpid $xvfb 2>/dev/null; wait $simpid $xvfb 2>/dev/null' EXIT
for _ in $(seq 50); do [ -L "$link" ] && break; sleep 0.1; done
[ -L "$link" ] || fail "detector-sim made no port"

start=$(date +%s)
export DISPLAY=$display
# The screenshot is taken while the driver holds the connection.
LD_PRELOAD=$shim timeout --kill-after=5 90 "$wine" "$bin/drive-detector-config.exe" COM5 6000 2>"$out/wine-stderr.txt" |
    while IFS= read -r line; do
        line=${line%$'\r'}
        echo "$line" >>"$out/program.txt"
        echo "  $line"
        [ "$line" = "@hold" ] && sleep 2 && import -display "$display" -window root "$out/windows-connected.png"
    done
status=${PIPESTATUS[0]}
echo "end-to-end: the session took $(($(date +%s) - start)) s"
sleep 0.5
[ "$status" -eq 0 ] || fail "the driver ended with $status"
grep -q '^exit$' "$out/program.txt" || fail "the driver did not reach Exit"
grep -q 'the tool opened the port' "$out/sim.txt" || fail "the simulator saw no open"
# The written record carries the stepped value (MW TRange/Tconv/Nconv/NPulse).
nconv=$(sed -n 's/^read back: MW Nconv [0-9]* -> \([0-9]*\)$/\1/p' "$out/program.txt")
[ -n "$nconv" ] || fail "the driver read nothing back"
grep -Eq "configuration written: MW [0-9]+/[0-9]+/$nconv/" "$out/sim.txt" ||
    fail "the simulator got no write with MW Nconv $nconv"
grep -q 'the tool closed the port' "$out/sim.txt" || fail "the simulator saw no close"
# The main window is on the screenshot: not the black of an empty display.
[ "$(convert "$out/windows-connected.png" -format '%[fx:mean>0.1]' info: 2>/dev/null)" = 1 ] ||
    fail "the screenshot shows no window"
# The site book on Windows: one visit of the command line, read back.
(cd "$out" && LD_PRELOAD=$shim timeout 60 "$wine" "$bin/detector-config.exe" --port COM5 \
    --read held.bin --site-book book.sqlite --site Wine --detector "Gate 5" \
    >"$out/sitebook-read.txt" 2>>"$out/wine-stderr.txt") || fail "--read with a site book"
history=$(cd "$out" && timeout 60 "$wine" "$bin/detector-config.exe" --history \
    --site-book book.sqlite --detector "Gate 5" 2>>"$out/wine-stderr.txt" | tr -d '\r')
echo "  history: $history"
[ "$(grep -c '"id"' <<<"$history")" = 1 ] && grep -q '"port":"COM5"' <<<"$history" &&
    grep -q '"outcome":"ok"' <<<"$history" && grep -q '"writes":0' <<<"$history" &&
    grep -q '"found":"[0-9a-f]\{88\}"' <<<"$history" || fail "the site book lacks the visit"
[ ! -e "$bin/LogError.txt" ] || { sed 's/^/  LogError.txt: /' "$bin/LogError.txt"; fail "errors were logged"; }
echo "end-to-end: passed"
