#!/usr/bin/env bash
# Validation time against the number of invoice lines; each run should grow linearly.
# Usage: bench/validation_scaling.sh [BUILD_DIR] [LINES...]   (default 500 1000 2000 4000 10000)
# Prints CPU seconds (user + sys, what counts on a shared machine), wall seconds and peak memory.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${1:-build}"
shift || true
COUNTS=("${@:-500 1000 2000 4000 10000}")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
for n in ${COUNTS[*]}; do
    bench/generate_large_invoice.py "$n" "$WORK/lines-$n.xml"
    /usr/bin/time -o "$WORK/time" -f '%U %S %e %M' \
        "$BUILD_DIR/ruleweave/cli/ruleweave" validate "$WORK/lines-$n.xml" >/dev/null 2>&1 || true
    awk -v n="$n" '{printf "%6d lines: %.2f s CPU, %.2f s wall, %d MB peak\n", n, $1 + $2, $3, $4 / 1024}' "$WORK/time"
done
