#!/usr/bin/env bash
# Whole-process timings of `ruleweave validate` beside a bare libxml2 parse (xmllint --noout) and
# the official artefacts run by the reference script (Saxon HE; needs
# apt-get install default-jre-headless libsaxonhe-java), on the same XRechnung invoices
# (EN 16931 + XRechnung rules). Reports, never judges; CPU time (user + sys) is what counts on a
# shared machine, wall time is shown beside it.
# Usage: bench/ruleweave_vs_reference.sh [BUILD_DIR] [COUNT] [ROUNDS]
#   COUNT invoices (default 30) of the XRechnung test suite; the batch runs them ROUNDS times
#   (default 10), so start-up cost drops out of the per-invoice figure.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${1:-build}"
COUNT="${2:-30}"
ROUNDS="${3:-10}"
RULEWEAVE="$BUILD_DIR/ruleweave/cli/ruleweave"
REFERENCE=../shared/tools/reference-validate
CORPUS=../shared/corpus
RULES="$BUILD_DIR/resources/rules"
[ -x "$RULEWEAVE" ] || { echo "build $RULEWEAVE first" >&2; exit 1; }

mapfile -t FILES < <(find "$CORPUS/xrechnung/testsuite/business-cases/standard" -name '*.xml' | sort | head -n "$COUNT")
[ "${#FILES[@]}" -gt 0 ] || { echo "no invoices under $CORPUS" >&2; exit 1; }
BATCH=()
for _ in $(seq "$ROUNDS"); do BATCH+=("${FILES[@]}"); done
n=${#FILES[@]}
N=${#BATCH[@]}
ONE="${FILES[0]}"

# Best of three: "wall cpu peak_kb" of the command.
TIMES=$(mktemp)
trap 'rm -f "$TIMES"' EXIT
measure() {
    local best="" line
    for _ in 1 2 3; do
        /usr/bin/time -o "$TIMES" -f '%e %U %S %M' "$@" >/dev/null 2>&1 || true
        line=$(tail -n 1 "$TIMES" | awk '{printf "%.3f %.3f %d", $1, $2 + $3, $4}')
        if [ -z "$best" ] || awk -v a="$line" -v b="$best" 'BEGIN{split(a,x," ");split(b,y," ");exit !(x[2]<y[2])}'; then
            best=$line
        fi
    done
    echo "$best"
}
field() { echo "$1" | awk -v i="$2" '{print $i}'; }
# Per-invoice CPU milliseconds from a batch of N and a batch of n (start-up cancels out).
per_invoice() { awk -v big="$(field "$1" 2)" -v small="$(field "$2" 2)" -v N="$N" -v n="$n" \
    'BEGIN{printf "%.2f", 1000 * (big - small) / (N - n)}'; }

echo "invoices: $n XRechnung test-suite files, batch $N (x$ROUNDS); rules $RULES"

parse_small=$(measure xmllint --noout "${FILES[@]}")
parse_big=$(measure xmllint --noout "${BATCH[@]}")
parse_ms=$(per_invoice "$parse_big" "$parse_small")
echo "bare libxml2 parse (xmllint --noout): $parse_ms ms CPU per invoice"

rw=("$RULEWEAVE" validate --schemas "$RULES" --format json)
rw_small=$(measure "${rw[@]}" -j 1 "${FILES[@]}")
rw_big=$(measure "${rw[@]}" -j 1 "${BATCH[@]}")
rw_ms=$(per_invoice "$rw_big" "$rw_small")
awk -v ms="$rw_ms" -v p="$parse_ms" 'BEGIN{printf "ruleweave -j 1: %.2f ms CPU per invoice, %.0f invoices/s on one core, %.1fx the bare parse\n", ms, 1000 / ms, ms / p}'
rw_j2=$(measure "${rw[@]}" -j 2 "${BATCH[@]}")
awk -v a="$(field "$rw_big" 1)" -v b="$(field "$rw_j2" 1)" -v N="$N" \
    'BEGIN{printf "batch of %d wall: -j 1 %.2f s (%.0f invoices/s), -j 2 %.2f s (%.0f invoices/s), -j 2 / -j 1 speed-up %.2fx\n", N, a, N / a, b, N / b, a / b}'

one=$(measure "$RULEWEAVE" validate --schemas "$RULES" "$ONE")
echo "one invoice, cold process: $(field "$one" 1) s wall, $(field "$one" 2) s CPU, peak RSS $(( $(field "$one" 3) / 1024 )) MB"

if [ -x "$REFERENCE" ] && "$REFERENCE" "$ONE" 2>/dev/null | grep -q '"file"'; then
    ref=$(measure "$REFERENCE" "${FILES[@]}")
    ref_one=$(measure "$REFERENCE" "$ONE")
    echo "reference (Saxon): $n invoices $(field "$ref" 1) s wall, $(field "$ref" 2) s CPU; one invoice $(field "$ref_one" 1) s wall, peak RSS $(( $(field "$ref_one" 3) / 1024 )) MB"
    awk -v a="$(field "$ref" 2)" -v b="$(field "$rw_small" 2)" 'BEGIN{printf "reference / ruleweave CPU for the %s invoices (start-up included): %.1fx\n", "same", a / b}'
else
    echo "reference: not run (needs java and Saxon HE: apt-get install default-jre-headless libsaxonhe-java)"
fi
