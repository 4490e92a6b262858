#!/usr/bin/env python3
"""ledgerlens-cli import, list, validate and export on real invoices: exit codes, filters,
hostile names and files that are no library."""
import os
import subprocess
import sys
import tempfile


def main():
    sys.argv[1:3] = [os.path.abspath(a) for a in sys.argv[1:3]]
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
            check(f"list {bad} is a usage error", r.returncode == 4 and r.stderr, r.stdout + r.stderr)

        r = run("validate", lib, "TOSL108")
        check("a valid invoice validates with exit 0", r.returncode == 0 and "\tvalid" in r.stdout, r.stdout)
        r = run("validate", lib, "no-such-number")
        check("an unknown number exits 3", r.returncode == 3 and "no-such-number" in r.stderr, r.stderr)
        r = run("import", lib, invalid)
        r = run("validate", "--verbose", lib)
        check("an invalid invoice makes validate exit 2", r.returncode == 2, r.stdout[-500:])
        check("--verbose lists rule ids", "[BR-" in r.stdout, r.stdout[-500:])

        # Information findings alone leave an invoice valid and are not counted as warnings.
        info_lib = os.path.join(tmp, "Info.ledgerlens")
        info_only = os.path.join(corpus, "zugferd/ZUGFeRDv2/correct/FNFE-factur-x-examples/Facture_FR_MINIMUM.pdf")
        r = run("import", info_lib, info_only)
        check("a Factur-X MINIMUM PDF imports", r.returncode == 0, r.stdout + r.stderr)
        r = run("validate", info_lib)
        check("information findings alone validate with exit 0", r.returncode == 0, r.stdout + r.stderr)
        check("... and are counted as information, not warnings",
              "\tvalid\t0 error(s), 0 warning(s), " in r.stdout and " 0 information" not in r.stdout,
              r.stdout)

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

    check_options(run, check, cii)
    check_received_and_json(run, check, cii, ubl, pdf)
    check_failures_named(run, check, cii, corpus)
    check_read_only(run, check, cii)
    check_format_one_library(run, check, cii, ubl)
    check_concurrent_imports(cli, check, corpus)

    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


def check_options(run, check, cii):
    """Unknown options and bad values are usage errors (4) and never become file names."""
    with tempfile.TemporaryDirectory() as tmp:
        os.chdir(tmp)
        for args in (["import", "--bogus", cii], ["import", "lib.ledgerlens", "--bogus", cii],
                     ["show", "--locale", "xx_YY", cii], ["list", "lib.ledgerlens", "--format", "csv"],
                     ["render", cii], ["frobnicate"], ["--bogus"]):
            r = run(*args)
            check(f"{args} exits 4", r.returncode == 4, f"{r.returncode} {r.stderr}")
            lines = r.stderr.strip().splitlines()
            check(f"{args}: one line and a hint", len(lines) == 2 and lines[0].startswith("ledgerlens-cli: ")
                  and "--help" in lines[1], r.stderr)
        for command in ("import", "list", "export", "validate", "show", "render", "preview"):
            r = run(command, "--help")
            check(f"{command} --help", r.returncode == 0 and "Usage: ledgerlens-cli " + command in r.stdout,
                  r.stdout + r.stderr)
        check("no file was named after an option", os.listdir(tmp) == [], os.listdir(tmp))
        r = run("--version")
        check("--version", r.returncode == 0 and r.stdout.startswith("ledgerlens-cli "), r.stdout)
        os.chdir("/")


def check_received_and_json(run, check, cii, ubl, pdf):
    """Export writes what arrived; list --format json is for programs."""
    import json
    with tempfile.TemporaryDirectory() as tmp:
        lib = os.path.join(tmp, "lib.ledgerlens")
        r = run("import", lib, cii, ubl, pdf)
        check("a PDF's side files are no problem", r.returncode == 0, r.stderr)
        r = run("list", lib, "--format", "json")
        rows = [json.loads(line) for line in r.stdout.splitlines()]
        check("json: one object per invoice", r.returncode == 0 and len(rows) == 3, r.stdout)
        tosl = [row for row in rows if row["number"] == "TOSL108"]
        check("json: ISO dates, plain decimals, id and status",
              tosl and tosl[0]["issued"] == "2013-06-30" and tosl[0]["id"].startswith("ledgerlens://")
              and tosl[0]["validation"] == "valid" and "." in tosl[0]["net"], r.stdout)
        out = os.path.join(tmp, "out")
        r = run("export", lib, out)
        check("export exits 0", r.returncode == 0, r.stderr)
        exported = {}
        for folder, _, names in os.walk(out):
            for name in names:
                with open(os.path.join(folder, name), "rb") as f:
                    exported[name] = f.read()
        with open(cii, "rb") as f:
            check("the XML is exported as it arrived", exported.get("TOSL108.xml") == f.read())
        with open(pdf, "rb") as f:
            original = f.read()
        check("the PDF is exported as it arrived", original in exported.values())
        r = run("export", lib, os.path.join(tmp, "pretty"), "--pretty", "--rebuild")
        pretty = {}
        for folder, _, names in os.walk(os.path.join(tmp, "pretty")):
            for name in names:
                with open(os.path.join(folder, name), "rb") as f:
                    pretty[name] = f.read()
        with open(cii, "rb") as f:
            check("--pretty writes the pretty-printed XML",
                  pretty.get("TOSL108.xml", b"").startswith(b"<?xml") and pretty.get("TOSL108.xml") != f.read())
        check("--rebuild writes the archival rebuild", original not in pretty.values())


