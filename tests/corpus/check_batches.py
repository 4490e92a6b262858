#!/usr/bin/env python3
"""A FatturaPA file with several bodies is several invoices: `show` and `render` take the first
or the one `--index N` names, and `import` stores each body as an invoice of its own."""

import argparse
import json
import os
import subprocess
import sys
import tempfile

SKIP = 77
BATCH = "fatturapa/official/IT01234567890_FPA03.xml"  # bodies: invoices 12 and 456


def run(args):
    return subprocess.run(args, capture_output=True, timeout=300)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--corpus", required=True)
    options = parser.parse_args()
    path = os.path.join(options.corpus, BATCH)
    if not os.path.isfile(path):
        print(f"invoice corpus not found at {options.corpus}; skipped")
        return SKIP
    problems = []

    def show(*extra):
        result = run([options.cli, "show", "--compact", *extra, path])
        return json.loads(result.stdout) if result.returncode == 0 else None

    first, second = show(), show("--index", "2")
    if not first or first["invoice"]["number"] != "12" or first.get("invoiceCount") != 2:
        problems.append(f"show: {first and first['invoice']['number']}, count "
                        f"{first and first.get('invoiceCount')}")
    if not second or second["invoice"]["number"] != "456":
        problems.append(f"show --index 2: {second and second['invoice']['number']}")
    if run([options.cli, "show", "--index", "3", path]).returncode == 0:
        problems.append("show --index 3 of two invoices succeeded")
    with tempfile.TemporaryDirectory() as work:
        pdf = os.path.join(work, "second.pdf")
        if run([options.cli, "render", "--index", "2", path, "-o", pdf]).returncode != 0:
            problems.append("render --index 2 failed")
        else:
            text = run(["pdftotext", pdf, "-"]).stdout.decode()
            if "456" not in text:
                problems.append("render --index 2 did not render the second invoice")
        library = os.path.join(work, "Books.ledgerlens")
        run([options.cli, "import", library, path])
        listed = run([options.cli, "list", library]).stdout.decode().splitlines()[1:]
        numbers = sorted(line.split("\t")[1] for line in listed if line)
        if numbers != ["12", "456"]:
            problems.append(f"import stored {numbers}, expected both bodies")
    for problem in problems:
        print("FAIL " + problem)
    print(f"{len(problems)} failure(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
