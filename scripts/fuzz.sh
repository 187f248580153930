#!/bin/sh
# Builds the libFuzzer targets with clang (the "fuzz" preset) and runs them for a bounded
# time: pst_fuzz (whole data files) for SECONDS, seeded with every corpus file and the
# regression inputs of tests/fuzz/regressions (copied to a temporary folder, never into the
# repository); then body_fuzz (the body decoders: compressed RTF, RTF, HTML, fed bytes
# directly) for BODY_SECONDS, seeded with tests/fuzz/seeds/body; then msg_fuzz (.msg files)
# for as long, seeded with tests/fuzz/seeds/msg (written from the bundled sample).
#
#   scripts/fuzz.sh [SECONDS] [extra libFuzzer options for pst_fuzz...]
#
# SECONDS defaults to 60, BODY_SECONDS to a third of it (at least 10). TALLYVANE_CORPUS
# names the corpus folder (default: ../shared/corpus beside the repository). Inputs may
# grow to the largest seed (FUZZ_MAX_BYTES overrides that). Crash inputs are written to
# build/fuzz/findings/; turn each into a regression input (tests/store/hostile_files.h) or a
# test in tests/store/pst_fault_test.cpp.
set -eu

seconds=${1:-60}
if [ $# -gt 0 ]; then shift; fi
body_seconds=${BODY_SECONDS:-$((seconds / 3 > 10 ? seconds / 3 : 10))}

root=$(cd "$(dirname "$0")/.." && pwd)
corpus=${TALLYVANE_CORPUS:-$root/../shared/corpus}
build=$root/build/fuzz

cmake --preset fuzz -S "$root" >/dev/null
cmake --build "$build" --target pst_fuzz body_fuzz msg_fuzz -j"${FUZZ_JOBS:-2}"

work=$(mktemp -d "${TMPDIR:-/tmp}/tallyvane-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/seeds" "$build/findings"
if [ -d "$corpus" ]; then
    for f in "$corpus"/*.pst "$corpus"/*.ost; do
        if [ -f "$f" ]; then cp "$f" "$work/seeds/"; fi
    done
else
    echo "fuzz.sh: no corpus at $corpus; starting from the regression inputs" >&2
fi
for f in "$root"/tests/fuzz/regressions/*.gz; do
    if [ -f "$f" ]; then gzip -dc "$f" >"$work/seeds/$(basename "$f" .gz)"; fi
done
largest=0
for f in "$work"/seeds/*; do
    size=$(wc -c <"$f")
    if [ "$size" -gt "$largest" ]; then largest=$size; fi
done
max_bytes=${FUZZ_MAX_BYTES:-$largest}
if [ "$max_bytes" -lt 4096 ]; then max_bytes=4096; fi

"$build/tests/fuzz/pst_fuzz" \
    -max_total_time="$seconds" \
    -max_len="$max_bytes" \
    -rss_limit_mb=4096 \
    -timeout=60 \
    -artifact_prefix="$build/findings/" \
    "$@" \
    "$work/seeds"

# The two decoders of small inputs run alike: seeded from the repository, bounded inputs.
run_small() { # target seeds-folder
    mkdir -p "$work/$2"
    cp "$root/tests/fuzz/seeds/$2"/* "$work/$2/" 2>/dev/null || true
    "$build/tests/fuzz/$1" \
        -max_total_time="$body_seconds" \
        -max_len=65536 \
        -rss_limit_mb=2048 \
        -timeout=30 \
        -artifact_prefix="$build/findings/$2-" \
        "$work/$2"
}
run_small body_fuzz body
run_small msg_fuzz msg
