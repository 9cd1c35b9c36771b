#!/usr/bin/env bash
# Cross-builds the program for Windows (x86-64, MinGW-w64) against the static
# Qt that build-qt.sh provides: build-win/bin/detector-config.exe, which needs
# no Qt or MinGW DLLs, with SIREN1.WAV beside it, and the Qt Test programs
# that need no serial peer; then the installer and a zip of the same files,
# build-win/detector-config-<version>-win64.exe and .zip. Extra arguments go
# to CMake's configure step.
#
#   BUILD_DIR (default build-win)   the build folder
set -euo pipefail
cd "$(dirname "$0")/../.."
top=$PWD
BUILD_DIR=$(realpath -m "${BUILD_DIR:-build-win}")
qt=$(scripts/windows/build-qt.sh)
scripts/install-deps.sh g++ g++-mingw-w64-x86-64-posix cmake ninja-build nsis librsvg2-bin imagemagick

# The alarm sound is generated at build time, by a program for this machine.
mkdir -p "$BUILD_DIR/host"
if [ ! -x "$BUILD_DIR/host/siren-wav" ] ||
    [ tools/siren/siren_wav.cpp -nt "$BUILD_DIR/host/siren-wav" ]; then
    g++ -std=c++20 -O2 -Wall -Wextra -Werror tools/siren/siren_wav.cpp -o "$BUILD_DIR/host/siren-wav"
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
    # Qt's toolchain file chain-loads ours, which names the MinGW compilers.
    "$qt/bin/qt-cmake" -S "$top" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DQT_CHAINLOAD_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64-posix.cmake" \
        -DDCT_HOST_SIREN_WAV="$BUILD_DIR/host/siren-wav" "${launcher[@]}" "$@"
fi
cmake --build "$BUILD_DIR" --parallel "$(nproc)"

# Only Windows' own DLLs may be imported: nothing else is shipped beside it.
imports=$(x86_64-w64-mingw32-objdump -p "$BUILD_DIR/bin/detector-config.exe" |
    sed -n 's/^\s*DLL Name: //p')
if echo "$imports" | grep -Eiq '^(qt6|libstdc|libgcc|libwinpthread)'; then
    echo "detector-config.exe needs DLLs that are not shipped:" $imports >&2
    exit 1
fi
(cd "$BUILD_DIR" && cpack >/dev/null)
echo "Built $BUILD_DIR/bin/detector-config.exe and $BUILD_DIR/detector-config-*-win64.{exe,zip}"
