#!/usr/bin/env bash
# The Windows installer under Wine, in a Wine prefix of its own: a silent
# install (/S) puts the program, its alarm sound, the uninstaller and the
# Start-menu entries in place; the installed program answers --version, then
# starts on a virtual X display, fades in through the window's opacity, and
# after Alt+F4 (the close box) fades out and ends with 0; the silent
# uninstaller removes it all again.
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
# The fade runs through the window's opacity, which Wine hands to X as
# _NET_WM_WINDOW_OPACITY (alpha x 0x01010101): 250/255 once faded in.
opacity() {
    local v
    v=$(xprop -id "$window" _NET_WM_WINDOW_OPACITY 2>/dev/null | awk -F' = ' '/CARDINAL/ {print $2}')
    [ -n "$v" ] && echo $((v / 16843009)) || echo -1
}
sleep 1.5
alpha=$(opacity)
[ "$alpha" = 250 ] || fail "opacity $alpha/255 after the fade-in, expected 250/255"
# The close box (Alt+F4) runs Exit: the window fades out, then the process ends.
start=$(date +%s%N)
xdotool windowfocus --sync "$window" key --clearmodifiers alt+F4
lowest=$alpha
for _ in $(seq 100); do
    kill -0 $program 2>/dev/null || break
    a=$(opacity)
    [ "$a" -ge 0 ] && [ "$a" -lt "$lowest" ] && lowest=$a
    sleep 0.02
done
took=$((($(date +%s%N) - start) / 1000000))
kill -0 $program 2>/dev/null && fail "the program did not end after Alt+F4"
wait $program
status=$?
[ $status -eq 0 ] || fail "the program ended with $status"
[ "$lowest" -lt 250 ] || fail "no fade-out seen before the end"
[ "$took" -lt 1500 ] || fail "the end took $took ms after Alt+F4"
echo "  the installed program faded in to 250/255; Alt+F4 faded it out (down to $lowest/255) and it ended with 0 after $took ms"
unset DISPLAY

"$wine" 'C:\DetectorConfig\Uninstall.exe' /S >/dev/null 2>&1
"$wineserver" -w
[ ! -e "$folder/detector-config.exe" ] || fail "the uninstaller left the program"
[ ! -e "$menu" ] || fail "the uninstaller left the Start-menu entries"
echo "installer: passed"
