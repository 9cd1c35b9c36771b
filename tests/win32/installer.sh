#!/usr/bin/env bash
# The Windows installer under Wine, in a Wine prefix of its own: a silent
# install (/S) puts the program, its alarm sound, the uninstaller and the
# Start-menu entries in place; the installed program answers --version, then
# starts on a virtual X display and ends with 0 after Alt+F4 (close, fade-out,
# end of the process); the silent uninstaller removes it all again.
#
#   installer.sh INSTALLER WORK_DIR
set -uo pipefail
installer=$(realpath "$1")
work=$(realpath -m "$2")
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
export WINEPREFIX=$work/wineprefix
rm -rf "$work"
mkdir -p "$work"
folder=$WINEPREFIX/drive_c/DetectorConfig
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Configuration Tools"
echo "installer: $(basename "$installer") under Wine"

xvfb=
fail() {
    echo "installer: FAILED: $*"
    exit 1
}
trap '[ -n "$xvfb" ] && kill $xvfb 2>/dev/null; $wineserver -k 2>/dev/null' EXIT

unset DISPLAY
"$wine" wineboot --init >/dev/null 2>&1
"$wine" "$installer" /S '/D=C:\DetectorConfig' >/dev/null 2>&1 || fail "the installer ended with $?"
"$wineserver" -w
for f in detector-config.exe SIREN1.WAV Uninstall.exe; do
    [ -f "$folder/$f" ] || fail "$f was not installed"
done
[ -f "$menu/Configuration Tools.lnk" ] || fail "no Start-menu entry"
[ -f "$menu/Uninstall.lnk" ] || fail "no Start-menu entry for the uninstaller"
version=$("$wine" 'C:\DetectorConfig\detector-config.exe' --version 2>/dev/null | tr -d '\r')
[[ "$version" == "detector-config "* ]] || fail "--version answered \"$version\""
echo "  installed; the program answers \"$version\""

# Wine's desktop process keeps the display it started with (none so far).
"$wineserver" -k 2>/dev/null
"$wineserver" -w
display=:$((30 + RANDOM % 30))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do xwininfo -display "$display" -root >/dev/null 2>&1 && break; sleep 0.1; done
export DISPLAY=$display
"$wine" 'C:\DetectorConfig\detector-config.exe' >/dev/null 2>&1 &
program=$!
window=
for _ in $(seq 100); do
    window=$(xdotool search --name '^Configuration Tools$' 2>/dev/null | head -n1)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || fail "the installed program showed no window"
sleep 1
xdotool windowfocus --sync "$window" key --clearmodifiers alt+F4
for _ in $(seq 50); do kill -0 $program 2>/dev/null || break; sleep 0.1; done
kill -0 $program 2>/dev/null && fail "the program did not end after Alt+F4"
wait $program
status=$?
[ $status -eq 0 ] || fail "the program ended with $status"
echo "  the installed program started, and ended with 0 after Alt+F4"
unset DISPLAY

"$wine" 'C:\DetectorConfig\Uninstall.exe' /S >/dev/null 2>&1
"$wineserver" -w
[ ! -e "$folder/detector-config.exe" ] || fail "the uninstaller left the program"
[ ! -e "$menu" ] || fail "the uninstaller left the Start-menu entries"
echo "installer: passed"
