#!/usr/bin/env python3
"""ledgerlens-cli import, list, validate and export on real invoices: exit codes, filters,
hostile names and files that are no library."""
import os
import subprocess
import sys
import tempfile


def main():
    cli, corpus = sys.argv[1:3]
    if not os.path.isdir(corpus):
        print("SKIP: corpus not found")
        return 77
    cii = os.path.join(corpus, "en16931-examples/cii/CII_business_example_01.xml")  # 2013-06-30
    ubl = os.path.join(corpus, "en16931-examples/ubl/ubl-tc434-example7.xml")  # 2013-03-11
    invalid = os.path.join(corpus, "xrechnung/testsuite/business-cases/extension/04.05a-INVOICE_uncefact.xml")
    pdf = os.path.join(corpus, "zugferd/XML-Rechnung/FX/EN16931_Einfach.pdf")
    failures = []

    def check(name, condition, detail=""):
        if not condition:
            failures.append(f"{name}: {detail}"[:800])

    def run(*args):
        return subprocess.run([cli, *args], capture_output=True, text=True)

    with tempfile.TemporaryDirectory() as tmp:
        lib = os.path.join(tmp, "Books.ledgerlens")
        # A seller trying to climb out of the export folder, in a file with an odd name.
        hostile = open(cii, encoding="utf-8").read().replace(
            "<ram:Name>Salescompany ltd.</ram:Name>", "<ram:Name>../../Évil Société</ram:Name>", 1
        ).replace("<ram:ID>TOSL108</ram:ID>", "<ram:ID>2024/07:01</ram:ID>", 1)
        odd = os.path.join(tmp, "in", "a \"quoted\"\nname.xml")
        os.makedirs(os.path.dirname(odd))
        with open(odd, "w", encoding="utf-8") as f:
            f.write(hostile)
        not_xml = os.path.join(tmp, "in", "notes.xml")
        with open(not_xml, "w") as f:
            f.write("not an invoice")

        r = run("import", lib, cii, ubl, pdf, os.path.join(tmp, "in"))
        check("import with one bad file exits 1", r.returncode == 1, r.stderr)
        check("the bad file is named with its problem",
              not_xml in r.stderr and "LLErrorNoValidXML" in r.stderr, r.stderr)
        check("summary counts the library", "4 in the library" in r.stdout, r.stdout)

        r = run("list", lib)
        lines = r.stdout.splitlines()
        check("list exits 0", r.returncode == 0, r.stderr)
        check("list has the header and four rows", len(lines) == 5, r.stdout)
        check("header names the columns", lines and lines[0].startswith("Seller\tNumber\tIssued"), r.stdout)
        r = run("list", lib, "--year", "2013", "--month", "6")
        numbers = sorted(line.split("\t")[1] for line in r.stdout.splitlines()[1:])
        check("June 2013 holds the two June invoices", numbers == ["2024/07:01", "TOSL108"], r.stdout)
        r = run("list", lib, "--search", "EVIL SOCIETE")
        check("search ignores case and accents", len(r.stdout.splitlines()) == 2, r.stdout)
        r = run("list", lib, "--year", "1999")
        check("a year without invoices lists only the header", len(r.stdout.splitlines()) == 1, r.stdout)
        for bad in (["--month", "13"], ["--year"], ["--colour", "red"]):
            r = run("list", lib, *bad)
            check(f"list {bad} is a usage error", r.returncode == 2 and r.stderr, r.stdout + r.stderr)

        r = run("validate", lib, "TOSL108")
        check("a valid invoice validates with exit 0", r.returncode == 0 and "\tvalid" in r.stdout, r.stdout)
        r = run("validate", lib, "no-such-number")
        check("an unknown number exits 3", r.returncode == 3 and "no-such-number" in r.stderr, r.stderr)
        r = run("import", lib, invalid)
        r = run("validate", "--verbose", lib)
        check("an invalid invoice makes validate exit 2", r.returncode == 2, r.stdout[-500:])
        check("--verbose lists rule ids", "[BR-" in r.stdout, r.stdout[-500:])

        out = os.path.join(tmp, "export", "here")
        r = run("export", lib, out)
        check("export exits 0", r.returncode == 0, r.stderr)
        written = []
        for folder, _, names in os.walk(tmp):
            written += [os.path.join(folder, n) for n in names]
        outside = [p for p in written if p.endswith((".xml", ".pdf")) and not p.startswith(out)
                   and not p.startswith(os.path.join(tmp, "in"))]
        check("nothing is written outside the export folder", not outside, outside)
        exported = [os.path.relpath(p, out) for p in written if p.startswith(out)]
        check("the hostile seller gets a safe folder",
              any(p.startswith(".._.._Évil Société/2024_07_01/2024_07_01.") for p in exported),
              exported)
        pdfs = [p for p in written if p.startswith(out) and p.endswith(".pdf")]
        check("every invoice has a PDF", len(pdfs) == 5, exported)
        for p in pdfs:
            with open(p, "rb") as f:
                check("exported PDFs are PDFs", f.read(5) == b"%PDF-", p)

        # Files that are no library are refused and left as they are.
        text = os.path.join(tmp, "text.ledgerlens")
        with open(text, "w") as f:
            f.write("some notes")
        r = run("import", text, cii)
        check("import into a text file exits 2", r.returncode == 2, r.stderr)
        check("the text file is unchanged", open(text).read() == "some notes")
        r = run("list", os.path.join(tmp, "missing.ledgerlens"))
        check("list of a missing library exits 2", r.returncode == 2 and r.stderr, r.stderr)
        check("list does not create a library", not os.path.exists(os.path.join(tmp, "missing.ledgerlens")))

    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
