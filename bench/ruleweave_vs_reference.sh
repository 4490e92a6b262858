#!/usr/bin/env bash
# Whole-process timings of `ruleweave validate` against the official artefacts run by the
# reference script (Saxon HE, needs: apt-get install default-jre-headless libsaxonhe-java).
# Usage: bench/ruleweave_vs_reference.sh [BUILD_DIR]
# Prints wall seconds and invoices per second for the corpus batch and for one invoice.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${1:-build}"
RULEWEAVE="$BUILD_DIR/ruleweave/cli/ruleweave"
REFERENCE=../shared/tools/reference-validate
CORPUS=../shared/corpus
RULES="$BUILD_DIR/resources/rules"

mapfile -t FILES < <(python3 - "$CORPUS" <<'PY'
import json, os, sys
corpus = sys.argv[1]
for line in open(os.path.join(corpus, "reference-results.jsonl"), encoding="utf-8"):
    ref = json.loads(line)
    if ref.get("failed") is not None and ref["file"].lower().endswith(".xml"):
        print(os.path.join(corpus, ref["file"][len("shared/corpus/"):]))
PY
)
ONE="$CORPUS/en16931-examples/ubl/ubl-tc434-example2.xml"

timeit() {  # prints wall seconds of the command, best of 3
    local best=""
    for _ in 1 2 3; do
        local start end
        start=$(date +%s.%N)
        "$@" >/dev/null 2>&1 || true
        end=$(date +%s.%N)
        local t
        t=$(echo "$end - $start" | bc)
        if [ -z "$best" ] || [ "$(echo "$t < $best" | bc)" = 1 ]; then best=$t; fi
    done
    echo "$best"
}

n=${#FILES[@]}
rw_batch=$(timeit "$RULEWEAVE" validate --schemas "$RULES" -j 2 --format json "${FILES[@]}")
ref_batch=$(timeit "$REFERENCE" "${FILES[@]}")
rw_one=$(timeit "$RULEWEAVE" validate --schemas "$RULES" "$ONE")
ref_one=$(timeit "$REFERENCE" "$ONE")
printf 'corpus batch (%d invoices): ruleweave %.2f s (%.1f invoices/s), reference %.2f s (%.1f invoices/s), ratio %.2f\n' \
    "$n" "$rw_batch" "$(echo "$n / $rw_batch" | bc -l)" "$ref_batch" "$(echo "$n / $ref_batch" | bc -l)" \
    "$(echo "$ref_batch / $rw_batch" | bc -l)"
printf 'single invoice: ruleweave %.2f s, reference %.2f s, ratio %.2f\n' "$rw_one" "$ref_one" \
    "$(echo "$ref_one / $rw_one" | bc -l)"
