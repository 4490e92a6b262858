#!/usr/bin/env python3
"""Renders every XML invoice of the corpus with `ledgerlens-cli render` and checks the PDFs.

Each PDF must pass `qpdf --check`; its text (pdftotext) must hold the invoice number, the
seller's name and the amount due written the way the locale writes it; the page title must name the
document type, the amount due must stand beside its label on the page that also holds the net
total, and no "(null)" or raw "#CODE#" may show. The payment code, rasterised with pdftoppm and
read with zbarimg, must be there exactly when the rules allow one (euros, a positive amount due,
a checked IBAN of the payee, no credit note) and must then follow EPC069-12 version 002. A 60-line invoice made from a corpus file
must give several pages, each with the table header. Expected values come from `show`.
"""

import argparse
import concurrent.futures
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
from decimal import Decimal, ROUND_HALF_UP

FOLDERS = ("en16931-examples", "xrechnung", "zugferd", "fatturapa", "facturae")
SKIP = 77
LOCALES = ("de_DE", "en_US")
HEADERS = {"de_DE": ("Pos.", "Beschreibung", "Betrag"), "en_US": ("Pos.", "Description", "Amount")}


def squeeze(text):
    return "".join(ch for ch in text if not ch.isspace())


def locale_amount(value, locale):
    """The number as the display formatter writes it: 2 to 5 fraction digits, grouped."""
    d = Decimal(value)
    exponent = d.as_tuple().exponent
    places = min(max(-exponent if exponent < 0 else 0, 2), 5)
    d = d.quantize(Decimal(1).scaleb(-places), rounding=ROUND_HALF_UP)
    sign = "-" if d < 0 else ""
    whole, _, fraction = f"{abs(d):f}".partition(".")
    group, point = (".", ",") if locale == "de_DE" else (",", ".")
    groups = []
    while len(whole) > 3:
        groups.insert(0, whole[-3:])
        whole = whole[:-3]
    groups.insert(0, whole)
    return sign + group.join(groups) + point + fraction


TITLES = {
    "de_DE": {"invoice": "Rechnung", "creditNote": "Gutschrift", "debitNote": "Belastungsanzeige",
              "correction": "Rechnungskorrektur", "prepayment": "Vorauszahlungsrechnung",
              "selfBilled": "Gutschrift"},
    "en_US": {"invoice": "Invoice", "creditNote": "Credit Note", "debitNote": "Debit Note",
              "correction": "Corrective Invoice", "prepayment": "Prepayment Invoice",
              "selfBilled": "Self-billed Invoice"},
}
DUE_LABELS = {"de_DE": ("Zahlbetrag", "Gutschriftsbetrag"), "en_US": ("Amount Due", "Amount Credited")}
NET_LABELS = {"de_DE": "Summe netto", "en_US": "Total (net)"}
RAW_CODE = re.compile(r"#[A-Z]{3,}#")


def valid_iban(iban):
    if not re.fullmatch(r"[A-Z]{2}\d{2}[A-Z0-9]{11,30}", iban):
        return False
    digits = "".join(str(int(c, 36)) for c in iban[4:] + iban[:4])
    return int(digits) % 97 == 1


def code_allowed(invoice):
    """Whether the rules allow a payment code, judged from the model alone."""
    amount = invoice.get("finalAmount")
    return (invoice.get("documentType") != "creditNote"
            and ((invoice.get("currency") or {}).get("name") or "").strip() == "EUR"
            and amount is not None and Decimal(amount).quantize(Decimal("0.01")) > 0
            and invoice.get("creditTransferIBAN") is not None)


def check_payload(payload, invoice):
    """The EPC069-12 rules on a decoded code."""
    problems = []
    lines = payload.split("\n")
    if lines[:4] != ["BCD", "002", "1", "SCT"]:
        problems.append(f"header {lines[:4]}")
    if len(lines) < 8:
        return problems + [f"only {len(lines)} lines"]
    bic, name, iban, amount = lines[4:8]
    if not name.strip():
        problems.append("empty beneficiary name")
    if not valid_iban(iban):
        problems.append(f"IBAN {iban!r} is not a valid IBAN without spaces")
    match = re.fullmatch(r"EUR(\d{1,9}\.\d{2})", amount)
    if not match or Decimal(match.group(1)) <= 0:
        problems.append(f"amount {amount!r}")
    elif Decimal(match.group(1)) != Decimal(invoice["finalAmount"]).quantize(Decimal("0.01")):
        problems.append(f"amount {amount!r} is not the amount due {invoice['finalAmount']}")
    if bic and not re.fullmatch(r"[A-Z0-9]{8}([A-Z0-9]{3})?", bic):
        problems.append(f"BIC {bic!r}")
    remittance = lines[10] if len(lines) > 10 else ""
    wanted = invoice.get("paymentReference") or invoice.get("number") or ""
    if " ".join(wanted.split()) != remittance:
        problems.append(f"remittance {remittance!r}, expected {wanted!r}")
    if payload.endswith("\n"):
        problems.append("a separator after the last field")
    return problems


