#!/bin/sh
# Builds the .pst/.ost reader's libFuzzer target with clang (the "fuzz" preset) and runs it
# for a bounded time, seeded with the corpus files (copied to a temporary folder, never into
# the repository).
#
#   scripts/fuzz.sh [SECONDS] [extra libFuzzer options...]
#
# SECONDS defaults to 60. TALLYVANE_CORPUS names the corpus folder (default: ../shared/corpus
# beside the repository). FUZZ_MAX_BYTES (default 4 MB) bounds the seeds and inputs: small
# inputs run hundreds of times faster; set it to 20000000 to include the 16 MB 4K-page .ost.
# Crash inputs are written to build/fuzz/findings/; turn each one into a regression test in
# tests/store/pst_fault_test.cpp.
set -eu

seconds=${1:-60}
if [ $# -gt 0 ]; then shift; fi

root=$(cd "$(dirname "$0")/.." && pwd)
corpus=${TALLYVANE_CORPUS:-$root/../shared/corpus}
build=$root/build/fuzz

cmake --preset fuzz -S "$root" >/dev/null
cmake --build "$build" --target pst_fuzz -j"${FUZZ_JOBS:-2}"

work=$(mktemp -d "${TMPDIR:-/tmp}/tallyvane-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/seeds" "$build/findings"
max_bytes=${FUZZ_MAX_BYTES:-4000000}
if [ -d "$corpus" ]; then
    for f in "$corpus"/*.pst "$corpus"/*.ost; do
        if [ -f "$f" ] && [ "$(wc -c <"$f")" -le "$max_bytes" ]; then
            cp "$f" "$work/seeds/"
        fi
    done
else
    echo "fuzz.sh: no corpus at $corpus; starting from nothing" >&2
fi

"$build/tests/fuzz/pst_fuzz" \
    -max_total_time="$seconds" \
    -max_len="$max_bytes" \
    -rss_limit_mb=4096 \
    -timeout=60 \
    -artifact_prefix="$build/findings/" \
    "$@" \
    "$work/seeds"
