#!/usr/bin/env python3
"""A PDF whose archival rebuild fails is stored as it arrived, and import and export say so.

The PDF (made at test time) carries a corpus invoice beside a stream that decodes to 4 GiB,
more than the rebuild may write. `import` must store the invoice, its XML and the PDF byte for
byte, list the missing rebuild as a problem with its cause (exit status 1); `export --rebuild`
must write the PDF as it arrived and say that it is no rebuild.
Usage: check_pdf_without_rebuild.py CLI CORPUS_DIR
"""
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "pagewright"))
import make_hostile_pdfs  # noqa: E402


def main():
    cli, corpus = sys.argv[1], sys.argv[2]
    invoice = os.path.join(corpus, "en16931-examples", "cii", "CII_example3.xml")
    if not os.path.isfile(invoice):
        print(f"SKIP: corpus not found ({corpus})")
        return 77
    work = tempfile.mkdtemp(prefix="no-rebuild-")
    failures = []

    def check(ok, what):
        print(("ok   " if ok else "FAIL ") + what)
        if not ok:
            failures.append(what)

    try:
        make_hostile_pdfs.main_into(work, invoice)
        pdf = os.path.join(work, "invoice-bomb.pdf")
        arrived = open(pdf, "rb").read()
        library = os.path.join(work, "books.ledgerlens")
        env = dict(os.environ, XDG_DATA_HOME=os.path.join(work, "data"),
                   XDG_CONFIG_HOME=os.path.join(work, "config"), QT_QPA_PLATFORM="offscreen",
                   LANGUAGE="en", LC_ALL="C.UTF-8")
        run = lambda *args: subprocess.run([cli, *args], capture_output=True, text=True,  # noqa
                                           env=env, timeout=300)

        r = run("import", library, pdf)
        print(r.stderr)
        check(r.returncode == 1, f"import exits 1 (was {r.returncode})")
        check("1 invoice(s) stored" in r.stderr, "the invoice is reported stored")
        check("LLErrorNoArchivalRebuild" in r.stderr and "512 MiB" in r.stderr,
              "the missing rebuild is a problem with its cause")
        check("LLErrorNotStored" not in r.stderr, "nothing is reported as not stored")

        with sqlite3.connect(library) as db:
            rows = db.execute("SELECT xml, xmlReceived, pdf, pdfReceived FROM Invoice").fetchall()
        check(len(rows) == 1, f"one record stored (were {len(rows)})")
        if rows:
            xml, xml_received, stored_pdf, pdf_received = rows[0]
            check(bytes(pdf_received) == arrived, "the PDF is kept byte for byte")
            check(bytes(stored_pdf) == arrived, "the PDF stands in for the rebuild unchanged")
            check(bytes(xml_received) == open(invoice, "rb").read(),
                  "the embedded XML is kept as it arrived")
            check(xml is not None and b"CrossIndustryInvoice" in bytes(xml), "the XML is stored")

        out = os.path.join(work, "export")
        r = run("export", "--rebuild", library, out)
        written = [os.path.join(d, f) for d, _, files in os.walk(out) for f in files
                   if f.endswith(".pdf")]
        check(r.returncode == 0 and len(written) == 1, f"export writes one PDF ({r.stderr})")
        check("no archival rebuild is stored" in r.stderr, "export --rebuild says it is none")
        if written:
            check(open(written[0], "rb").read() == arrived, "the PDF written is the one arrived")
        return 1 if failures else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
