#!/usr/bin/env bash
# Runs bench_poll on an X server of its own (Xvfb) in a D-Bus session of its
# own. With --accessibility, a listener that registers for the events a screen
# reader listens to (tests/e2e/atspi_listen.py) turns the toolkit's AT-SPI
# bridge on first, and prints how many events reached it when the run ends.
# Needs Xvfb, dbus-run-session, at-spi2-core, python3-dbus and python3-gi.
#   tests/e2e/bench-poll-x11.sh [--accessibility] [bench_poll options]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bench=${BENCH_POLL:-$here/../../build/bin/bench_poll}
listen=0
if [[ ${1:-} == --accessibility ]]; then
    listen=1
    shift
fi
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    [[ -e /tmp/.X11-unix/X${display#:} ]] && break
    sleep 0.1
done
export DISPLAY=$display QT_QPA_PLATFORM=xcb LISTEN=$listen HERE=$here BENCH=$bench
dbus-run-session -- bash -c '
    if [[ $LISTEN == 1 ]]; then
        /usr/bin/python3 "$HERE/atspi_listen.py" >/tmp/atspi_listen.$$ 2>&1 &
        listener=$!
        for _ in $(seq 50); do grep -q listening /tmp/atspi_listen.$$ && break; sleep 0.1; done
    fi
    "$BENCH" "$@"
    status=$?
    if [[ $LISTEN == 1 ]]; then
        kill -TERM $listener; wait $listener || true
        grep -v "^listening" /tmp/atspi_listen.$$ | tail -25
        rm -f /tmp/atspi_listen.$$
    fi
    exit $status' bench "$@"
