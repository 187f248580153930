#!/usr/bin/env bash
# Prints, per layer, the non-blank lines of its tests (tests/<layer>) against the
# non-blank lines of its code (<layer>/), and their ratio. Tests are meant to stay within
# a quarter to about a third of the code they test.
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
    if [ -d "$1" ]; then
        find "$1" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 -r cat |
            grep -cv '^[[:space:]]*$' || true
    else
        echo 0
    fi
}

printf '%-10s %8s %8s %7s\n' layer code tests ratio
for layer in store archive writers app ui cli tools; do
    code=$(count "$layer")
    tests=$(count "tests/$layer")
    ratio=$(awk -v t="$tests" -v c="$code" 'BEGIN { printf (c > 0 ? "%.2f" : "-"), t / c }')
    printf '%-10s %8d %8d %7s\n' "$layer" "$code" "$tests" "$ratio"
done