def run(args, **kw):
    return subprocess.run(args, capture_output=True, timeout=120, **kw)


def show_all(cli, paths):
    """The model of every file from a few `show` runs (one run reads many files)."""
    invoices = {}
    for start in range(0, len(paths), 100):
        result = subprocess.run([cli, "show", "--compact"] + paths[start:start + 100],
                                capture_output=True, timeout=600)
        for line in result.stdout.decode().splitlines():
            record = json.loads(line)
            invoices[record["file"]] = record["invoice"]
    return invoices


def check_file(cli, path, index, workdir, invoices):
    problems = []
    invoice = invoices.get(path)
    if invoice is None:
        return path, None, []  # not an invoice: render must refuse it too
    locale = LOCALES[index % len(LOCALES)]
    out = os.path.join(workdir, f"{index}.pdf")
    result = run([cli, "render", "--locale", locale, path, "-o", out])
    if result.returncode != 0:
        return path, locale, [f"render failed: {result.stderr.decode(errors='replace').strip()}"]
    check = run(["qpdf", "--check", out])
    if check.returncode != 0:
        problems.append("qpdf --check: " + check.stdout.decode(errors="replace")[-300:])
    pages_text = run(["pdftotext", out, "-"]).stdout.decode(errors="replace").split("\f")
    pages_text = [page for page in pages_text if page.strip()] or [""]
    raw = "\f".join(pages_text)
    text = squeeze(raw)
    number = invoice.get("number")
    if number and squeeze(number) not in text:
        problems.append(f"invoice number {number!r} missing")
    name = (invoice.get("seller") or {}).get("name")
    if name and squeeze(name) not in text:
        problems.append(f"seller name {name!r} missing")
    kind = invoice.get("documentType", "invoice")
    if TITLES[locale][kind] not in pages_text[0]:
        problems.append(f"title {TITLES[locale][kind]!r} ({kind}) missing on page 1")
    if "(null)" in raw:
        problems.append("(null) in the text")
    if RAW_CODE.search(raw):
        problems.append(f"raw code {RAW_CODE.search(raw).group(0)!r} in the text")
    if invoice.get("finalAmount") is not None:
        amount = locale_amount(str(abs(Decimal(invoice["finalAmount"]))), locale)
        due = [i for i, page in enumerate(pages_text)
               if any(label in page for label in DUE_LABELS[locale])]
        if not due:
            problems.append("no amount due row")
        elif amount not in squeeze(pages_text[due[-1]]):
            problems.append(f"amount due {amount} ({locale}) missing beside its label")
        # The totals block stands on one page: the net row with the amount due.
        elif NET_LABELS[locale] not in pages_text[due[-1]]:
            problems.append("net total and amount due on different pages")
    # The per-rule instances repeat the same few invoices: their codes are not scanned.
    if "schematron-instances" not in path:
        decoded = ""
        pages = len(pages_text)
        # The code stands with the totals, which are kept together on the last page.
        for page in (pages,):
            png = os.path.join(workdir, f"{index}-qr")
            run(["pdftoppm", "-png", "-r", "100", "-f", str(page), "-l", str(page), "-singlefile",
                 out, png])
            scan = run(["zbarimg", "-q", "--raw", "-Sdisable", "-Sqrcode.enable", "-Sbinary",
                        png + ".png"])
            decoded = scan.stdout.decode("utf-8", errors="replace")
            if decoded:
                break
        if code_allowed(invoice) != bool(decoded):
            problems.append(f"QR code {'present' if decoded else 'missing'} "
                            f"({kind}, {(invoice.get('currency') or {}).get('name')}, "
                            f"{invoice.get('finalAmount')}, {invoice.get('creditTransferIBAN')})")
        elif decoded:
            problems += ["QR code: " + p for p in check_payload(decoded, invoice)]
    return path, locale, problems


def sixty_lines(corpus, workdir):
    source = os.path.join(corpus, "en16931-examples/cii/CII_example2.xml")
    with open(source, encoding="utf-8") as f:
        xml = f.read()
    items = list(re.finditer(r"<ram:IncludedSupplyChainTradeLineItem>.*?</ram:IncludedSupplyChainTradeLineItem>",
                             xml, re.S))
    template = items[0].group(0)
    lines = [re.sub(r"<ram:LineID>[^<]*</ram:LineID>", f"<ram:LineID>{i + 1}</ram:LineID>", template, 1)
             for i in range(60)]
    xml = xml[:items[0].start()] + "".join(lines) + xml[items[-1].end():]
    path = os.path.join(workdir, "sixty.xml")
    with open(path, "w", encoding="utf-8") as f:
        f.write(xml)
    return path


