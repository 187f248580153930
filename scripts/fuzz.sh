#!/bin/sh
# Builds the .pst/.ost reader's libFuzzer target with clang (the "fuzz" preset) and runs it
# for a bounded time, seeded with the corpus files (copied to a temporary folder, never into
# the repository).
#
#   scripts/fuzz.sh [SECONDS] [extra libFuzzer options...]
#
# SECONDS defaults to 60. TALLYVANE_CORPUS names the corpus folder (default: ../shared/corpus
# beside the repository). Crash inputs are written to build/fuzz/findings/; turn each one
# into a regression test in tests/store/pst_fault_test.cpp.
set -eu

seconds=${1:-60}
[ $# -gt 0 ] && shift

root=$(cd "$(dirname "$0")/.." && pwd)
corpus=${TALLYVANE_CORPUS:-$root/../shared/corpus}
build=$root/build/fuzz

cmake --preset fuzz -S "$root" >/dev/null
cmake --build "$build" --target pst_fuzz -j"${FUZZ_JOBS:-2}"

work=$(mktemp -d "${TMPDIR:-/tmp}/tallyvane-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/seeds" "$build/findings"
if [ -d "$corpus" ]; then
    # Small files first: libFuzzer mutates short inputs far faster.
    for f in "$corpus"/*.pst "$corpus"/*.ost; do
        [ -f "$f" ] && cp "$f" "$work/seeds/"
    done
else
    echo "fuzz.sh: no corpus at $corpus; starting from nothing" >&2
fi

# Inputs up to 20 MB so that every corpus file is a usable seed.
"$build/tests/fuzz/pst_fuzz" \
    -max_total_time="$seconds" \
    -max_len=20000000 \
    -rss_limit_mb=4096 \
    -timeout=60 \
    -artifact_prefix="$build/findings/" \
    "$@" \
    "$work/seeds"
