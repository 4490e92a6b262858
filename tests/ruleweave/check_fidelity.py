#!/usr/bin/env python3
"""Compares `ruleweave validate` with the official artefacts' results on the invoice corpus.

For every corpus file the reference ran Schematron on, the set of fired assertion ids with
their flags must be the same. Prints "N of M files agree" and every difference.
"""
import argparse
import glob
import json
import os
import re
import subprocess
import sys


def reference_lines(path):
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if line:
                yield json.loads(line)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--ruleweave", required=True)
    ap.add_argument("--corpus", required=True)
    ap.add_argument("--rules", required=True)
    ap.add_argument("--jobs", default="2")
    ap.add_argument("--xml-only", action="store_true")
    ap.add_argument("--verbose", action="store_true")
    args = ap.parse_args()

    results = os.path.join(args.corpus, "reference-results.jsonl")
    if not os.path.isfile(results) or not os.path.isdir(os.path.join(args.rules, "Schematron")):
        print(f"SKIP: corpus or rules not found ({args.corpus}, {args.rules})")
        return 77

    # Assertion ids the .sch sources define. The compiled reference may carry rules that the
    # sources lack; those cannot fire from the sources and are listed apart.
    known_ids = set()
    for sch in glob.glob(os.path.join(args.rules, "Schematron", "**", "*.sch"), recursive=True):
        with open(sch, encoding="utf-8") as f:
            known_ids.update(re.findall(r'\bid="([^"]+)"', f.read()))
    absent = {}

    expected = {}
    skipped_pdf = 0
    for ref in reference_lines(results):
        if ref.get("failed") is None:
            continue
        rel = ref["file"]
        prefix = "shared/corpus/"
        path = os.path.join(args.corpus, rel[len(prefix):] if rel.startswith(prefix) else rel)
        if path.lower().endswith(".pdf") and args.xml_only:
            skipped_pdf += 1
            continue
        fired = {(f["id"], f["flag"]) for f in ref["failed"]}
        for finding in fired:
            if finding[0] not in known_ids:
                absent.setdefault(finding[0], set()).add(path)
        expected[path] = {f for f in fired if f[0] in known_ids}

    files = sorted(expected)
    actual = {}
    problems = []
    batch = 60
    for start in range(0, len(files), batch):
        chunk = files[start:start + batch]
        proc = subprocess.run([args.ruleweave, "validate", "--schemas", args.rules, "--format", "json",
                               "-j", args.jobs] + chunk, capture_output=True, text=True)
        for line in proc.stdout.splitlines():
            record = json.loads(line)
            fired = set()
            for finding in record["errors"] + record["warnings"]:
                if finding.get("type") == "xsd":
                    continue
                fired.add((finding.get("assertionId"), finding.get("flag")))
            actual[record["file"]] = fired
        for line in proc.stderr.splitlines():
            if line.startswith("ruleweave: "):
                problems.append(line)

    agree = 0
    for path in files:
        want = expected[path]
        got = actual.get(path)
        if got == want:
            agree += 1
            continue
        rel = os.path.relpath(path, args.corpus)
        if got is None:
            print(f"DISAGREE {rel}: no result")
            continue
        missing = sorted(want - got)
        extra = sorted(got - want)
        print(f"DISAGREE {rel}: missing {missing} extra {extra}")
    for p in problems:
        print(p)
    if absent:
        files_with_absent = set().union(*absent.values())
        print(f"not in the rule sources (compiled reference only), left out of the comparison: "
              f"{', '.join(sorted(absent))} in {len(files_with_absent)} files")
    print(f"{agree} of {len(files)} files agree" + (f" ({skipped_pdf} PDF files not compared)" if skipped_pdf else ""))
    print(f"{agree} passed, {len(files) - agree} failed")
    return 0 if agree == len(files) else 1


if __name__ == "__main__":
    sys.exit(main())
