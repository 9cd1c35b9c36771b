#!/usr/bin/env bash
# Provides a static Qt 6.4.2 for x86_64-w64-mingw32 (Debian has no Qt for
# Windows) with Qt SQL and its SQLite and PostgreSQL drivers built in (the
# site book), in a cache folder outside the work tree, and prints its path.
#
#   QT_MINGW_DIR      where the Qt goes
#                     (default ${XDG_CACHE_HOME:-$HOME/.cache}/detector-config/qt6-mingw-6.4.2-sql)
#   QT_MINGW_ARCHIVE  a ready-made build to unpack (a .tar.zst holding qt6-mingw/, with
#                     <archive>.sha256 beside it); default
#                     ../shared/cache/qt6-mingw-6.4.2-static-sql.tar.zst from the
#                     repository top. Used only when its sha256 matches and it holds
#                     the SQL drivers.
#
# Without a matching archive, Debian's own sources are fetched and cross-built:
# SQLite (sqlite3) and libpq (postgresql-15) as static libraries, then
# qt6-base with them: about 25 minutes on 2 cores, 109 MB installed. Nothing
# is done when a complete install is already there. Progress goes to stderr;
# stdout gets only the path.
set -euo pipefail
cd "$(dirname "$0")/../.."
top=$PWD
QT_VERSION=6.4.2
# The Debian versions the recipe was made with; apt-get source without a
# version may ask for a newer security release than the mirror holds.
SQLITE_SOURCE=sqlite3=3.40.1-2+deb12u2
PQ_SOURCE=postgresql-15=15.18-0+deb12u1
# A folder and archive name of their own: a Qt built earlier without SQL is
# never taken for this one.
dest=${QT_MINGW_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/detector-config/qt6-mingw-$QT_VERSION-sql}
archive=${QT_MINGW_ARCHIVE:-$top/../shared/cache/qt6-mingw-$QT_VERSION-static-sql.tar.zst}
toolchain=$top/cmake/mingw-w64-x86_64-posix.cmake
# Written last, so a half-finished unpack or build is never taken as done.
stamp=$dest/.complete

log() { echo "build-qt.sh: $*" >&2; }

# The archive matches its checksum and holds the SQL drivers (an archive of
# the Qt without SQL, given by mistake, is not taken).
archive_ok() {
    [ -f "$archive" ] && [ -f "$archive.sha256" ] &&
        [ "$(sha256sum <"$archive" | cut -d' ' -f1)" = "$(cut -d' ' -f1 "$archive.sha256")" ] &&
        # (grep stops at the first hit, which ends tar with SIGPIPE)
        { tar --zstd -tf "$archive" || true; } |
        grep -q '^qt6-mingw/plugins/sqldrivers/libqsqlite\.a$'
}

# A complete install has the SQL module and both drivers.
installed() {
    [ -f "$stamp" ] && [ -x "$dest/bin/qt-cmake" ] && [ -f "$dest/lib/libQt6Sql.a" ] &&
        [ -f "$dest/plugins/sqldrivers/libqsqlite.a" ] &&
        [ -f "$dest/plugins/sqldrivers/libqsqlpsql.a" ]
}

# --available: succeeds when the Qt is here or can be unpacked, without the
# long build from source.
if [ "${1:-}" = --available ]; then
    installed || archive_ok
    exit
fi

if installed; then
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
[ -f "$archive" ] &&
    log "$archive does not match its sha256 or holds no SQL drivers; building from source"

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
scripts/install-deps.sh dpkg-dev tcl make >&2
(cd "$work" && apt-get source -qq qt6-base "$SQLITE_SOURCE" "$PQ_SOURCE" >&2)
src=$(find "$work" -maxdepth 1 -type d -name "qt6-base-$QT_VERSION*" | head -n1)
if [ -z "$src" ]; then
    log "Debian's qt6-base source is not $QT_VERSION, the version of the host tools"
    exit 1
fi
sqlite_src=$(find "$work" -maxdepth 1 -type d -name "sqlite3-*" | head -n1)
pq_src=$(find "$work" -maxdepth 1 -type d -name "postgresql-15-*" | head -n1)
if [ -z "$sqlite_src" ] || [ -z "$pq_src" ]; then
    log "Debian's sqlite3 or postgresql-15 source could not be fetched"
    exit 1
fi
mingw_gcc=x86_64-w64-mingw32-gcc-posix
mkdir -p "$dest/include" "$dest/lib"

