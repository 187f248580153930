#!/usr/bin/env bash
# Builds Tallyvane and runs every test. With --sanitize, builds and tests the
# AddressSanitizer/UndefinedBehaviorSanitizer build instead.
set -euo pipefail
cd "$(dirname "$0")/.."

preset=ci
if [ "${1:-}" = "--sanitize" ]; then
    preset=asan-ubsan
fi

./scripts/setup-debian.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --preset "$preset" -j "$(nproc)"
