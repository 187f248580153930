#!/usr/bin/env bash
# Builds Tallyvane (optimised) with the bundled sample data file and starts the desktop
# window. Extra arguments are passed to the window.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup-debian.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"

sample="$PWD/build/release/sample.pst"
if [ -f "$sample" ]; then
    echo "Bundled sample data file: $sample (open it with Get Folder List > Open Data File...)"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found; set DISPLAY (or QT_QPA_PLATFORM=offscreen) to start the window." >&2
    exit 1
fi
exec ./build/release/ui/tallyvane "$@"
