#!/usr/bin/env bash
# Installs the Debian packages the tool needs to build, test and run, or
# the packages named as arguments instead.
# Skips apt entirely when everything is present already.
set -euo pipefail
packages=("$@")
[ $# -gt 0 ] || packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-multimedia-dev libgl-dev libqt6sql6-sqlite libqt6sql6-psql postgresql
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good
    xvfb xauth x11-utils imagemagick xdotool pulseaudio
    poppler-utils fonts-dejavu-core
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
