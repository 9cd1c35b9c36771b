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
