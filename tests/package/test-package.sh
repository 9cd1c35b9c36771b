#!/usr/bin/env bash
# Builds the Debian package, checks what it holds and what it depends on,
# unpacks it into a scratch root and runs the unpacked programs there: the
# tool offscreen for a few seconds as an unprivileged user, and the virtual
# detector until it has published its port.
# Slow (a release build): run by .ci/run, not by scripts/test.sh.
# Extra arguments go to cmake's configure step of the release build.
set -euo pipefail
cd "$(dirname "$0")/../.."

fail() {
    echo "test-package: FAIL: $*" >&2
    exit 1
}

deb=$(scripts/package.sh "$@" | tail -n 1)
[ -f "$deb" ] || fail "scripts/package.sh made no package"
echo "test-package: $deb"

# --- What the package says about itself -------------------------------------
[ "$(dpkg-deb --field "$deb" Package)" = detector-config ] || fail "package name"
[ "$(dpkg-deb --field "$deb" Architecture)" = "$(dpkg --print-architecture)" ] ||
    fail "architecture"
depends=$(dpkg-deb --field "$deb" Depends)
echo "test-package: Depends: $depends"
for dep in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6multimedia6 \
    libqt6sql6 libqt6sql6-sqlite libqt6sql6-psql gstreamer1.0-plugins-base \
    gstreamer1.0-plugins-good; do
    [[ ", $depends," == *", $dep "* || ", $depends," == *", $dep,"* ]] ||
        fail "Depends lacks $dep"
done

# --- Debian's own checks ------------------------------------------------------
# Informational tags may stay; errors and warnings may not.
scripts/install-deps.sh lintian >&2
if ! lintian --display-info --fail-on error,warning "$deb" 2>&1 | sed 's/^/test-package: lintian: /' >&2; then
    fail "lintian reports errors or warnings, or did not run"
fi

# --- What it holds -----------------------------------------------------------
listing=$(dpkg-deb --contents "$deb")
paths=$(awk '{print $NF}' <<<"$listing")
for path in ./usr/bin/detector-config ./usr/bin/detector-sim \
    ./usr/share/detector-config/SIREN1.WAV \
    ./usr/share/applications/detector-config.desktop \
    ./usr/share/icons/hicolor/scalable/apps/detector-config.svg \
    ./usr/share/man/man1/detector-config.1.gz ./usr/share/man/man1/detector-sim.1.gz \
    ./usr/share/doc/detector-config/copyright ./usr/share/doc/detector-config/changelog.gz; do
    grep -qxF "$path" <<<"$paths" || fail "package lacks $path"
done
# Nothing from the build or the tests, nothing outside /usr.
if grep -vE '^\./$|^\./usr(/|$)' <<<"$paths"; then fail "files outside /usr"; fi
if grep -E 'test_|bench_|\.a$|/include/|siren-wav' <<<"$paths"; then
    fail "build or test files in the package"
fi
for exe in detector-config detector-sim; do
    grep -qE "^-rwxr-xr-x root/root .* \./usr/bin/$exe$" <<<"$listing" ||
        fail "/usr/bin/$exe is not an executable owned by root"
done

root=$(mktemp -d)
sim_pid=""
tool_pid=""
cleanup() {
    [ -n "$tool_pid" ] && kill "$tool_pid" 2>/dev/null
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$root"
}
trap cleanup EXIT
chmod 755 "$root"
dpkg-deb -x "$deb" "$root"

# --- The unpacked files -------------------------------------------------------
for exe in detector-config detector-sim; do
    if readelf -d "$root/usr/bin/$exe" | grep -qE 'RPATH|RUNPATH'; then
        fail "$exe still points at the build tree"
    fi
done
[ "$(head -c 4 "$root/usr/share/detector-config/SIREN1.WAV")" = RIFF ] || fail "SIREN1.WAV"
desktop=$root/usr/share/applications/detector-config.desktop
grep -qx 'Exec=detector-config' "$desktop" || fail "desktop entry: Exec"
grep -qx 'Icon=detector-config' "$desktop" || fail "desktop entry: Icon"
grep -qE '^Categories=(.*;)?Utility;' "$desktop" || fail "desktop entry: Categories"
grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/detector-config.svg" || fail "icon"
zcat "$root/usr/share/man/man1/detector-config.1.gz" | grep -q '^\.TH DETECTOR-CONFIG 1' ||
    fail "manual page"
help=$(timeout 10 "$root/usr/bin/detector-config" --help) || fail "detector-config --help"
grep -q -- '--port' <<<"$help" || fail "detector-config --help: $help"

# --- The unpacked programs run --------------------------------------------------
# As an unprivileged user where the test runs as root: the installed tool
# cannot write beside itself, as on a real installation.
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    chown 65534:65534 "$root"
fi
mkdir "$root/home"
[ "$(id -u)" -eq 0 ] && chown 65534:65534 "$root/home"

port=$root/ttyVD-package
"${as_user[@]}" env HOME="$root/home" "$root/usr/bin/detector-sim" --link "$port" \
    --state "$root/home/sim.bin" </dev/null >"$root/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do
    [ -L "$port" ] && break
    sleep 0.1
done
[ -L "$port" ] || fail "the unpacked detector-sim published no port: $(cat "$root/sim.out")"
kill -TERM "$sim_pid"
wait "$sim_pid" || true
sim_pid=""
[ ! -e "$port" ] || fail "detector-sim left its port behind"

"${as_user[@]}" env HOME="$root/home" XDG_RUNTIME_DIR= QT_QPA_PLATFORM=offscreen \
    "$root/usr/bin/detector-config" </dev/null >"$root/tool.out" 2>&1 &
tool_pid=$!
sleep 3
kill -0 "$tool_pid" 2>/dev/null ||
    fail "the unpacked detector-config ended at start-up: $(cat "$root/tool.out")"
# It found the installed alarm sound: the player holds the file open.
sound_open=no
for fd in /proc/"$tool_pid"/fd/*; do
    [ "$(readlink "$fd" 2>/dev/null)" = "$root/usr/share/detector-config/SIREN1.WAV" ] &&
        sound_open=yes
done
kill "$tool_pid"
wait "$tool_pid" 2>/dev/null || true
tool_pid=""
[ "$sound_open" = yes ] || fail "the unpacked detector-config did not open its alarm sound"
echo "test-package: OK"