def check_failures_named(run, check, cii, corpus):
    """Each failure says its cause; a replacement is reported."""
    with tempfile.TemporaryDirectory() as tmp:
        lib = os.path.join(tmp, "lib.ledgerlens")
        missing = os.path.join(tmp, "missing.xml")
        broken = os.path.join(tmp, "broken.pdf")
        with open(broken, "wb") as f:
            f.write(b"%PDF-1.4\n garbage")
        r = run("import", lib, cii, missing, broken)
        check("a missing file says so", "no such file" in r.stderr and "LLErrorNoSuchFile" in r.stderr, r.stderr)
        check("a damaged PDF says so", "LLErrorUnreadablePDF" in r.stderr, r.stderr)
        r = run("import", lib, cii)
        check("a replacement is reported", "replaced TOSL108 (Salescompany ltd.) from " + cii in r.stderr,
              r.stderr)
        # As root every file is readable: another user meets the permission error. An
        # encrypted PDF says so.
        import shutil
        if shutil.which("setpriv") and shutil.which("qpdf"):
            os.chmod(tmp, 0o777)
            secret = os.path.join(tmp, "secret.xml")
            shutil.copy(cii, secret)
            os.chmod(secret, 0)
            encrypted = os.path.join(tmp, "encrypted.pdf")
            subprocess.run(["qpdf", "--encrypt", "u", "o", "256", "--",
                            os.path.join(corpus, "zugferd/XML-Rechnung/FX/EN16931_Einfach.pdf"), encrypted],
                           check=True)
            os.chmod(encrypted, 0o644)
            r = subprocess.run(["setpriv", "--reuid", "65534", "--regid", "65534", "--clear-groups",
                                sys.argv[1], "import", os.path.join(tmp, "nobody.ledgerlens"), secret, encrypted],
                               capture_output=True, text=True, cwd=tmp)
            check("a file we may not read says so", "LLErrorUnreadableFile" in r.stderr
                  and "Permission denied" in r.stderr, r.stderr)
            check("an encrypted PDF says so", "LLErrorUnreadablePDF" in r.stderr and "encrypted" in r.stderr,
                  r.stderr)
        else:
            print("note: setpriv or qpdf missing; permission and encryption checks skipped")
        env = dict(os.environ, LEDGERLENS_RESOURCES=os.path.join(tmp, "nothing"))
        r = subprocess.run([sys.argv[1], "import", os.path.join(tmp, "b.ledgerlens"), cii],
                           capture_output=True, text=True, env=env)
        check("without rules the invoice is stored, said once", r.returncode == 0
              and r.stderr.count("no validation rules found") == 1, r.stderr)
        r = subprocess.run([sys.argv[1], "list", os.path.join(tmp, "b.ledgerlens"), "--format", "json"],
                           capture_output=True, text=True, env=env)
        check("... as not validated", '"validation":"not validated"' in r.stdout, r.stdout)


def check_read_only(run, check, cii):
    """A read-only library is listed and exported; a result it cannot store is an error."""
    with tempfile.TemporaryDirectory() as tmp:
        folder = os.path.join(tmp, "ro")
        os.makedirs(folder)
        lib = os.path.join(folder, "lib.ledgerlens")
        run("import", lib, cii)
        out = os.path.join(tmp, "out")
        # As root only a read-only mount keeps a folder from being written.
        probe = subprocess.run(["unshare", "-m", "sh", "-c", f"mount --bind '{folder}' '{folder}' && "
                                f"mount -o remount,ro,bind '{folder}' '{folder}' && ! touch '{folder}/x'"],
                               capture_output=True)
        if probe.returncode == 0:
            script = (f"mount --bind '{folder}' '{folder}' && mount -o remount,ro,bind '{folder}' '{folder}' && "
                      f"'{sys.argv[1]}' list '{lib}' && '{sys.argv[1]}' export '{lib}' '{out}'; "
                      f"echo rc=$?; '{sys.argv[1]}' validate '{lib}'; echo rc=$?")
            r = subprocess.run(["unshare", "-m", "sh", "-c", script], capture_output=True, text=True)
            check("list and export read a library in a read-only folder",
                  "TOSL108" in r.stdout and "rc=0" in r.stdout.split("TOSL108\tvalid")[0], r.stdout + r.stderr)
            check("validate cannot work there and exits 3 saying why",
                  r.stdout.strip().endswith("rc=3") and "cannot be opened" in r.stderr, r.stdout + r.stderr)
        else:
            print("note: read-only mounts not available; read-only folder checks skipped")
        # A write-protected library file in a writable folder opens, but takes no results.
        if subprocess.run(["chattr", "+i", lib], capture_output=True).returncode == 0:
            try:
                r = run("validate", lib)
                check("validate exits 3 when it cannot store the results",
                      r.returncode == 3 and "could not be stored" in r.stderr
                      and "readonly" in r.stderr, f"{r.returncode} {r.stderr}")
                r = run("import", lib, cii)
                check("import exits 2 when it cannot store, naming the cause",
                      r.returncode == 2 and "LLErrorNotStored" in r.stderr and "LLErrorNoValidXML" not in r.stderr,
                      f"{r.returncode} {r.stderr}")
            finally:
                subprocess.run(["chattr", "-i", lib])
        else:
            print("note: chattr not available; write-protected file checks skipped")


