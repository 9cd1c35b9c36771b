#!/usr/bin/env bash
# Runs the Windows build's Qt Test programs under Wine, headless, less the
# cases listed in qt-tests-skipped-under-wine.txt. Each program's log goes
# to OUT_DIR/<program>.txt; prints one line per program, then
# "N passed, M failed" counted in test functions. Expects WINEPREFIX set.
#
#   run-qt-tests.sh BIN_DIR OUT_DIR
set -uo pipefail
bin=$1
out=$2
here=$(dirname "$0")
wine=/usr/lib/wine/wine64
skipped=$here/qt-tests-skipped-under-wine.txt
mkdir -p "$out"
# Wine passes no QT_* variables into Windows programs, WINEQT_* ones arrive
# without the prefix; without a console Qt logs through OutputDebugString, so
# the results come through -o.
export WINEQT_QPA_PLATFORM=offscreen
# A sound server of this run's own with a null sink: Wine's PulseAudio
# driver then offers a sound device, and the alarm sound plays through
# PlaySoundW for real (without one the sound tests skip).
pulse=
if command -v pulseaudio >/dev/null; then
    export XDG_RUNTIME_DIR=$out/runtime PULSE_RUNTIME_PATH=$out/runtime/pulse
    mkdir -p "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --load="module-null-sink sink_name=nullsink" \
        --load=module-native-protocol-unix >"$out/pulseaudio.log" 2>&1 &
    pulse=$!
    trap 'kill $pulse 2>/dev/null; wait $pulse 2>/dev/null' EXIT
    for _ in $(seq 50); do [ -S "$PULSE_RUNTIME_PATH/native" ] && break; sleep 0.1; done
fi
# Wine's processes keep the sound server they found at their start.
/usr/lib/wine/wineserver -k 2>/dev/null
/usr/lib/wine/wineserver -w 2>/dev/null
passed=0
failed=0
for exe in "$bin"/test_*.exe; do
    name=$(basename "$exe" .exe)
    functions=()
    skips=$(grep -E "^$name " "$skipped" | cut -d' ' -f2)
    if [ -n "$skips" ]; then
        mapfile -t functions < <(timeout 60 "$wine" "$exe" -functions 2>/dev/null |
            tr -d '\r' | sed -n 's/()$//p' | grep -vxF -f <(echo "$skips"))
    fi
    log=$out/$name.txt
    rm -f "$log"
    start=$(date +%s)
    timeout --kill-after=5 180 "$wine" "$exe" "${functions[@]}" -o "$(winepath -w "$log" 2>/dev/null || echo "Z:$log"),txt" \
        >/dev/null 2>&1
    status=$?
    totals=$(grep '^Totals:' "$log" 2>/dev/null)
    p=$(echo "$totals" | sed -n 's/^Totals: \([0-9]*\) passed.*/\1/p')
    f=$(echo "$totals" | sed -n 's/.* \([0-9]*\) failed.*/\1/p')
    if [ -z "$p" ] || { [ "$status" -ne 0 ] && [ "${f:-0}" -eq 0 ]; }; then
        # No totals, or an exit status the totals do not explain: a crash.
        f=$((${f:-0} + 1))
        p=${p:-0}
    fi
    passed=$((passed + p))
    failed=$((failed + f))
    echo "$name: ${totals:-no result (exit status $status)} ($(($(date +%s) - start)) s)"
    [ "$f" -eq 0 ] || grep -E '^(FAIL!|   |\.\./)' "$log" 2>/dev/null | head -n 20
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
