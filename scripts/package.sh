#!/usr/bin/env bash
# Builds a release build in build-release/ (or $BUILD_DIR) without the tests
# and makes a Debian package of it there. Prints the package's path last.
# Extra arguments go to cmake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# dpkg-shlibdeps works out the library dependencies; it needs objdump.
for p in dpkg-dev binutils; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        SUDO=""
        [ "$(id -u)" -ne 0 ] && SUDO="sudo"
        $SUDO apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$p"
    fi
done
export BUILD_DIR=${BUILD_DIR:-build-release}
BUILD_TYPE=Release scripts/build.sh -DDCT_BUILD_TESTS=OFF "$@"
# Only this build's package: an older one must not be taken for it.
rm -f "$BUILD_DIR"/detector-config_*.deb
(cd "$BUILD_DIR" && cpack -G DEB >&2)
ls "$BUILD_DIR"/detector-config_*.deb