def check_format_one_library(run, check, cii, ubl):
    """A library of the first format keeps every record and is migrated when written."""
    import sqlite3
    with tempfile.TemporaryDirectory() as tmp:
        lib = os.path.join(tmp, "old.ledgerlens")
        db = sqlite3.connect(lib)
        db.executescript("""
            CREATE TABLE Metadata(key TEXT PRIMARY KEY, value TEXT NOT NULL);
            CREATE TABLE Invoice(id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT, uid TEXT,
                identifier TEXT, sellerName TEXT, dateIssued INTEGER, dateDue INTEGER,
                currencyCode TEXT, taxExclusiveAmount TEXT, taxInclusiveAmount TEXT,
                payableAmount TEXT, validationResult INTEGER NOT NULL DEFAULT 0, xml BLOB, pdf BLOB);
            CREATE INDEX InvoiceIdentifier ON Invoice(identifier);
            CREATE INDEX InvoiceDateIssued ON Invoice(dateIssued);
            CREATE TABLE TaxSubtotal(id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT, uid TEXT,
                gross TEXT, net TEXT, percentage TEXT, tax TEXT, taxScheme TEXT,
                invoice INTEGER REFERENCES Invoice(id) ON DELETE SET NULL);
            CREATE INDEX TaxSubtotalInvoice ON TaxSubtotal(invoice);
            INSERT INTO Metadata VALUES('storeUUID', '11111111-2222-4333-8444-555555555555');
            PRAGMA application_id = 1280076130;
            PRAGMA user_version = 1;""")
        xml = open(cii, "rb").read()
        no_vat = xml.replace(b'<ram:ID schemeID="VA">NO123456789MVA</ram:ID>', b"")
        rows = [("TOSL108", "NO123456789MVA-TOSL108", xml), ("TOSL108", "NO123456789MVA-TOSL108", xml),
                ("TOSL108", "(null)-TOSL108", no_vat)]
        for name, key, data in rows:
            db.execute("INSERT INTO Invoice(name, identifier, sellerName, dateIssued, xml) "
                       "VALUES(?, ?, 'Salescompany ltd.', 1372550400000, ?)", (name, key, data))
        db.commit()
        db.close()
        r = run("list", lib)
        check("an old library lists as it is", r.returncode == 0 and len(r.stdout.splitlines()) == 4, r.stdout + r.stderr)
        r = run("import", lib, ubl)
        check("an old library takes new invoices", r.returncode == 0, r.stderr)
        db = sqlite3.connect(lib)
        version = db.execute("PRAGMA user_version").fetchone()[0]
        keys = [row[0] for row in db.execute("SELECT identifier FROM Invoice ORDER BY id")]
        xmls = db.execute("SELECT count(*) FROM Invoice WHERE xml IS NOT NULL").fetchone()[0]
        db.close()
        check("migrated to format 2", version == 2, version)
        check("no record lost in the migration", len(keys) == 4 and xmls == 4, keys)
        check("the duplicate keeps its record under a key of its own",
              keys[:3] == ["NO123456789MVA-TOSL108", "NO123456789MVA-TOSL108 (duplicate 2)",
                           "(null)-TOSL108 name:Salescompany ltd."], keys)


def check_concurrent_imports(cli, check, corpus):
    """Two imports of one folder into one new library at once store every key once."""
    import sqlite3
    folder = os.path.join(corpus, "en16931-examples", "cii")
    with tempfile.TemporaryDirectory() as tmp:
        for trial in range(3):
            lib = os.path.join(tmp, f"lib{trial}.ledgerlens")
            runs = [subprocess.Popen([cli, "import", lib, folder], stdout=subprocess.DEVNULL,
                                     stderr=subprocess.PIPE, text=True) for _ in range(2)]
            errors = [p.communicate()[1] for p in runs]
            codes = [p.returncode for p in runs]
            check(f"trial {trial}: both imports succeed", codes == [0, 0] or codes == [1, 1], errors)
            check(f"trial {trial}: no schema race", not any("already exists" in e for e in errors), errors)
            db = sqlite3.connect(lib)
            total, distinct = db.execute(
                "SELECT count(*), count(DISTINCT identifier) FROM Invoice WHERE dateIssued IS NOT NULL").fetchone()
            db.close()
            check(f"trial {trial}: no duplicate key", total == distinct and total > 0, (total, distinct))


if __name__ == "__main__":
    sys.exit(main())
