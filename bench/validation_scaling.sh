#!/usr/bin/env bash
# Validation time against the number of invoice lines; each run should grow linearly.
# Usage: bench/validation_scaling.sh [BUILD_DIR] [LINES...]   (default 500 1000 2000 4000)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${1:-build}"
shift || true
COUNTS=("${@:-500 1000 2000 4000}")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
for n in ${COUNTS[*]}; do
    bench/generate_large_invoice.py "$n" "$WORK/lines-$n.xml"
    start=$(date +%s.%N)
    "$BUILD_DIR/ruleweave/cli/ruleweave" validate "$WORK/lines-$n.xml" >/dev/null || true
    end=$(date +%s.%N)
    printf '%6d lines: %.2f s\n' "$n" "$(echo "$end - $start" | bc)"
done
