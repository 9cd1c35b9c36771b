#!/usr/bin/env bash
# Installs what is missing, builds, starts a virtual detector on a
# pseudo-terminal and then the tool with the detector's port (/tmp/ttyVD0)
# already chosen: press Connect. Closing the tool stops the detector. Extra
# arguments go to the tool (e.g. --trace frames.txt).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
BIN=${BUILD_DIR:-build}/bin
"$BIN/detector-sim" --link /tmp/ttyVD0 &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT
# Give the detector a moment to publish its port before the tool scans for ports.
for _ in $(seq 50); do [ -e /tmp/ttyVD0 ] && break; sleep 0.1; done
"$BIN/detector-config" --port /tmp/ttyVD0 "$@"