# SQLite: the amalgamation (tcl makes it) as one object, thread-safe, without
# loadable extensions.
log "building SQLite for MinGW-w64"
mkdir "$work/sq"
(cd "$work/sq" && "$sqlite_src/configure" --disable-tcl >&2 && make sqlite3.c >&2 &&
    "$mingw_gcc" -O2 -c sqlite3.c -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_COLUMN_METADATA \
        -DSQLITE_OMIT_LOAD_EXTENSION >&2 &&
    x86_64-w64-mingw32-ar rcs libsqlite3.a sqlite3.o)
cp "$work/sq/sqlite3.h" "$dest/include/"
cp "$work/sq/libsqlite3.a" "$dest/lib/"

# libpq: the client library only, nothing optional linked in.
log "building libpq for MinGW-w64"
mkdir "$work/pq"
(cd "$work/pq" && "$pq_src/configure" --host=x86_64-w64-mingw32 \
    --without-readline --without-zlib --without-icu --without-openssl --without-gssapi \
    --without-ldap CC="$mingw_gcc" >&2 &&
    make -C src/include >&2 && make -C src/common >&2 && make -C src/port >&2 &&
    make -C src/interfaces/libpq >&2)
# One static libpq.a: libpq's objects less win32ver.o and pthread-win32.o
# (winpthreads already defines those functions: keeping them gives "multiple
# definition"), with libpgcommon.a and libpgport.a merged in.
pqlib=$work/pq/src/interfaces/libpq
(cd "$pqlib" && x86_64-w64-mingw32-ar rcs libpq-only.a \
    $(find . -maxdepth 1 -name '*.o' ! -name win32ver.o ! -name pthread-win32.o))
printf '%s\n' "create $dest/lib/libpq.a" "addlib $pqlib/libpq-only.a" \
    "addlib $work/pq/src/common/libpgcommon.a" "addlib $work/pq/src/port/libpgport.a" \
    save end | x86_64-w64-mingw32-ar -M >&2
cp "$pq_src/src/interfaces/libpq/libpq-fe.h" "$pq_src/src/interfaces/libpq/libpq-events.h" \
    "$pq_src/src/include/postgres_ext.h" "$pq_src/src/include/pg_config_manual.h" \
    "$work/pq/src/include/pg_config_ext.h" "$work/pq/src/include/pg_config.h" \
    "$work/pq/src/include/pg_config_os.h" "$dest/include/"

mkdir "$work/build"
cd "$work/build"
# Options, and why:
#   -static -release            one self-contained .exe, no Qt DLLs beside it
#   -platform/-xplatform        host tools for Linux, target Windows via MinGW-w64
#   -qt-host-path /usr          moc/uic/rcc from Debian's qt6-base-dev-tools
#   -no-opengl -no-dbus -no-icu -no-pkg-config, no network/printsupport/vulkan
#                               not used by the program; keeps the build short
#   -sql-sqlite -system-sqlite -sql-psql
#                               the site book's drivers, static, against the
#                               SQLite and libpq built above; no other driver
#   -no-feature-tabletevent     Debian's cleaned source has no src/3rdparty/wintab
#   -no-feature-direct2d1_1     skips the Direct2D plugin; plain direct2d stays on,
#                               it carries the DirectWrite font database that the
#                               windows platform plugin links
#   -qt-*                       bundled third-party libraries: MinGW has none of them
log "configuring Qt $QT_VERSION for MinGW-w64 in $work/build"
"$src/configure" -prefix "$dest" -release -static -platform linux-g++ -xplatform win32-g++ \
    -qt-host-path /usr -nomake tests -nomake examples \
    -no-opengl -no-dbus -no-icu -no-pkg-config \
    -no-feature-network -no-feature-printsupport \
    -no-feature-vulkan -no-feature-tabletevent -no-feature-direct2d1_1 \
    -qt-zlib -qt-libpng -qt-libjpeg -qt-pcre -qt-harfbuzz -qt-freetype -qt-doubleconversion \
    -sql-sqlite -system-sqlite -sql-psql -no-sql-odbc -no-sql-mysql -no-sql-db2 \
    -no-sql-ibase -no-sql-oci \
    -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DSQLite3_INCLUDE_DIR="$dest/include" -DSQLite3_LIBRARY="$dest/lib/libsqlite3.a" \
    -DPostgreSQL_INCLUDE_DIR="$dest/include" -DPostgreSQL_LIBRARY="$dest/lib/libpq.a" >&2
log "building Qt (about 21 minutes on 2 cores)"
nice -n 10 cmake --build . --parallel "$(nproc)" >&2
cmake --install . >&2
touch "$stamp"
if ! installed; then
    log "the build in $dest lacks Qt SQL or one of its drivers"
    exit 1
fi
echo "$dest"