def cli_errors(cli, corpus, workdir):
    """Bad arguments and files get a clear message and a non-zero status, and write nothing."""
    problems = []
    invoice = os.path.join(corpus, "en16931-examples/cii/CII_example2.xml")
    pdf = next((os.path.join(root, n) for root, _, names in os.walk(os.path.join(corpus, "zugferd"))
                for n in sorted(names) if n.endswith(".pdf")), None)
    not_invoice = os.path.join(workdir, "note.xml")
    with open(not_invoice, "w") as f:
        f.write("<note>hello</note>")
    out = os.path.join(workdir, "error.pdf")
    cases = [
        (["render", invoice], 4),                                   # no -o: usage
        (["render", "-o", out], 4),                                 # no file
        (["render", "--bogus", invoice, "-o", out], 4),
        (["render", os.path.join(workdir, "missing.xml"), "-o", out], 1),
        (["render", not_invoice, "-o", out], 1),
        (["render", "--backdrop", not_invoice, invoice, "-o", out], 1),
    ]
    if pdf:
        cases.append((["render", pdf, "-o", out], 1))
    for args, status in cases:
        result = run([cli] + args)
        if result.returncode != status or not result.stderr.strip():
            problems.append(f"{' '.join(args[:-1])}: status {result.returncode}, expected {status}")
        if os.path.exists(out):
            problems.append(f"{' '.join(args)} wrote {out}")
            os.remove(out)
    # preview: a PDF stays as it is, other XML is pretty-printed.
    if pdf:
        run([cli, "preview", pdf, "-o", out])
        with open(pdf, "rb") as a, open(out, "rb") as b:
            if a.read() != b.read():
                problems.append("preview changed a PDF")
    text_out = os.path.join(workdir, "note.txt")
    if run([cli, "preview", not_invoice, "-o", text_out]).returncode != 0 or \
            "<note>hello</note>" not in open(text_out).read():
        problems.append("preview did not print other XML")
    if run([cli, "preview", invoice, "-o", out]).returncode != 0 or \
            not open(out, "rb").read().startswith(b"%PDF-"):
        problems.append("preview did not render an XML invoice")
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--corpus", required=True)
    options = parser.parse_args()
    if not os.path.isdir(options.corpus):
        print(f"invoice corpus not found at {options.corpus}; skipped")
        return SKIP
    for tool in ("qpdf", "pdftotext", "pdftoppm", "pdfinfo", "zbarimg"):
        if not shutil.which(tool):
            print(f"{tool} is missing (install qpdf, poppler-utils, zbar-tools)")
            return 1
    files = []
    for folder in FOLDERS:
        for root, _, names in os.walk(os.path.join(options.corpus, folder)):
            files += [os.path.join(root, n) for n in sorted(names) if n.endswith(".xml")]
    files.sort()
    failures = 0
    rendered = 0
    with tempfile.TemporaryDirectory() as workdir:
        for problem in cli_errors(options.cli, options.corpus, workdir):
            failures += 1
            print(f"FAIL command line: {problem}")
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            invoices = show_all(options.cli, files)
            jobs = [pool.submit(check_file, options.cli, path, i, workdir, invoices)
                    for i, path in enumerate(files)]
            for job in jobs:
                path, locale, problems = job.result()
                if locale is not None and not problems:
                    rendered += 1
                for problem in problems:
                    failures += 1
                    print(f"FAIL {os.path.relpath(path, options.corpus)} [{locale}]: {problem}")

        path = sixty_lines(options.corpus, workdir)
        out = os.path.join(workdir, "sixty.pdf")
        result = run([options.cli, "render", "--locale", "de_DE", path, "-o", out])
        pages = 0
        if result.returncode == 0:
            pages = int(re.search(rb"Pages:\s+(\d+)", run(["pdfinfo", out]).stdout).group(1))
        if pages < 2:
            failures += 1
            print(f"FAIL 60-line invoice gave {pages} pages")
        for page in range(1, pages + 1):
            text = run(["pdftotext", "-f", str(page), "-l", str(page), out, "-"]).stdout.decode()
            if not all(label in text for label in HEADERS["de_DE"]):
                failures += 1
                print(f"FAIL 60-line invoice: page {page} has no table header")
        print(f"60-line invoice: {pages} pages")
    print(f"{rendered} of {len(files)} corpus files rendered and checked")
    print(f"{rendered} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
