#!/usr/bin/env bash
# Provides a static Qt 6.4.2 for x86_64-w64-mingw32 (Debian has no Qt for
# Windows) in a cache folder outside the work tree, and prints its path.
#
#   QT_MINGW_DIR      where the Qt goes
#                     (default ${XDG_CACHE_HOME:-$HOME/.cache}/detector-config/qt6-mingw-6.4.2)
#   QT_MINGW_ARCHIVE  a ready-made build to unpack (a .tar.zst holding qt6-mingw/, with
#                     <archive>.sha256 beside it); default ../shared/cache/ from the
#                     repository top. Used only when its sha256 matches.
#
# Without a matching archive, Debian's qt6-base source is fetched and built:
# about 21 minutes on 2 cores, 105 MB installed. Nothing is done when a
# complete install is already there. Progress goes to stderr; stdout gets
# only the path.
set -euo pipefail
cd "$(dirname "$0")/../.."
top=$PWD
QT_VERSION=6.4.2
dest=${QT_MINGW_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/detector-config/qt6-mingw-$QT_VERSION}
archive=${QT_MINGW_ARCHIVE:-$top/../shared/cache/qt6-mingw-$QT_VERSION-static.tar.zst}
toolchain=$top/cmake/mingw-w64-x86_64-posix.cmake
# Written last, so a half-finished unpack or build is never taken as done.
stamp=$dest/.complete

log() { echo "build-qt.sh: $*" >&2; }

archive_ok() {
    [ -f "$archive" ] && [ -f "$archive.sha256" ] &&
        [ "$(sha256sum <"$archive" | cut -d' ' -f1)" = "$(cut -d' ' -f1 "$archive.sha256")" ]
}

# --available: succeeds when the Qt is here or can be unpacked, without the
# long build from source.
if [ "${1:-}" = --available ]; then
    { [ -f "$stamp" ] && [ -x "$dest/bin/qt-cmake" ]; } || archive_ok
    exit
fi

if [ -f "$stamp" ] && [ -x "$dest/bin/qt-cmake" ]; then
    echo "$dest"
    exit 0
fi

scripts/install-deps.sh g++-mingw-w64-x86-64-posix cmake ninja-build zstd \
    qt6-base-dev qt6-base-dev-tools >&2

parent=$(dirname "$dest")
mkdir -p "$parent"
rm -rf "$dest"

if archive_ok; then
    log "unpacking $archive"
    work=$(mktemp -d "$parent/unpack.XXXXXX")
    trap 'rm -rf "$work"' EXIT
    tar --zstd -xf "$archive" -C "$work"
    mv "$work/qt6-mingw" "$dest"
    touch "$stamp"
    echo "$dest"
    exit 0
fi
[ -f "$archive" ] && log "$archive does not match its sha256; building from source"

# From source: Debian 12's qt6-base, the same version as the host tools that
# the cross build needs (moc, uic, rcc come from qt6-base-dev-tools).
work=$(mktemp -d "$parent/source.XXXXXX")
trap 'rm -rf "$work"' EXIT
if [ -z "$(apt-cache showsrc qt6-base 2>/dev/null)" ]; then
    sources=/etc/apt/sources.list.d/debian.sources
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    log "adding deb-src to $sources"
    $SUDO sed -i 's/^Types: deb$/Types: deb deb-src/' "$sources"
    $SUDO apt-get update -qq
fi
scripts/install-deps.sh dpkg-dev >&2
(cd "$work" && apt-get source -qq qt6-base >&2)
src=$(find "$work" -maxdepth 1 -type d -name "qt6-base-$QT_VERSION*" | head -n1)
if [ -z "$src" ]; then
    log "Debian's qt6-base source is not $QT_VERSION, the version of the host tools"
    exit 1
fi
mkdir "$work/build"
cd "$work/build"
# Options, and why:
#   -static -release            one self-contained .exe, no Qt DLLs beside it
#   -platform/-xplatform        host tools for Linux, target Windows via MinGW-w64
#   -qt-host-path /usr          moc/uic/rcc from Debian's qt6-base-dev-tools
#   -no-opengl -no-dbus -no-icu -no-pkg-config, no sql/network/printsupport/vulkan
#                               not used by the program; keeps the build short
#   -no-feature-tabletevent     Debian's cleaned source has no src/3rdparty/wintab
#   -no-feature-direct2d1_1     skips the Direct2D plugin; plain direct2d stays on,
#                               it carries the DirectWrite font database that the
#                               windows platform plugin links
#   -qt-*                       bundled third-party libraries: MinGW has none of them
log "configuring Qt $QT_VERSION for MinGW-w64 in $work/build"
"$src/configure" -prefix "$dest" -release -static -platform linux-g++ -xplatform win32-g++ \
    -qt-host-path /usr -nomake tests -nomake examples \
    -no-opengl -no-dbus -no-icu -no-pkg-config \
    -no-feature-sql -no-feature-network -no-feature-printsupport \
    -no-feature-vulkan -no-feature-tabletevent -no-feature-direct2d1_1 \
    -qt-zlib -qt-libpng -qt-libjpeg -qt-pcre -qt-harfbuzz -qt-freetype -qt-doubleconversion \
    -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >&2
log "building (about 21 minutes on 2 cores)"
nice -n 10 cmake --build . --parallel "$(nproc)" >&2
cmake --install . >&2
touch "$stamp"
echo "$dest"
