#!/usr/bin/env bash
# The Windows installer under Wine, in a Wine prefix of its own: a silent
# install (/S) puts the program, its alarm sound, the licence texts, the
# uninstaller and the Start-menu entries in place, and registers the program
# with its version and icon in the installed programs list; the program
# carries its icon at every size the shell asks for. The installed program
# answers --version, then starts on a virtual X display, fades in through the
# window's opacity, and after Alt+F4 (the close box) fades out and ends with
# 0; the silent uninstaller removes it all again, its folder, menu entries
# and registry keys.
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
installed=$(cd "$folder" 2>/dev/null && ls | sort | tr '\n' ' ')
expected="GPL-3.txt LGPL-3.txt LICENSE.txt Qt-NOTICE.txt Qt-copyright.txt SIREN1.WAV Uninstall.exe detector-config.exe "
[ "$installed" = "$expected" ] || fail "the folder holds \"$installed\", expected \"$expected\""
grep -q 'apt-get source qt6-base' "$folder/Qt-NOTICE.txt" || fail "Qt-NOTICE.txt says not where Qt's source is"
grep -q 'GNU LESSER GENERAL PUBLIC LICENSE' "$folder/LGPL-3.txt" || fail "LGPL-3.txt"
[ -f "$menu/Configuration Tools.lnk" ] || fail "no Start-menu entry"
[ -f "$menu/Uninstall.lnk" ] || fail "no Start-menu entry for the uninstaller"
version=$("$wine" 'C:\DetectorConfig\detector-config.exe' --version 2>/dev/null | tr -d '\r')
[[ "$version" == "detector-config "* ]] || fail "--version answered \"$version\""
echo "  installed; the program answers \"$version\""

# The installed programs list: name, version, publisher and icon, from the
# uninstall key that all-users installs write (HKLM) or else the user's own.
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Configuration Tools'
registered() {
    local hive
    for hive in HKLM HKCU; do
        "$wine" reg query "$hive\\$uninstall_key" 2>/dev/null | tr -d '\r' | grep -q REG_ && {
            "$wine" reg query "$hive\\$uninstall_key" 2>/dev/null | tr -d '\r'
            return 0
        }
    done
    return 1
}
value() { awk -v name="$1" '$1 == name && $2 ~ /^REG_/ { sub(/^ *[^ ]+ +REG_[A-Z_]+ +/, ""); print }' <<<"$entry"; }
entry=$(registered) || fail "no entry in the installed programs list"
[ "$(value DisplayName)" = "Configuration Tools" ] || fail "DisplayName: $(value DisplayName)"
[ "$(value DisplayVersion)" = "${version#detector-config }" ] ||
    fail "DisplayVersion \"$(value DisplayVersion)\" for the program's version \"$version\""
[ "$(value DisplayIcon)" = 'C:\DetectorConfig\detector-config.exe' ] ||
    fail "DisplayIcon: $(value DisplayIcon)"
[ "$(value UninstallString)" = '"C:\DetectorConfig\Uninstall.exe"' ] ||
    fail "UninstallString: $(value UninstallString)"
# The icon the list shows is the program's own: an icon group with the four
# sizes drawn for it.
wrestool -x --type=group_icon "$folder/detector-config.exe" -o "$work/icons.ico" 2>/dev/null ||
    fail "detector-config.exe holds no icon"
sizes=$(icotool -l "$work/icons.ico" | sed -n 's/.*--width=\([0-9]*\).*/\1/p' | sort -n | paste -sd' ')
[ "$sizes" = "16 32 48 256" ] || fail "the program's icon has the sizes \"$sizes\""
echo "  registered as \"$(value DisplayName)\" $(value DisplayVersion) by $(value Publisher), with the program's icon ($sizes px)"

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

# The program appends its LogError.txt beside itself where it may write
# there, which a user's own Windows folder allows: the uninstaller takes it
# too, or the folder would stay behind.
echo "Error String:  test" >"$folder/LogError.txt"
"$wine" 'C:\DetectorConfig\Uninstall.exe' /S >/dev/null 2>&1
# The uninstaller hands its work to a copy of itself: wait for every
# process of the prefix.
"$wineserver" -w
[ ! -e "$folder" ] || fail "the uninstaller left the folder, holding: $(ls -A "$folder" | tr '\n' ' ')"
[ ! -e "$menu" ] || fail "the uninstaller left the Start-menu entries"
! entry=$(registered) || fail "the uninstaller left the installed programs entry"
"$wine" reg query 'HKLM\Software\Configuration Tools\Configuration Tools' >/dev/null 2>&1 &&
    fail "the uninstaller left the program's registry key"
echo "  uninstalled: no folder, no menu entries, no registry keys left"
echo "installer: passed"
