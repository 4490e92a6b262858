#!/usr/bin/env python3
"""Compares `ruleweave validate` with the official artefacts' results on the invoice corpus.

Each file is compared with the oracle of the rule set ruleweave selected for it:
- a Factur-X/ZUGFeRD profile (or ZUGFeRD 1.0): reference-results-facturx.jsonl, made with the
  official compiled profile XSLT; the profile must be the oracle's, and every failed assert and
  successful report must be found at the same place (id, flag, location);
- otherwise (EN 16931, XRechnung, UBL): reference-results.jsonl; the fired assertion ids with
  their flags, and where they fired, must be the same.
Prints the agreement per profile / rule set and every difference.
"""
import argparse
import collections
import glob
import json
import os
import re
import subprocess
import sys

PROFILE_SETS = {"MINIMUM", "BASIC-WL", "BASIC", "EN16931", "EXTENDED", "ZUGFeRD1"}


def reference_lines(path):
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if line:
                yield json.loads(line)


def corpus_path(corpus, rel):
    prefix = "shared/corpus/"
    return os.path.join(corpus, rel[len(prefix):] if rel.startswith(prefix) else rel)


def place(path):
    # One compiler writes [1] on every step, the other only where siblings share the name.
    return re.sub(r"\[1\]", "", path or "")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--ruleweave", required=True)
    ap.add_argument("--corpus", required=True)
    ap.add_argument("--rules", required=True, action="append",
                    help="a rules folder (repeatable: the general rules, the profile rules)")
    ap.add_argument("--jobs", default="2")
    ap.add_argument("--xml-only", action="store_true")
    args = ap.parse_args()

    results = os.path.join(args.corpus, "reference-results.jsonl")
    fx_results = os.path.join(args.corpus, "reference-results-facturx.jsonl")
    rules = [r for r in args.rules if os.path.isdir(r)]
    general = [r for r in rules if os.path.isdir(os.path.join(r, "Schematron"))]
    if not os.path.isfile(results) or not general:
        print(f"SKIP: corpus or rules not found ({args.corpus}, {args.rules})")
        return 77
    have_profiles = os.path.isfile(fx_results) and any(
        os.path.isdir(os.path.join(r, "FacturX")) for r in rules)
    if not have_profiles:
        print("note: no Factur-X profile rules or reference; profile files are not compared")

    # Assertion ids the EN 16931/XRechnung .sch sources define. The compiled reference may carry
    # rules that the sources lack; those cannot fire from the sources and are listed apart.
    known_ids = set()
    for sch in glob.glob(os.path.join(general[0], "Schematron", "**", "*.sch"), recursive=True):
        with open(sch, encoding="utf-8") as f:
            known_ids.update(re.findall(r'\bid="([^"]+)"', f.read()))
    absent = {}

    en_expected = {}
    for ref in reference_lines(results):
        if ref.get("failed") is None:
            continue
        path = corpus_path(args.corpus, ref["file"])
        fired = collections.Counter((f["id"], f["flag"], place(f.get("path"))) for f in ref["failed"])
        for finding in fired:
            if finding[0] not in known_ids:
                absent.setdefault(finding[0], set()).add(path)
        en_expected[path] = collections.Counter({k: n for k, n in fired.items() if k[0] in known_ids})
    fx_expected = {}
    if have_profiles:
        for ref in reference_lines(fx_results):
            if ref.get("failed") is None:
                continue
            path = corpus_path(args.corpus, ref["file"])
            fx_expected[path] = (ref["profile"], collections.Counter(
                (f["kind"], f["id"], f["flag"], place(f.get("path"))) for f in ref["failed"]))

    files = sorted(p for p in set(en_expected) | set(fx_expected)
                   if not (args.xml_only and p.lower().endswith(".pdf")))
    records = {}
    problems = []
    batch = 60
    for start in range(0, len(files), batch):
        chunk = files[start:start + batch]
        schemas = [a for r in rules for a in ("--schemas", r)]
        proc = subprocess.run([args.ruleweave, "validate", *schemas, "--format", "json",
                               "-j", args.jobs] + chunk, capture_output=True, text=True)
        for line in proc.stdout.splitlines():
            record = json.loads(line)
            records[record["file"]] = record
        for line in proc.stderr.splitlines():
            if line.startswith("ruleweave: ") and " files: " not in line:
                problems.append(line)

    groups = collections.defaultdict(lambda: [0, 0])  # label -> [agree, total]
    failures = 0
    engine_problems = 0
    for path in files:
        record = records.get(path)
        detail = "no result"
        rel = os.path.relpath(path, args.corpus)
        profile = record.get("profile") if record else None
        if record and record.get("engineProblems"):
            # Expressions that could not run decide nothing: the file's verdict is incomplete.
            print(f"ENGINE {rel}: {record['engineProblems']}")
            engine_problems += 1
        if profile in PROFILE_SETS and path in fx_expected:
            label = f"profile {profile}"
            want_profile, want = fx_expected[path]
            got = collections.Counter((f["type"], f["assertionId"], f["flag"], place(f["location"]))
                                      for f in record["errors"] + record["warnings"]
                                      if f.get("type") != "xsd")
            if want_profile != profile:
                detail = f"profile {profile}, the oracle chose {want_profile}"
                got, want = None, {}
        elif path in en_expected and (profile is None or not have_profiles):
            label = "EN16931/XRechnung"
            want = en_expected[path]
            got = None
            if record and "errors" in record:
                got = collections.Counter((f["assertionId"], f["flag"], place(f["location"]))
                                          for f in record["errors"] + record["warnings"]
                                          if f.get("type") != "xsd")
        else:
            # Selected rules that no oracle ran (or the oracle ran rules that were not selected).
            label = f"profile {profile}" if profile else "EN16931/XRechnung"
            groups[label][1] += 1
            failures += 1
            oracle = "facturx" if path in fx_expected else "en16931"
            print(f"DISAGREE {rel}: selected {profile or 'EN16931/XRechnung'}, "
                  f"only the {oracle} oracle has results")
            continue
        groups[label][1] += 1
        if got == want:
            groups[label][0] += 1
            continue
        failures += 1
        if got is None:
            print(f"DISAGREE {rel}: {detail}")
            continue
        missing = sorted((want - got).elements(), key=str)
        extra = sorted((got - want).elements(), key=str)
        print(f"DISAGREE {rel} [{label}]: missing {missing[:6]} extra {extra[:6]}"
              f"{' ...' if len(missing) > 6 or len(extra) > 6 else ''}")
    for p in problems:
        print(p)
    if absent:
        files_with_absent = set().union(*absent.values())
        print(f"not in the rule sources (compiled reference only), left out of the comparison: "
              f"{', '.join(sorted(absent))} in {len(files_with_absent)} files")
    for label in sorted(groups):
        agree, total = groups[label]
        print(f"{label}: {agree} of {total} files agree")
    total = sum(t for _, t in groups.values())
    print(f"{total - failures} of {total} files agree")
    print(f"{engine_problems} files with engine problems")
    print(f"{total - failures} passed, {failures + engine_problems} failed")
    return 0 if failures == 0 and engine_problems == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
