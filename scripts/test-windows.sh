#!/usr/bin/env bash
# Cross-builds the serial port class's Win32 side with MinGW-w64 and tests it
# under Wine against scripted peers on pseudo-terminals mapped as COM ports.
# Installs what is missing; needs no display. Ends with "N passed, M failed"
# and a non-zero exit status on any failure. Arguments pick tests by name.
#
#   BUILD_DIR (default build-windows)  build folder, holding its own Wine prefix
#   WIN_TEST_TIMEOUT (default 300)      seconds the whole run may take
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=$(realpath -m "${BUILD_DIR:-build-windows}")
export WINEPREFIX="$BUILD_DIR/wineprefix"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

if [ -z "${WIN_TEST_BOUNDED:-}" ]; then
    # The whole run is bounded, and afterwards this prefix's wineserver is
    # stopped, which also ends any Wine process a hung run left behind.
    set +e
    WIN_TEST_BOUNDED=1 timeout --kill-after=10 "${WIN_TEST_TIMEOUT:-300}" "$0" "$@"
    status=$?
    [ $status -eq 124 ] && echo "test-windows.sh: stopped after ${WIN_TEST_TIMEOUT:-300} s"
    if [ -x "$wineserver" ] && [ -d "$WINEPREFIX" ]; then
        "$wineserver" -k 2>/dev/null
        "$wineserver" -w 2>/dev/null
    fi
    exit $status
fi

scripts/install-deps.sh g++ g++-mingw-w64-x86-64-posix wine wine64

mkdir -p "$BUILD_DIR"
flags=(-std=c++20 -O2 -Wall -Wextra -Werror)
echo "Building the Win32 test program and its Linux peer host"
x86_64-w64-mingw32-g++-posix "${flags[@]}" -static -Isrc/link -Itests/win32 \
    src/link/synaser.cpp src/link/serial_platform_win32.cpp src/link/ComProbe_win32.cpp \
    tests/win32/WinTest.cpp tests/win32/test_synaser_win32.cpp \
    -o "$BUILD_DIR/test_synaser_win32.exe" &
g++ "${flags[@]}" -Isrc/link -Itests/support \
    tests/win32/peer_host.cpp tests/support/PtyPeer.cpp src/link/Command.cpp \
    -pthread -lutil -o "$BUILD_DIR/peer_host" &
gcc -std=c11 -O2 -Wall -Wextra -Werror -shared -fPIC tests/win32/modem_shim.c -ldl \
    -o "$BUILD_DIR/modem_shim.so" &
for job in $(jobs -p); do wait "$job"; done

export WINEDEBUG=-all
# No Mono or Gecko installer dialogs, no menu entries: nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX"
    "$wine" wineboot --init >/dev/null 2>&1
fi

# COM1..COM4 are Wine's names for the machine's own serial lines; the test
# lines are COM7 and COM12, with unused numbers on both sides for the probe.
# The shim gives the pseudo-terminals modem lines (see modem_shim.c).
echo "Running the Win32 serial tests under $("$wine" --version)"
LD_PRELOAD="$BUILD_DIR/modem_shim.so" "$BUILD_DIR/peer_host" "$WINEPREFIX" COM7,COM12 -- \
    "$wine" "$BUILD_DIR/test_synaser_win32.exe" COM7 COM12 "$@"
