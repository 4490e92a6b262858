#!/usr/bin/env python3
"""Imports the whole invoice corpus (XML files and PDFs) into one library and checks that every
readable invoice is stored once per duplicate key, with the validation code that `ruleweave
validate` gives for the same XML."""
import json
import os
import sqlite3
import subprocess
import sys
import tempfile


def show_keys(cli, files):
    """(key, dated) for every file the invoice reader reads."""
    keys = []
    for start in range(0, len(files), 200):
        r = subprocess.run([cli, "show", "--compact", *files[start:start + 200]],
                           capture_output=True, text=True)
        records = [json.loads(line) for line in r.stdout.splitlines()]
        # A FatturaPA batch holds one invoice per body; each is imported.
        for record in list(records):
            for index in range(2, record.get("invoiceCount", 1) + 1):
                more = subprocess.run([cli, "show", "--compact", "--index", str(index),
                                       record["file"]], capture_output=True, text=True)
                records += [json.loads(line) for line in more.stdout.splitlines()]
        for record in records:
            invoice = record["invoice"]
            seller = invoice.get("seller") or {}
            vat = seller.get("vatNumber")
            number = invoice.get("number")
            key = f"{vat if vat is not None else '(null)'}-{number if number is not None else '(null)'}"
            if invoice.get("seller") and vat is None:
                # Without a VAT number the seller's identity keeps sellers apart.
                for field, label in (("ID", "id"), ("taxNumber", "tax"), ("name", "name")):
                    if seller.get(field):
                        key += f" {label}:{seller[field]}"
                        break
            keys.append((key, invoice.get("issueDate") is not None))
    return keys


def main():
    cli, ruleweave, pagewright, corpus = sys.argv[1:5]
    if not os.path.isdir(corpus):
        print("SKIP: corpus not found")
        return 77
    xml_files, pdf_files = [], []
    for folder, _, names in os.walk(corpus):
        for name in sorted(names):
            path = os.path.join(folder, name)
            if name.lower().endswith(".xml"):
                xml_files.append(path)
            elif name.lower().endswith(".pdf"):
                pdf_files.append(path)
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        library = os.path.join(tmp, "corpus.ledgerlens")
        r = subprocess.run([cli, "import", library, corpus, *pdf_files], capture_output=True,
                           text=True)
        print(r.stdout.strip())
        if r.returncode not in (0, 1) or not os.path.exists(library):
            print(r.stderr[-3000:])
            return 1

        # What the reader says the corpus holds, PDFs through their embedded files.
        attachments = []
        for i, pdf in enumerate(pdf_files):
            out = os.path.join(tmp, "attachments", str(i))
            os.makedirs(out)
            subprocess.run([pagewright, "extract", pdf, out], capture_output=True)
            attachments += [os.path.join(out, n) for n in sorted(os.listdir(out))]
        expected = show_keys(cli, xml_files + attachments)
        expected_dated = {k for k, dated in expected if dated}
        expected_undated = {k for k, dated in expected if not dated}

        db = sqlite3.connect(library)
        rows = db.execute("SELECT id, identifier, dateIssued, validationResult, xml "
                          "FROM Invoice ORDER BY id").fetchall()
        dated = [r[1] for r in rows if r[2] is not None]
        undated = {r[1] for r in rows if r[2] is None}
        if len(dated) != len(set(dated)):
            failures.append("a duplicate key is stored twice: " +
                            str(sorted({k for k in dated if dated.count(k) > 1})[:10]))
        if set(dated) != expected_dated:
            failures.append(f"dated keys differ: missing {sorted(expected_dated - set(dated))[:10]}, "
                            f"unexpected {sorted(set(dated) - expected_dated)[:10]}")
        if undated != expected_undated:
            failures.append(f"undated keys differ: {sorted(undated ^ expected_undated)[:10]}")

        # The stored code against ruleweave on the stored XML.
        xml_dir = os.path.join(tmp, "stored")
        os.makedirs(xml_dir)
        paths = {}
        for row_id, _, _, _, xml in rows:
            if xml is None:
                continue
            path = os.path.join(xml_dir, f"{row_id}.xml")
            with open(path, "wb") as f:
                f.write(xml)
            paths[path] = row_id
        r = subprocess.run([ruleweave, "validate", "--format", "json", "-j", "2", *paths],
                           capture_output=True, text=True)
        reported = {}
        for line in r.stdout.splitlines():
            result = json.loads(line)
            if result["status"] in ("unreadable", "no-rules"):
                code = 6
            elif not result.get("schemaFiles"):
                code = 1
            else:
                code = {"valid": 2, "warnings": 3, "invalid": 4}[result["status"]]
            reported[result["file"]] = code
        stored = {row_id: code for row_id, _, _, code, _ in rows}
        agree = 0
        for path, row_id in paths.items():
            expected_code = reported.get(path, 6)  # not validated at all: the failure code
            if stored[row_id] == expected_code:
                agree += 1
            else:
                failures.append(f"record {row_id}: stored code {stored[row_id]}, "
                                f"ruleweave says {expected_code}")
        codes = {}
        for _, _, _, code, _ in rows:
            codes[code] = codes.get(code, 0) + 1
        print(f"{len(rows)} records ({len(dated)} dated keys, {len(rows) - len(dated)} undated) "
              f"from {len(xml_files)} XML files and {len(pdf_files)} PDFs; "
              f"{agree} of {len(paths)} validation codes agree with ruleweave; codes {codes}")
    for failure in failures[:40]:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
